// A label that shows a file-system path shortened to its width.
//   TKivPathLabel     Path; the caption keeps the drive or leading folders whole, then "..\",
//                     then the last component
//   ShortenPathToWidth  the shortening rule, over any measure of text widths
#pragma once

#include "host/forms/StdCtrls.h"

#include <functional>
#include <string>

namespace zelnor {

using host::String;

// The shortening of `path` for a budget of `width` pixels, `textWidth` measuring a text: the path
// itself when it is narrower than the budget; otherwise the leading folders (whole ones only)
// that fit together with "..\" and the last component, then "..\" and the last component, which
// is kept whole even when it alone is too wide. A path ending in a backslash keeps its last
// folder with that backslash. Characters are never cut apart (surrogate pairs stay together).
std::wstring ShortenPathToWidth(const std::wstring& path, int width,
                                const std::function<int(const std::wstring&)>& textWidth);

class TKivPathLabel : public host::TCustomLabel {
  HOST_CLASS(TKivPathLabel, host::TCustomLabel)
  explicit TKivPathLabel(host::TComponent* owner = nullptr);

  // ---- Settings
  // The full path; the caption is made from it and the width, and never changes it.
  const String& Path() const { return path_; }
  void SetPath(const String& path);
  bool UseSystemFont() const { return useSystemFont_; }
  // True gives the label the explorer's icon-title font.
  void SetUseSystemFont(bool value);
  String Version() const { return ClassName() + " V4.2"; }

  // ---- Caption
  // Makes the caption of the path for the label's width and font. Every "&" is doubled while
  // ShowAccelChar is on, so that none becomes an accelerator. With AutoSize on, the width follows
  // the caption: the path is shown whole.
  void FormatPathLabel();
  // The width in pixels of `text` in the label's font.
  int GetTextWidth(const String& text);

  void Loaded() override;
  void WndProc(host::TMessage& message) override;

 protected:
  void Resize() override;

 private:
  // A temporary canvas on the label's device context (its parent window's, or the screen's),
  // in the label's font.
  class TMeasure;

  String path_;
  bool useSystemFont_ = true;
  bool formatting_ = false;
};

}  // namespace zelnor
