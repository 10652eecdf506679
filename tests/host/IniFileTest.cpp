// Ini files over the platform's profile functions, in a temporary folder.
#include "host/core/IniFiles.h"

#include "host/core/Raii.h"

#include <gtest/gtest.h>

using namespace host;

namespace {

class IniFile : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder_ = ToUtf8(temp) + "host-ini-" + std::to_string(GetCurrentProcessId()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
    ASSERT_TRUE(ForceDirectories(folder_));
  }
  void TearDown() override {
    for (const String& f : files_) DeleteFile(f);
    RemoveDir(folder_);
  }

  String Path(const String& name) {
    files_.push_back(folder_ + "\\" + name);
    return files_.back();
  }

  static std::string Bytes(const String& file) {
    UniqueFile h(CreateFileW(ToWide(file).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, 0, nullptr));
    if (!h) return {};
    std::string bytes(size_t(GetFileSize(h.get(), nullptr)), '\0');
    DWORD read = 0;
    ReadFile(h.get(), bytes.data(), DWORD(bytes.size()), &read, nullptr);
    bytes.resize(read);
    return bytes;
  }

  // The text of a UTF-16LE file after its byte-order mark.
  static String Utf16Text(const String& file) {
    const std::string bytes = Bytes(file);
    if (bytes.size() < 2 || bytes.compare(0, 2, "\xFF\xFE") != 0) return {};
    return ToUtf8(std::wstring_view{reinterpret_cast<const wchar_t*>(bytes.data() + 2),
                                    (bytes.size() - 2) / 2});
  }

