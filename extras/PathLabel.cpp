// TKivPathLabel: the shortening rule, measuring in the label's font, and when the caption is made.
#include "extras/PathLabel.h"

#include "host/core/Raii.h"
#include "shell/ShellRoutines.h"

namespace zelnor {

namespace {

const std::wstring kMarker = L"..\\";

// The length of the character at text[i] in UTF-16 units: 2 for a surrogate pair.
size_t CharLength(const std::wstring& text, size_t i) {
  return IS_HIGH_SURROGATE(text[i]) && i + 1 < text.size() && IS_LOW_SURROGATE(text[i + 1]) ? 2
                                                                                             : 1;
}

std::wstring DoubleAmpersands(const std::wstring& text) {
  std::wstring doubled;
  doubled.reserve(text.size());
  for (wchar_t c : text) {
    doubled += c;
    if (c == L'&') doubled += c;
  }
  return doubled;
}

}  // namespace

std::wstring ShortenPathToWidth(const std::wstring& path, int width,
                                const std::function<int(const std::wstring&)>& textWidth) {
  if (path.empty() || textWidth(path) < width) return path;
  const size_t slash = path.rfind(L'\\');
  const std::wstring folder = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
  std::wstring name = path.substr(folder.size());
  if (name.empty()) {
    // A folder path keeps its last folder, from the backslash before it (or the whole path).
    const size_t previous = folder.size() >= 2 ? folder.rfind(L'\\', folder.size() - 2)
                                               : std::wstring::npos;
    name = previous == std::wstring::npos ? folder : folder.substr(previous + 1);
  }
  // Head holds the whole folders that fit; Pending the folder being tried, a character at a time.
  std::wstring head, pending;
  for (size_t i = 0; i < folder.size();) {
    const std::wstring character = folder.substr(i, CharLength(folder, i));
    if (textWidth(head + pending + character + name + kMarker) >= width) break;
    pending += character;
    if (character == L"\\") {
      head += pending;
      pending.clear();
    }
    i += character.size();
  }
  return head + kMarker + name;
}

class TKivPathLabel::TMeasure {
 public:
  explicit TMeasure(TKivPathLabel& label)
      : dc_(label.Parent() ? label.Parent()->HandleIfAllocated() : nullptr),
        font_(dc_.get(), label.Font()->Handle()) {}

  int Width(const std::wstring& text) const {
    SIZE size{};
    GetTextExtentPoint32W(dc_.get(), text.c_str(), int(text.size()), &size);
    return size.cx;
  }

 private:
  host::WindowDC dc_;
  host::SelectedObject font_;
};

// ---- Construction

TKivPathLabel::TKivPathLabel(host::TComponent* owner) : host::TCustomLabel(owner) {
  // The width is the budget the caption must fit.
  SetAutoSize(false);
}

// ---- Settings

void TKivPathLabel::SetPath(const String& path) {
  path_ = path;
  SetCaption(path);
  FormatPathLabel();
}

void TKivPathLabel::SetUseSystemFont(bool value) {
  useSystemFont_ = value;
  if (value) ApplyExplorerFont(*Font());
}

// ---- Caption

int TKivPathLabel::GetTextWidth(const String& text) {
  return TMeasure(*this).Width(host::ToWide(text));
}

void TKivPathLabel::FormatPathLabel() {
  if (path_.empty() || formatting_ || Loading()) return;
  host::ScopedValue formatting{formatting_, true};
  std::wstring caption = host::ToWide(path_);
  if (!AutoSize()) {
    const TMeasure measure(*this);
    caption = ShortenPathToWidth(caption, Width(),
                                 [&measure](const std::wstring& text) { return measure.Width(text); });
  }
  SetCaption(host::ToUtf8(ShowAccelChar() ? DoubleAmpersands(caption) : caption));
}

void TKivPathLabel::Resize() {
  if (Parent()) FormatPathLabel();
  host::TCustomLabel::Resize();
}

void TKivPathLabel::WndProc(host::TMessage& message) {
  host::TCustomLabel::WndProc(message);
  // Other widths need another caption.
  if (message.Msg == host::CM_FONTCHANGED) FormatPathLabel();
}

void TKivPathLabel::Loaded() {
  host::TCustomLabel::Loaded();
  if (useSystemFont_) ApplyExplorerFont(*Font());
  FormatPathLabel();
}

// ---- Published properties

HOST_PROPERTIES(TKivPathLabel) {
  // The caption is made from the path; the width is the label's own.
  p.Str("Caption", &TKivPathLabel::Caption, &TKivPathLabel::SetCaption).NeverStored();
  p.Bool("AutoSize", &TKivPathLabel::AutoSize, &TKivPathLabel::SetAutoSize, false);
  p.Str("Path", &TKivPathLabel::Path, &TKivPathLabel::SetPath);
  p.Bool("UseSystemFont", &TKivPathLabel::UseSystemFont, &TKivPathLabel::SetUseSystemFont, true);
  p.Str("Version", &TKivPathLabel::Version, nullptr).NeverStored();
}

}  // namespace zelnor
