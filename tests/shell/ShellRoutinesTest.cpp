// Pattern matching, string records, error texts, drops, shortcuts, drives and file sizes.
#include <windows.h>

#include <gtest/gtest.h>

#include <shellapi.h>
#include <shlwapi.h>

#include <cstring>
#include <vector>

#include "TempDir.h"
#include "host/core/Raii.h"
#include "shell/ShellGlobals.h"
#include "shell/ShellRoutines.h"

using namespace zelnor;
using testing_support::TempDir;

namespace {

// A CF_HDROP block with wide names, as the shell builds it.
HGLOBAL MakeDrop(const std::vector<String>& names) {
  std::wstring all;
  for (const String& n : names) all += host::ToWide(n) + L'\0';
  all += L'\0';
  if (names.empty()) all += L'\0';  // an empty list still ends with two zeros
  const size_t bytes = sizeof(DROPFILES) + all.size() * sizeof(wchar_t);
  HGLOBAL h = GlobalAlloc(GHND, bytes);
  auto* drop = static_cast<DROPFILES*>(GlobalLock(h));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  std::memcpy(reinterpret_cast<BYTE*>(drop) + sizeof(DROPFILES), all.data(), all.size() * sizeof(wchar_t));
  GlobalUnlock(h);
  return h;
}

std::vector<String> Items(const host::TStrings& list) {
  std::vector<String> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list.Strings(i));
  return out;
}

// Data object that offers one CF_HDROP block, or nothing at all.
class DropDataObject : public IDataObject {
 public:
  explicit DropDataObject(HGLOBAL drop) : drop_(drop) {}
  ~DropDataObject() {
    if (drop_) GlobalFree(drop_);
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (riid == IID_IUnknown || riid == IID_IDataObject) {
      *out = this;
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs_; }  // lives on the stack
  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
    if (!drop_ || format->cfFormat != CF_HDROP || !(format->tymed & TYMED_HGLOBAL)) return DV_E_FORMATETC;
    const SIZE_T size = GlobalSize(drop_);
    HGLOBAL copy = GlobalAlloc(GHND, size);
    std::memcpy(GlobalLock(copy), GlobalLock(drop_), size);
    GlobalUnlock(copy);
    GlobalUnlock(drop_);
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = copy;
    medium->pUnkForRelease = nullptr;
    ++handedOut;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
  int handedOut = 0;

 private:
  HGLOBAL drop_;
  ULONG refs_ = 1;
};

}  // namespace

TEST(MatchPattern, FollowsTheWildcardTable) {
  EXPECT_TRUE(MatchPattern("abc", "*"));
  EXPECT_TRUE(MatchPattern("abc", "A?C"));
  EXPECT_TRUE(MatchPattern("abc", "a*"));
  EXPECT_TRUE(MatchPattern("abc", "*c"));
  EXPECT_TRUE(MatchPattern("abc", "*b*"));
  EXPECT_TRUE(MatchPattern("ABC", "abc"));
  EXPECT_FALSE(MatchPattern("abc", "ab"));
  EXPECT_FALSE(MatchPattern("abc", "abc**"));
  EXPECT_FALSE(MatchPattern("ab", "ab?"));
  EXPECT_FALSE(MatchPattern("abc", "abcd"));
  EXPECT_TRUE(MatchPattern("", "*"));
  EXPECT_TRUE(MatchPattern("", "**"));
  EXPECT_TRUE(MatchPattern("a.b", "***"));
  EXPECT_FALSE(MatchPattern("a.b", "*?*?*?*?"));
  EXPECT_TRUE(MatchPattern("", ""));
  EXPECT_FALSE(MatchPattern("", "?"));
  EXPECT_FALSE(MatchPattern("", "*?"));
  EXPECT_FALSE(MatchPattern("abc", ""));
  EXPECT_TRUE(MatchPattern("report.txt", "*.TXT"));
  EXPECT_FALSE(MatchPattern("report.txt", "*.doc"));
}

