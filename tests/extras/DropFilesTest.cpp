// The drop target: its registration with the control's windows, the four calls with a data object
// of real files, exceptions kept from OLE, and a real drag through the platform's drag loop.
#include <gtest/gtest.h>

#include <ole2.h>
#include <shlobj.h>

#include <memory>
#include <stdexcept>
#include <vector>

#include "Pump.h"
#include "extras/DropFiles.h"
#include "host/forms/Application.h"
#include "host/forms/ExtCtrls.h"
#include "host/forms/Forms.h"
#include "shell/ShellGlobals.h"
#include "shell/ShellRoutines.h"
#include "shell/ShellDataObject.h"
#include "shell/TempDir.h"

using namespace zelnor;
using testing_support::ShellDataObject;
using testing_support::TempDir;

namespace {

std::vector<String> Lines(const host::TStrings& list) {
  std::vector<String> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list.Strings(i));
  return out;
}

// A drop source that lets the drag run a few rounds of the drag loop, then drops.
class DropAfterRounds : public IDropSource {
 public:
  explicit DropAfterRounds(int rounds) : rounds_(rounds) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (iid != IID_IUnknown && iid != IID_IDropSource) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = static_cast<IDropSource*>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD) override {
    if (escape) return DRAGDROP_S_CANCEL;
    return --rounds_ <= 0 ? DRAGDROP_S_DROP : S_OK;
  }
  HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

 private:
  int rounds_;
};

struct DropFilesTest : ::testing::Test {
  TempDir dir;
  std::unique_ptr<host::TForm> form = std::make_unique<host::TForm>();
  host::TPanel* panel = new host::TPanel(form.get());
  TKivDropFiles* drop = new TKivDropFiles(form.get());
  std::vector<String> events;

  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    form->SetBounds(40, 40, 300, 200);
    panel->SetParent(form.get());
    panel->SetAlign(host::alClient);
  }
  void TearDown() override {
    form.reset();
    OleUninitialize();
  }

  // Handlers that record their calls and answer `effect`.
  void Record(TKivDropEffect effect) {
    auto handler = [this, effect](const char* name) {
      return [this, effect, name](host::TObject* sender, host::TShiftState, POINT, TKivDropEffect& e) {
        EXPECT_EQ(sender, drop);
        events.push_back(name);
        e = effect;
      };
    };
    drop->OnDragEnter = handler("enter");
    drop->OnDragOver = handler("over");
    drop->OnDrop = handler("drop");
    drop->OnDragLeave = [this](host::TObject*) { events.push_back("leave"); };
  }
};

}  // namespace

TEST_F(DropFilesTest, RegistersOncePerWindowFollowsItAndLetsGoWithTheControl) {
  EXPECT_FALSE(drop->Enabled());
  drop->SetEnabled(true);  // before a control: registered as soon as one is given
  panel->HandleNeeded();
  EXPECT_FALSE(drop->Registered());
  drop->SetControl(panel);
  EXPECT_TRUE(drop->Registered());
  const LONG held = drop->ReferenceCount();
  EXPECT_GT(held, 0) << "OLE holds the registered target";

  // A second Enabled := True neither registers again nor fails.
  drop->SetEnabled(true);
  EXPECT_TRUE(drop->Enabled());
  EXPECT_EQ(drop->ReferenceCount(), held);

  // A window made again takes the target again; the old one let go of it first.
  panel->RecreateWnd();
  EXPECT_TRUE(drop->Registered());
  EXPECT_EQ(drop->ReferenceCount(), held);
  EXPECT_EQ(RegisterDragDrop(panel->Handle(), drop), DRAGDROP_E_ALREADYREGISTERED);

  drop->SetEnabled(false);
  EXPECT_FALSE(drop->Registered());
  EXPECT_EQ(drop->ReferenceCount(), 0);
  drop->SetEnabled(true);

  // The control goes: the target is revoked while its window exists, and forgotten.
  delete panel;
  panel = nullptr;
  EXPECT_EQ(drop->Control(), nullptr);
  EXPECT_FALSE(drop->Registered());
  EXPECT_EQ(drop->ReferenceCount(), 0);
}

TEST_F(DropFilesTest, AWindowThatRefusesSwitchesEnabledOffAndDestructionRevokes) {
  panel->HandleNeeded();
  // Another target holds the window: the component's registration is refused.
  auto* other = new TKivDropFiles(form.get());
  other->SetControl(panel);
  other->SetEnabled(true);
  ASSERT_TRUE(other->Registered());
  drop->SetControl(panel);
  drop->SetEnabled(true);
  EXPECT_FALSE(drop->Enabled());
  EXPECT_FALSE(drop->Registered());

  // The other goes first: the window is free for this one.
  delete other;
  drop->SetEnabled(true);
  EXPECT_TRUE(drop->Registered());
  delete drop;
  drop = nullptr;
  auto* next = new TKivDropFiles(form.get());
  next->SetControl(panel);
  next->SetEnabled(true);
  EXPECT_TRUE(next->Enabled()) << "the destroyed target was revoked";
}