  static void WriteBytes(const String& file, const std::string& bytes) {
    UniqueFile h(
        CreateFileW(ToWide(file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(bool(h));
    DWORD written = 0;
    WriteFile(h.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr);
  }

  static void WriteUtf16(const String& file, const String& text) {
    const WideString w = ToWide(text);
    WriteBytes(file,
               "\xFF\xFE" + std::string(reinterpret_cast<const char*>(w.data()), w.size() * 2));
  }

  static std::vector<String> Items(const TStrings& list) {
    std::vector<String> out;
    for (int i = 0; i < list.Count(); ++i) out.push_back(list.Strings(i));
    return out;
  }

  String folder_;
  std::vector<String> files_;
};

const String kSection = "\xD0\xA0\xD0\xB0\xD0\xB7\xD0\xB4\xD0\xB5\xD0\xBB";       // Раздел
const String kKey = "\xD0\xBA\xD0\xBB\xD1\x8E\xD1\x87 \xE6\x97\xA5\xE6\x9C\xAC";  // ключ 日本
const String kValue = "\xE5\x80\xA4 \xD0\x96 \xC3\xA9";                           // 値 Ж é

}  // namespace

TEST_F(IniFile, NewFileKeepsNamesOutsideTheAnsiCodePage) {
  const String file = Path("\xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB.ini");  // файл.ini
  {
    TIniFile ini(file);
    ini.WriteString(kSection, kKey, kValue);
    ini.WriteString("Plain", "Name", "x");
    ini.WriteInteger(kSection, "Count", -12);
    ini.WriteBool(kSection, "On", true);
    ini.UpdateFile();
  }
  EXPECT_EQ(Bytes(file).substr(0, 2), "\xFF\xFE");
  EXPECT_NE(Utf16Text(file).find(kKey + "=" + kValue), String::npos) << Utf16Text(file);

  TIniFile ini(file);
  EXPECT_EQ(ini.ReadString(kSection, kKey, "missing"), kValue);
  EXPECT_EQ(ini.ReadString(kSection, "nothing", "missing"), "missing");
  EXPECT_EQ(ini.ReadInteger(kSection, "Count", 0), -12);
  EXPECT_TRUE(ini.ReadBool(kSection, "On", false));
  EXPECT_FALSE(ini.ReadBool(kSection, "Off", false));
  TStringList names;
  ini.ReadSections(&names);
  EXPECT_EQ(Items(names), (std::vector<String>{kSection, "Plain"}));
  ini.ReadSection(kSection, &names);
  EXPECT_EQ(Items(names), (std::vector<String>{kKey, "Count", "On"}));
  EXPECT_TRUE(ini.ValueExists(kSection, kKey));
  EXPECT_TRUE(ini.SectionExists("plain"));
}

TEST_F(IniFile, ExistingAnsiFileIsReadAndWrittenAsItIs) {
  // A letter of the ANSI code page in its single-byte form.
  char ansi[8] = {};
  BOOL lost = FALSE;
  const int n = WideCharToMultiByte(CP_ACP, 0, L"\u00E9", 1, ansi, 8, nullptr, &lost);
  const bool haveLetter = n == 1 && !lost;
  const std::string name = haveLetter ? std::string("Caf") + ansi[0] : "Cafe";
  const String file = Path("old.ini");
  WriteBytes(file, "[Main]\r\nName=" + name + "\r\n");

  TIniFile ini(file);
  EXPECT_EQ(ini.ReadString("Main", "Name", ""), haveLetter ? "Caf\xC3\xA9" : "Cafe");
  ini.WriteString("Main", "Other", "1");
  ini.UpdateFile();
  const std::string bytes = Bytes(file);
  EXPECT_EQ(bytes.substr(0, 6), "[Main]");  // no byte-order mark put in front
  EXPECT_NE(bytes.find("Name=" + name), std::string::npos);
  EXPECT_NE(bytes.find("Other=1"), std::string::npos);
}

TEST_F(IniFile, KeyWithEqualsSignIsRefusedBecauseThePlatformCannotReadItBack) {
  // What the platform does with such a key: it reads back as another key with another value.
  const String raw = Path("raw.ini");
  WriteUtf16(raw, "");
  WritePrivateProfileStringW(L"S", L"a=b", L"v", ToWide(raw).c_str());
  WritePrivateProfileStringW(nullptr, nullptr, nullptr, ToWide(raw).c_str());
  TIniFile rawIni(raw);
  EXPECT_EQ(rawIni.ReadString("S", "a=b", "missing"), "missing");
  EXPECT_EQ(rawIni.ReadString("S", "a", "missing"), "b=v");

  const String file = Path("eq.ini");
  TIniFile ini(file);
  ini.WriteString("S", "C:\\Data\\*", "");
  EXPECT_THROW(ini.WriteString("S", "C:\\a=b.txt", ""), EIniFileException);
  EXPECT_THROW(ini.WriteString("S", "k", "two\r\nlines"), EIniFileException);
  EXPECT_THROW(ini.WriteString("S\n[T]", "k", "v"), EIniFileException);
  TStringList keys;
  ini.ReadSection("S", &keys);
  EXPECT_EQ(Items(keys), (std::vector<String>{"C:\\Data\\*"}));
}

TEST_F(IniFile, ReadSectionAndSectionsReturnEverythingHoweverLong) {
  const String file = Path("big.ini");
  String text = "[Big]\r\n";
  for (int i = 0; i < 600; ++i)
    text += "C:\\Some folder\\with a long name\\entry " + std::to_string(i) + "=\r\n";
  const String longValue(10000, 'v');
  text += "[Long]\r\nValue=" + longValue + "\r\n";
  for (int i = 0; i < 300; ++i)
    text += "[Section with a long name " + std::to_string(i) + "]\r\nk=v\r\n";
  WriteUtf16(file, text);

  TIniFile ini(file);
  TStringList keys;
  ini.ReadSection("Big", &keys);
  ASSERT_EQ(keys.Count(), 600);
  EXPECT_EQ(keys.Strings(0), "C:\\Some folder\\with a long name\\entry 0");
  EXPECT_EQ(keys.Strings(599), "C:\\Some folder\\with a long name\\entry 599");
  TStringList sections;
  ini.ReadSections(&sections);
  ASSERT_EQ(sections.Count(), 302);
  EXPECT_EQ(sections.Strings(301), "Section with a long name 299");
  EXPECT_EQ(ini.ReadString("Long", "Value", ""), longValue);
}

TEST_F(IniFile, EraseWriteAndFlushLeaveOneLinePerEntry) {
  const String file = Path("selection.ini");
  TIniFile ini(file);
  ini.EraseSection("Paths");  // nothing to erase yet: no file is made
  EXPECT_FALSE(FileExists(file));
  ini.WriteString("Paths", "Old", "");
  ini.WriteString("Keep", "k", "v");
  ini.EraseSection("Paths");
  EXPECT_FALSE(ini.SectionExists("Paths"));
  ini.WriteString("Paths", "C:\\Data\\*", "");
  ini.WriteString("Paths", "C:\\Notes\\a.txt", "");
  ini.WriteString("Paths", "C:\\\xD0\x96\\*", "");
  ini.DeleteKey("Keep", "k");
  ini.UpdateFile();

  const String text = Utf16Text(file);
  EXPECT_NE(text.find("[Paths]\r\nC:\\Data\\*=\r\nC:\\Notes\\a.txt=\r\nC:\\\xD0\x96\\*=\r\n"),
            String::npos)
      << text;
  EXPECT_EQ(text.find("Old"), String::npos);
  TStringList keys;
  TIniFile again(file);
  again.ReadSection("Paths", &keys);
  EXPECT_EQ(Items(keys),
            (std::vector<String>{"C:\\Data\\*", "C:\\Notes\\a.txt", "C:\\\xD0\x96\\*"}));
  EXPECT_FALSE(again.ValueExists("Keep", "k"));
}

TEST_F(IniFile, LineWithoutKeyIsSkippedAndTheRestOfTheSectionRead) {
  const String file = Path("keyless.ini");
  const std::string text = "[S]\r\na=1\r\n=x\r\nb=2\r\n=\r\nc=3\r\n[T]\r\nd=4\r\n";
  for (const bool unicode : {false, true}) {
    if (unicode)
      WriteUtf16(file, text);
    else
      WriteBytes(file, text);
    TIniFile ini(file);
    TStringList keys;
    ini.ReadSection("S", &keys);
    EXPECT_EQ(Items(keys), (std::vector<String>{"a", "b", "c"})) << "unicode " << unicode;
    ini.ReadSectionValues("S", &keys);
    EXPECT_EQ(Items(keys), (std::vector<String>{"a=1", "b=2", "c=3"}));
    ini.ReadSection("T", &keys);
    EXPECT_EQ(Items(keys), (std::vector<String>{"d"}));
    ini.UpdateFile();
  }
}

TEST_F(IniFile, AnsiFileBecomesUtf16WithAllItsSectionsWhenATextDoesNotFitIt) {
  const String file = Path("ansi.ini");
  WriteBytes(file, "; a comment\r\n[First]\r\nName=Cafe\r\n\r\n[Second]\r\nx=1\r\ny=2\r\n");
  {
    TIniFile ini(file);
    ini.WriteString("First", "Plain", "ascii only");
    ini.UpdateFile();
  }
  EXPECT_EQ(Bytes(file).substr(0, 4), "; a ") << "text that fits leaves the file as it is";

  TIniFile ini(file);
  ini.WriteString("Second", kKey, kValue);
  ini.WriteString(kSection, "k", kValue);
  ini.UpdateFile();
  EXPECT_EQ(Bytes(file).substr(0, 2), "\xFF\xFE");
  const String text = Utf16Text(file);
  EXPECT_NE(text.find("; a comment"), String::npos) << text;
  TIniFile again(file);
  EXPECT_EQ(again.ReadString("First", "Name", ""), "Cafe");
  EXPECT_EQ(again.ReadString("First", "Plain", ""), "ascii only");
  EXPECT_EQ(again.ReadString("Second", "x", ""), "1");
  EXPECT_EQ(again.ReadString("Second", "y", ""), "2");
  EXPECT_EQ(again.ReadString("Second", kKey, ""), kValue);
  EXPECT_EQ(again.ReadString(kSection, "k", ""), kValue);
}

TEST_F(IniFile, SectionWrittenAtOnceReplacesItsKeysAndKeepsTheOthers) {
  const String file = Path("whole.ini");
  TIniFile ini(file);
  ini.WriteString("Paths", "Old", "1");
  ini.WriteString("Keep", "k", "v");
  TStringList lines;
  lines.Add("C:\\Data\\*=");
  lines.Add("C:\\Notes\\a.txt=");
  lines.Add("C:\\\xD0\x96\\*=");
  lines.Add("plain");
  lines.Add("value=with=equals");
  ini.WriteSectionValues("Paths", &lines);
  ini.UpdateFile();

  TIniFile again(file);
  TStringList keys;
  again.ReadSection("Paths", &keys);
  EXPECT_EQ(Items(keys), (std::vector<String>{"C:\\Data\\*", "C:\\Notes\\a.txt", "C:\\\xD0\x96\\*",
                                              "plain", "value"}));
  EXPECT_EQ(again.ReadString("Paths", "value", ""), "with=equals");
  EXPECT_EQ(again.ReadString("Keep", "k", ""), "v");

  TStringList bad;
  bad.Add("=no key");
  EXPECT_THROW(ini.WriteSectionValues("Paths", &bad), EIniFileException);
  bad.Clear();
  bad.Add("k=two\r\nlines");
  EXPECT_THROW(ini.WriteSectionValues("Paths", &bad), EIniFileException);
  again.ReadSection("Paths", &keys);
  EXPECT_EQ(keys.Count(), 5) << "a refused section leaves the old one";
}