TEST(MatchPattern, TreatsNonAsciiLettersAsWholeCharactersWithCase) {
  EXPECT_FALSE(MatchPattern("é", "É"));
  EXPECT_TRUE(MatchPattern("é", "é"));
  EXPECT_TRUE(MatchPattern("été.txt", "?t?.txt"));
  EXPECT_TRUE(MatchPattern("日本.doc", "??.DOC"));
  EXPECT_FALSE(MatchPattern("日本.doc", "?.doc"));
}

TEST(MatchPattern, ManyStarsStayFast) {
  const String name(200, 'a');
  EXPECT_FALSE(MatchPattern(name, "*a*a*a*a*a*a*a*a*a*a*a*a*b"));
  EXPECT_TRUE(MatchPattern(name + "b", "*a*a*a*a*a*a*a*a*a*a*a*a*b"));
}

TEST(StrRet, EveryRecordTypeGivesItsText) {
  STRRET wide{};
  wide.uType = STRRET_WSTR;
  SHStrDupW(L"Ωμέγα", &wide.pOleStr);
  EXPECT_EQ(GetStringFromStrRet(nullptr, wide), "Ωμέγα");
  FreeStrRet(wide);  // safe after the text was taken
  EXPECT_EQ(wide.pOleStr, nullptr);

  STRRET none{};
  none.uType = STRRET_WSTR;
  EXPECT_EQ(GetStringFromStrRet(nullptr, none), "");

  STRRET unread{};
  unread.uType = STRRET_WSTR;
  SHStrDupW(L"x", &unread.pOleStr);
  FreeStrRet(unread);
  EXPECT_EQ(unread.pOleStr, nullptr);

  STRRET inlineText{};
  inlineText.uType = STRRET_CSTR;
  std::strcpy(inlineText.cStr, "plain.txt");
  EXPECT_EQ(GetStringFromStrRet(nullptr, inlineText), "plain.txt");

  // An offset into the list the record came with.
  BYTE list[16] = {12, 0, 'x', 'x', 'n', 'a', 'm', 'e', 0, 0, 0, 0, 0, 0, 0, 0};
  STRRET offset{};
  offset.uType = STRRET_OFFSET;
  offset.uOffset = 4;
  EXPECT_EQ(GetStringFromStrRet(reinterpret_cast<PCItemIDList>(list), offset), "name");
  EXPECT_EQ(GetStringFromStrRet(nullptr, offset), "");

  STRRET other{};
  other.uType = 7;
  EXPECT_EQ(GetStringFromStrRet(nullptr, other), "");
}

TEST(StrRet, DisplayNameOfARealItem) {
  TempDir dir;
  dir.File("näme.txt");
  UniquePidl folderList = GetIdListFromPath(nullptr, dir.Path());
  host::ComPtr<IShellFolder> folder;
  ASSERT_EQ(Desktop()->BindToObject(folderList.get(), nullptr, IID_PPV_ARGS(&folder)), S_OK);
  UniquePidl child = GetIdListFromPath(folder.Get(), "näme.txt");
  ASSERT_TRUE(child);
  STRRET name{};
  ASSERT_EQ(folder->GetDisplayNameOf(child.get(), SHGDN_INFOLDER | SHGDN_FORPARSING, &name), S_OK);
  EXPECT_EQ(GetStringFromStrRet(child.get(), name), "näme.txt");
  FreeStrRet(name);
}

TEST(SystemTexts, ErrorMessagesAndTempPath) {
  EXPECT_FALSE(GetErrorMessageText(ERROR_PATH_NOT_FOUND).empty());
  EXPECT_FALSE(GetErrorMessageText(int(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))).empty());
  EXPECT_EQ(GetErrorMessageText(0x2345ABCD), "");

  wchar_t temp[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, temp);
  EXPECT_EQ(KivGetTempPath(), host::ToUtf8(temp));
  EXPECT_EQ(KivGetTempPath().back(), '\\');
}

