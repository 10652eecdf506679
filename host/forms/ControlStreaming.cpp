// The controls' published properties as form files carry them, the cursor names they use,
// parenting by the enclosing block, the children written inside a control's block, and the
// registration of the classes with the form reader.
#include "host/forms/Controls.h"

#include "host/core/Streaming.h"
#include "host/forms/ControlsInternal.h"
#include "host/forms/Menus.h"

#include <functional>
#include <vector>

namespace host {

using namespace detail;

// Section: TControl

const TEnumInfo& CursorIdents() {
  static const TEnumInfo names{
      {"crDefault", crDefault},   {"crNone", crNone},         {"crArrow", crArrow},
      {"crCross", crCross},       {"crIBeam", crIBeam},       {"crSizeNESW", crSizeNESW},
      {"crSizeNS", crSizeNS},     {"crSizeNWSE", crSizeNWSE}, {"crSizeWE", crSizeWE},
      {"crUpArrow", crUpArrow},   {"crHourGlass", crHourGlass}, {"crDrag", crDrag},
      {"crNoDrop", crNoDrop},     {"crHSplit", crHSplit},     {"crVSplit", crVSplit},
      {"crMultiDrag", crMultiDrag}, {"crSQLWait", crSQLWait}, {"crNo", crNo},
      {"crAppStart", crAppStart}, {"crHelp", crHelp},         {"crHandPoint", crHandPoint},
      {"crSizeAll", crSizeAll}};
  return names;
}

HOST_PROPERTIES(TControl) {
  p.Int("Left", &TControl::StoredLeft, &TControl::SetLeft, 0).NoDefault();
  p.Int("Top", &TControl::StoredTop, &TControl::SetTop, 0).NoDefault();
  p.Int("Width", &TControl::StoredWidth, &TControl::SetWidth, 0).NoDefault();
  p.Int("Height", &TControl::StoredHeight, &TControl::SetHeight, 0).NoDefault();
  p.Enum("Align", AlignInfo, &TControl::Align, &TControl::SetAlign, alNone);
  p.Int("Cursor", &TControl::Cursor, &TControl::SetCursor, crDefault).Named(CursorIdents());
  p.Enum("DragMode", DragModeInfo, &TControl::DragMode, &TControl::SetDragMode, dmManual);
  p.Bool("Enabled", &TControl::Enabled, &TControl::SetEnabled, true);
  p.Bool("ParentColor", &TControl::ParentColor, &TControl::SetParentColor, false);
  p.Int("Color", &TControl::Color, &TControl::SetColor, clBtnFace)
      .StoredIf(&TControl::IsColorStored)
      .Named(ColorIdents());
  p.Bool("ParentFont", &TControl::ParentFont, &TControl::SetParentFont, true);
  p.Object("Font", [](TControl* c) { return c->Font(); }).StoredIf(&TControl::IsFontStored);
  p.Str("Hint", &TControl::Hint, &TControl::SetHint);
  p.Component("PopupMenu", &TControl::PopupMenu, &TControl::SetPopupMenu);
  p.Bool("ParentShowHint", &TControl::ParentShowHint, &TControl::SetParentShowHint, true);
  p.Bool("ShowHint", &TControl::ShowHint, &TControl::SetShowHint, false)
      .StoredIf(&TControl::IsShowHintStored);
  p.Bool("Visible", &TControl::Visible, &TControl::SetVisible, true);
  p.Event("OnClick", &TControl::OnClick);
  p.Event("OnDblClick", &TControl::OnDblClick);
  p.Event("OnResize", &TControl::OnResize);
  p.Event("OnMouseDown", &TControl::OnMouseDown);
  p.Event("OnMouseUp", &TControl::OnMouseUp);
  p.Event("OnMouseMove", &TControl::OnMouseMove);
  p.Event("OnContextPopup", &TControl::OnContextPopup);
}

void TControl::SetParentComponent(TComponent* parent) {
  if (auto* wc = dynamic_cast<TWinControl*>(parent)) SetParent(wc);
}

void TControl::Loaded() {
  TComponent::Loaded();
  if (parent_ && align_ != alNone) parent_->Realign();
}

// Section: TWinControl

HOST_PROPERTIES(TWinControl) {
  p.Int("TabOrder", &TWinControl::TabOrder, &TWinControl::SetTabOrder, -1)
      .StoredIf(&TWinControl::HasParent);
  p.Bool("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop, false);
  p.Event("OnKeyDown", &TWinControl::OnKeyDown);
  p.Event("OnKeyUp", &TWinControl::OnKeyUp);
  p.Event("OnKeyPress", &TWinControl::OnKeyPress);
  p.Event("OnEnter", &TWinControl::OnEnter);
  p.Event("OnExit", &TWinControl::OnExit);
}

void TWinControl::GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) {
  if (root == this) {
    // Components that are not controls of a parent come first, then the controls.
    for (int i = 0; i < ComponentCount(); ++i) {
      TComponent* c = Components(i);
      // Controls with a parent and menu items are written inside their parent's block.
      auto* control = dynamic_cast<TControl*>(c);
      auto* item = dynamic_cast<TMenuItem*>(c);
      if (!c->Name().empty() && !(control && control->Parent()) && !(item && item->Parent()))
        proc(c);
    }
  }
  for (TControl* c : std::vector<TControl*>(controls_))
    if (c->Owner() == root && !c->Name().empty()) proc(c);
}

// Section: TCustomControl, TGraphicControl

HOST_PROPERTIES(TCustomControl) {}

HOST_PROPERTIES(TGraphicControl) {}

// Section: registration

void RegisterControlClasses() {
  RegisterClasses({ComponentClass<TControl>(), ComponentClass<TWinControl>(),
                   ComponentClass<TCustomControl>(), ComponentClass<TGraphicControl>()});
}

}  // namespace host