TEST_F(DropFilesTest, TheCallsListTheFilesAnswerWithinTheOfferAndReleaseTheData) {
  const String first = dir.File("one.txt", "1");
  const String second = dir.File("\xD0\xB4\xD0\xB2\xD0\xB0 \xE4\xBA\x8C.txt", "2");
  host::ComPtr<IDataObject> data = ShellDataObject(dir.Path(), {"one.txt", host::ExtractFileName(second)});
  ASSERT_TRUE(data);
  drop->SetControl(panel);
  drop->SetEnabled(true);

  // Without handlers: none on entering, copy while over, none on the drop.
  DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  EXPECT_EQ(drop->DragEnter(data.Get(), MK_LBUTTON, POINTL{5, 5}, &effect), S_OK);
  EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE));
  EXPECT_EQ(Lines(*drop->DroppedFiles()), (std::vector<String>{first, second}));
  EXPECT_EQ(drop->DataObject(), data.Get());
  effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  EXPECT_EQ(drop->DragOver(MK_LBUTTON, POINTL{6, 6}, &effect), S_OK);
  EXPECT_EQ(effect, DWORD(DROPEFFECT_COPY));
  effect = DROPEFFECT_COPY;
  EXPECT_EQ(drop->Drop(data.Get(), 0, POINTL{6, 6}, &effect), S_OK);
  EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE));
  EXPECT_EQ(drop->DataObject(), nullptr) << "the drop releases the drag's data";

  // The handlers' answers are cut down to what the source offers; the key state's Alt is MK_ALT's.
  host::TShiftState seen = 0;
  POINT at{};
  drop->OnDragOver = [&](host::TObject*, host::TShiftState keys, POINT p, TKivDropEffect& e) {
    seen = keys;
    at = p;
    e = deMove;
  };
  effect = DROPEFFECT_NONE;
  ASSERT_EQ(drop->DragEnter(data.Get(), 0, POINTL{1, 1}, &effect), S_OK);
  effect = DROPEFFECT_COPY | DROPEFFECT_LINK;
  EXPECT_EQ(drop->DragOver(0x20 | MK_SHIFT, POINTL{70, 80}, &effect), S_OK);
  EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE)) << "move was not offered";
  EXPECT_EQ(seen, host::ssAlt | host::ssShift);
  EXPECT_EQ(at.x, 70);
  EXPECT_EQ(at.y, 80);
  effect = DROPEFFECT_MOVE;
  EXPECT_EQ(drop->DragOver(0, POINTL{70, 80}, &effect), S_OK);
  EXPECT_EQ(effect, DWORD(DROPEFFECT_MOVE));

  // Entering and leaving: the files stay listed, the data object goes.
  events.clear();
  drop->OnDragLeave = [this](host::TObject*) { events.push_back("leave"); };
  ASSERT_EQ(drop->DragLeave(), S_OK);
  EXPECT_EQ(events, std::vector<String>{"leave"});
  EXPECT_EQ(drop->DataObject(), nullptr);
  EXPECT_EQ(drop->DroppedFiles()->Count(), 2);
}

TEST_F(DropFilesTest, ExceptionsOfTheHandlersReachOleAsUnexpectedAndTheApplication) {
  const String file = dir.File("a.txt", "a");
  host::ComPtr<IDataObject> data = ShellDataObject(dir.Path(), {"a.txt"});
  ASSERT_TRUE(data);
  auto saved = host::Application().OnException;
  std::vector<String> reported;
  host::Application().OnException = [&](host::TObject*, const std::exception& e) {
    reported.push_back(e.what());
  };
  auto raise = [](const char* what) {
    return [what](host::TObject*, host::TShiftState, POINT, TKivDropEffect&) {
      throw std::runtime_error(what);
    };
  };
  drop->OnDragEnter = raise("enter");
  drop->OnDragOver = raise("over");
  drop->OnDrop = raise("drop");
  drop->OnDragLeave = [](host::TObject*) { throw std::runtime_error("leave"); };

  DWORD effect = DROPEFFECT_COPY;
  EXPECT_EQ(drop->DragEnter(data.Get(), 0, POINTL{}, &effect), E_UNEXPECTED);
  EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE));
  EXPECT_EQ(drop->DataObject(), nullptr) << "a refused drag gets no DragLeave to release it";
  effect = DROPEFFECT_COPY;
  EXPECT_EQ(drop->DragOver(0, POINTL{}, &effect), E_UNEXPECTED);
  EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE));
  EXPECT_EQ(drop->DragLeave(), E_UNEXPECTED);
  effect = DROPEFFECT_COPY;
  EXPECT_EQ(drop->Drop(data.Get(), 0, POINTL{}, &effect), E_UNEXPECTED);
  EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE));
  EXPECT_EQ(drop->DataObject(), nullptr);
  EXPECT_EQ(reported, (std::vector<String>{"enter", "over", "leave", "drop"}));
  host::Application().OnException = saved;
}

TEST_F(DropFilesTest, ARealDragOfShellFilesReachesTheHandlers) {
  const String file = dir.File("dragged.txt", "d");
  host::ComPtr<IDataObject> data = ShellDataObject(dir.Path(), {"dragged.txt"});
  ASSERT_TRUE(data);
  drop->SetControl(panel);
  drop->SetEnabled(true);
  Record(deCopy);
  form->Show();
  SetForegroundWindow(form->Handle());
  host::Application().ProcessMessages();
  RECT r;
  GetWindowRect(panel->Handle(), &r);
  SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);

  DropAfterRounds source(8);
  DWORD effect = DROPEFFECT_NONE;
  const HRESULT result =
      DoDragDrop(data.Get(), &source, DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect);
  EXPECT_EQ(result, DRAGDROP_S_DROP);
  EXPECT_EQ(effect, DWORD(DROPEFFECT_COPY));
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.front(), "enter");
  EXPECT_EQ(events.back(), "drop");
  EXPECT_EQ(Lines(*drop->DroppedFiles()), std::vector<String>{file});
  EXPECT_EQ(drop->DataObject(), nullptr);
}