TEST(Drops, HandleListsEveryNameWhateverItsLength) {
  const String longName = "C:\\" + String(300, 'x') + "\\y.txt";
  HGLOBAL drop = MakeDrop({"C:\\a.txt", "C:\\Ωμέγα\\файл.txt", longName});
  auto names = GetFilenamesFromHandle(static_cast<HDROP>(drop));
  ASSERT_TRUE(names);
  EXPECT_EQ(Items(*names), (std::vector<String>{"C:\\a.txt", "C:\\Ωμέγα\\файл.txt", longName}));
  GlobalFree(drop);

  HGLOBAL empty = MakeDrop({});
  EXPECT_EQ(GetFilenamesFromHandle(static_cast<HDROP>(empty)), nullptr);
  GlobalFree(empty);
  EXPECT_EQ(GetFilenamesFromHandle(nullptr), nullptr);
}

TEST(Drops, DataObjectWithoutFilesGivesAnEmptyListOrNothing) {
  EXPECT_EQ(GetFilenamesFromDataObject(nullptr), nullptr);

  DropDataObject noDrop{nullptr};
  auto none = GetFilenamesFromDataObject(&noDrop);
  ASSERT_TRUE(none);
  EXPECT_EQ(none->Count(), 0);

  DropDataObject zeroFiles{MakeDrop({})};
  EXPECT_EQ(GetFilenamesFromDataObject(&zeroFiles), nullptr);

  DropDataObject two{MakeDrop({"C:\\one", "C:\\two"})};
  auto names = GetFilenamesFromDataObject(&two);
  ASSERT_TRUE(names);
  EXPECT_EQ(Items(*names), (std::vector<String>{"C:\\one", "C:\\two"}));
}

TEST(Drops, ShellDataObjectAndClipboardGiveTheFiles) {
  TempDir dir;
  const String file = dir.File("ж.txt", "x");
  UniquePidl folderList = GetIdListFromPath(nullptr, dir.Path());
  host::ComPtr<IShellFolder> folder;
  ASSERT_EQ(Desktop()->BindToObject(folderList.get(), nullptr, IID_PPV_ARGS(&folder)), S_OK);
  UniquePidl child = GetIdListFromPath(folder.Get(), "ж.txt");
  PCUITEMID_CHILD children[] = {child.get()};
  host::ComPtr<IDataObject> data;
  ASSERT_EQ(folder->GetUIObjectOf(nullptr, 1, children, IID_IDataObject, nullptr,
                                  reinterpret_cast<void**>(data.GetAddressOf())),
            S_OK);
  auto names = GetFilenamesFromDataObject(data.Get());
  ASSERT_TRUE(names);
  EXPECT_EQ(Items(*names), std::vector<String>{file});

  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  SetClipboardData(CF_HDROP, MakeDrop({file}));
  CloseClipboard();
  auto clip = GetFilenamesFromClipboard();
  ASSERT_TRUE(clip);
  EXPECT_EQ(Items(*clip), std::vector<String>{file});
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  CloseClipboard();
  EXPECT_EQ(GetFilenamesFromClipboard(), nullptr);
}

TEST(Shortcuts, TargetOfARealLink) {
  TempDir dir;
  const String target = dir.File("цель ✓.txt", "x");
  const String linkFile = dir.Path() + "\\link.lnk";
  {
    host::ComPtr<IShellLinkW> link;
    ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link)), S_OK);
    ASSERT_EQ(link->SetPath(host::ToWide(target).c_str()), S_OK);
    host::ComPtr<IPersistFile> file;
    ASSERT_EQ(link.As(&file), S_OK);
    ASSERT_EQ(file->Save(host::ToWide(linkFile).c_str(), TRUE), S_OK);
  }
  EXPECT_EQ(GetLinkTarget(linkFile), target);
  WIN32_FIND_DATAW data{};
  EXPECT_EQ(_GetLinkTarget(host::ToWide(linkFile), data), target);
  EXPECT_EQ(GetLinkTarget(target), "");  // not a shortcut
  EXPECT_EQ(GetLinkTarget(dir.Path() + "\\missing.lnk"), "");
}

