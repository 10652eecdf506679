// Watching another control's windows, and a drop target kept registered with them.
#include "host/forms/DropTargetRegistration.h"
#include "host/forms/ExtCtrls.h"
#include "host/forms/Forms.h"
#include "host/forms/WindowWatch.h"

#include <gtest/gtest.h>
#include <ole2.h>

#include <memory>
#include <vector>

using namespace host;

namespace {

struct Told {
  TWindowOperation operation;
  HWND window;
  bool windowExisted;
  bool operator==(const Told&) const = default;
};

// A drop target that only counts the references OLE holds.
class CountingTarget : public IDropTarget {
 public:
  LONG refs = 1;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (iid != IID_IUnknown && iid != IID_IDropTarget) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = static_cast<IDropTarget*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(++refs); }
  ULONG STDMETHODCALLTYPE Release() override { return ULONG(--refs); }
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) override {
    *effect = DROPEFFECT_NONE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override {
    *effect = DROPEFFECT_NONE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Drop(IDataObject*, DWORD, POINTL, DWORD* effect) override {
    *effect = DROPEFFECT_NONE;
    return S_OK;
  }
};

// A form (never shown) with a panel on it.
struct PanelOnForm {
  std::unique_ptr<TForm> form = std::make_unique<TForm>();
  TPanel* panel = new TPanel(form.get());
  PanelOnForm() {
    form->SetBounds(20, 20, 200, 120);
    panel->SetParent(form.get());
  }
};

}  // namespace

TEST(WindowWatch, TellsOfEachWindowOnceOnEitherSideWhileTheWindowExists) {
  PanelOnForm f;
  std::vector<Told> told;
  TWindowWatch watch([&](TWinControl* control, HWND window, TWindowOperation operation) {
    EXPECT_EQ(control, f.panel);
    told.push_back({operation, window, IsWindow(window) != FALSE});
  });
  watch.Watch(f.panel);

  f.panel->HandleNeeded();  // made with the form's window
  HWND first = f.panel->HandleIfAllocated();
  f.panel->RecreateWnd();
  HWND second = f.panel->HandleIfAllocated();
  ASSERT_NE(second, nullptr);
  // The panel's window goes with the form's, destroyed behind the controls' backs.
  DestroyWindow(f.form->Handle());
  EXPECT_FALSE(f.panel->HandleAllocated());
  f.panel->HandleNeeded();
  HWND third = f.panel->HandleIfAllocated();
  delete f.panel;
  EXPECT_EQ(watch.Control(), nullptr);

  const std::vector<Told> expected = {
      {woCreated, first, true},   {woDestroying, first, true}, {woCreated, second, true},
      {woDestroying, second, true}, {woCreated, third, true},  {woDestroying, third, true}};
  EXPECT_EQ(told, expected);
}

TEST(DropTargetRegistration, RegistersOncePerWindowAndLetsGoBeforeEachWindowGoes) {
  ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
  CountingTarget target;
  PanelOnForm f;
  int failures = 0;
  {
    TDropTargetRegistration registration(&target);
    registration.OnFailed = [&](HRESULT) { ++failures; };
    registration.SetControl(f.panel);
    registration.SetActive(true);
    EXPECT_FALSE(registration.Registered()) << "no window yet";

    f.panel->HandleNeeded();
    EXPECT_EQ(registration.Window(), f.panel->HandleIfAllocated());
    const LONG whileRegistered = target.refs;
    EXPECT_GT(whileRegistered, 1);
    registration.SetActive(true);  // asked again: the window is not registered twice
    EXPECT_EQ(registration.LastResult(), S_OK);
    EXPECT_TRUE(registration.Active());

    f.panel->RecreateWnd();
    EXPECT_EQ(registration.Window(), f.panel->HandleIfAllocated());
    EXPECT_EQ(target.refs, whileRegistered) << "the old window's registration was let go";

    DestroyWindow(f.form->Handle());
    EXPECT_FALSE(registration.Registered());
    EXPECT_EQ(target.refs, 1);
    f.panel->HandleNeeded();
    EXPECT_TRUE(registration.Registered());

    registration.SetActive(false);
    EXPECT_EQ(target.refs, 1);
    registration.SetActive(true);
    EXPECT_TRUE(registration.Registered());
  }
  EXPECT_EQ(target.refs, 1) << "the registration's end revokes";
  EXPECT_EQ(failures, 0);

  // A window that has a target already refuses another: the registration turns inactive.
  CountingTarget other;
  ASSERT_EQ(RegisterDragDrop(f.panel->Handle(), &other), S_OK);
  TDropTargetRegistration refused(&target);
  refused.OnFailed = [&](HRESULT result) {
    ++failures;
    EXPECT_EQ(result, DRAGDROP_E_ALREADYREGISTERED);
  };
  refused.SetControl(f.panel);
  refused.SetActive(true);
  EXPECT_EQ(failures, 1);
  EXPECT_FALSE(refused.Active());
  EXPECT_FALSE(refused.Registered());
  RevokeDragDrop(f.panel->Handle());
  EXPECT_EQ(other.refs, 1);

  // A control destroyed while its window takes the target lets it go first.
  refused.SetActive(true);
  ASSERT_TRUE(refused.Registered());
  delete f.panel;
  EXPECT_EQ(target.refs, 1);
  EXPECT_EQ(refused.Control(), nullptr);
}

TEST(DropTargetRegistration, KeyStatesTakeAltFromTheKeyState) {
  EXPECT_EQ(OleKeyStateToShiftState(0x20 | MK_LBUTTON), ssAlt | ssLeft);
  EXPECT_EQ(OleKeyStateToShiftState(MK_SHIFT | MK_CONTROL | MK_RBUTTON | MK_MBUTTON),
            ssShift | ssCtrl | ssRight | ssMiddle);
  EXPECT_EQ(OleKeyStateToShiftState(0), 0u);
}