TEST(Drives, DrivesSharesAndReadiness) {
  EXPECT_TRUE(IsDrive("C:\\"));
  EXPECT_TRUE(IsDrive("c:"));
  EXPECT_TRUE(IsDrive("\\\\server\\share"));
  EXPECT_TRUE(IsDrive("\\\\server\\share\\"));
  EXPECT_FALSE(IsDrive(""));
  EXPECT_FALSE(IsDrive("C:\\Windows"));
  EXPECT_FALSE(IsDrive("\\\\server\\share\\dir"));

  EXPECT_FALSE(IsUNCPath("\\\\srv"));
  EXPECT_FALSE(IsUNCPath("\\\\\\"));
  EXPECT_TRUE(IsUNCPath("\\\\srv\\x"));
  EXPECT_FALSE(IsUNCPath("C:\\srv\\x"));

  EXPECT_TRUE(IsDriveReady("C:\\Windows"));
  EXPECT_TRUE(IsDriveReady("c:"));
  EXPECT_FALSE(IsDriveReady("Q:\\"));
  EXPECT_FALSE(IsDriveReady(""));
  // The thread's error mode is back as it was.
  EXPECT_EQ(GetThreadErrorMode(), 0u);
}

TEST(Files, SizesNamesAndPlaces) {
  TempDir dir;
  dir.File("five.bin", "12345");
  EXPECT_EQ(GetFileSize(dir.Path() + "\\five.bin"), 5);
  EXPECT_EQ(GetFileSize(dir.Path() + "\\f*.bin"), 5);
  EXPECT_EQ(GetFileSize(dir.Path() + "\\missing.bin"), -1);

  // A sparse file beyond 4 GB reports its full size.
  const std::wstring big = dir.PathW() + L"\\big.bin";
  {
    host::UniqueFile file{CreateFileW(big.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr)};
    ASSERT_TRUE(file);
    LARGE_INTEGER at;
    at.QuadPart = 5LL * 1024 * 1024 * 1024 + 7;
    ASSERT_TRUE(SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file.get()));
  }
  EXPECT_EQ(GetFileSize(host::ToUtf8(big)), 5LL * 1024 * 1024 * 1024 + 7);

  EXPECT_EQ(GetFriendlyName(dir.Path() + "\\five.bin"), dir.Path() + "\\five.bin");
  EXPECT_EQ(GetFriendlyName("no such place"), "no such place");
  EXPECT_TRUE(IsFolderToIgnore("."));
  EXPECT_TRUE(IsFolderToIgnore(".."));
  EXPECT_FALSE(IsFolderToIgnore("..."));
  EXPECT_FALSE(IsFolderToIgnore(".git"));

  EXPECT_EQ(GetMyDocumentsPath(), GetPathFromSpecialFolder(SF_PERSONAL));
  EXPECT_FALSE(GetMyDocumentsPath().empty());
  EXPECT_EQ(GetUserProfilePath(), GetPathFromSpecialFolder(SF_APPDATA) + "\\");
}

TEST(Shell, NeutralAnswersWhereThePlatformHasNothing) {
  TempDir dir;
  dir.File("a.txt");
  UniquePidl folderList = GetIdListFromPath(nullptr, dir.Path());
  host::ComPtr<IShellFolder> folder;
  ASSERT_EQ(Desktop()->BindToObject(folderList.get(), nullptr, IID_PPV_ARGS(&folder)), S_OK);
  UniquePidl child = GetIdListFromPath(folder.Get(), "a.txt");
  EXPECT_EQ(GetDomainFromIdList(folder.Get(), child.get()), "");
  EXPECT_EQ(GetDomainFromIdList(nullptr, child.get()), "");

  LOGFONTW font{};
  EXPECT_TRUE(GetExplorerLogFont(font));
  EXPECT_NE(font.lfFaceName[0], L'\0');
  host::TFont hostFont;
  ApplyExplorerFont(hostFont);
  EXPECT_EQ(hostFont.Name(), host::ToUtf8(font.lfFaceName));

  EXPECT_TRUE(IsWindow(GetOwningWindowHandle()));
}
