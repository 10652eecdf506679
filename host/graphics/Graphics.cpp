#include "host/graphics/Graphics.h"

#include "host/core/TypeInfo.h"
#include "host/graphics/Jpeg.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

namespace host {

// ---- Colours

COLORREF ColorToRGB(TColor color) {
  if (color < 0) return GetSysColor(int(unsigned(color) & 0xFF));
  return COLORREF(unsigned(color) & 0xFFFFFF);
}

int ScreenPixelsPerInch() {
  static const int ppi = [] {
    WindowDC screen;
    const int value = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
    return value > 0 ? value : 96;
  }();
  return ppi;
}

// ---- TGraphicsObject

void TGraphicsObject::FreeHandle() {
  if (!handle_) return;
  if (canvas_) canvas_->Deselect(this);
  if (owned_) {
    handle_.reset();
  } else {
    (void)handle_.release();
  }
  owned_ = true;
}

void TGraphicsObject::AdoptHandle(HGDIOBJ handle, bool owned) {
  FreeHandle();
  handle_.reset(handle);
  owned_ = owned;
}

void TGraphicsObject::Changed() {
  FreeHandle();
  if (OnChange) OnChange(this);
}

// ---- TFont

TFont::TFont() : height_(-MulDiv(8, ScreenPixelsPerInch(), 72)) {}

const TEnumInfo& ColorIdents() {
  static const TEnumInfo names{
      {"clBlack", clBlack}, {"clMaroon", clMaroon}, {"clGreen", clGreen}, {"clOlive", clOlive},
      {"clNavy", clNavy}, {"clPurple", clPurple}, {"clTeal", clTeal}, {"clGray", clGray},
      {"clSilver", clSilver}, {"clRed", clRed}, {"clLime", clLime}, {"clYellow", clYellow},
      {"clBlue", clBlue}, {"clFuchsia", clFuchsia}, {"clAqua", clAqua}, {"clWhite", clWhite},
      {"clNone", clNone}, {"clDefault", clDefault}, {"clScrollBar", clScrollBar},
      {"clBackground", clBackground}, {"clActiveCaption", clActiveCaption},
      {"clInactiveCaption", clInactiveCaption}, {"clMenu", clMenu}, {"clWindow", clWindow},
      {"clWindowFrame", clWindowFrame}, {"clMenuText", clMenuText},
      {"clWindowText", clWindowText}, {"clCaptionText", clCaptionText},
      {"clActiveBorder", clActiveBorder}, {"clInactiveBorder", clInactiveBorder},
      {"clAppWorkSpace", clAppWorkSpace}, {"clHighlight", clHighlight},
      {"clHighlightText", clHighlightText}, {"clBtnFace", clBtnFace},
      {"clBtnShadow", clBtnShadow}, {"clGrayText", clGrayText}, {"clBtnText", clBtnText},
      {"clInactiveCaptionText", clInactiveCaptionText}, {"clBtnHighlight", clBtnHighlight},
      {"cl3DDkShadow", cl3DDkShadow}, {"cl3DLight", cl3DLight}, {"clInfoText", clInfoText},
      {"clInfoBk", clInfoBk}, {"clHotLight", clHotLight},
      {"clGradientActiveCaption", clGradientActiveCaption},
      {"clGradientInactiveCaption", clGradientInactiveCaption},
      {"clMenuHighlight", clMenuHighlight}, {"clMenuBar", clMenuBar}};
  return names;
}

const TClassInfo& TFont::StaticClassInfo() {
  static const TEnumInfo styles{"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"};
  static const TClassInfo info("TFont", &TPersistent::StaticClassInfo(), [](TClassInfo& i) {
    TPropertyTable<TFont> p(i);
    p.Int("Charset", &TFont::Charset, &TFont::SetCharset, DEFAULT_CHARSET);
    p.Int("Color", &TFont::Color, &TFont::SetColor, clWindowText).Named(ColorIdents());
    p.Str("Name", &TFont::Name, &TFont::SetName, "Tahoma");
    p.Int("Size", &TFont::Size, &TFont::SetSize, 8).StoredIf(&TFont::IsSizeStored);
    p.Int("Height", &TFont::StoredHeight, &TFont::SetHeight, 0)
        .NoDefault()
        .StoredIf(&TFont::IsHeightStored);
    p.Set("Style", styles, &TFont::Style, &TFont::SetStyle, 0);
  });
  return info;
}

void TFont::Assign(const TPersistent* source) {
  if (auto* font = dynamic_cast<const TFont*>(source)) {
    if (font == this) return;
    name_ = font->name_;
    height_ = font->height_;
    ppi_ = font->ppi_;
    inPoints_ = font->inPoints_;
    points_ = font->points_;
    givenHeight_ = font->givenHeight_;
    givenPpi_ = font->givenPpi_;
    color_ = font->color_;
    style_ = font->style_;
    charset_ = font->charset_;
    orientation_ = font->orientation_;
    Changed();
    return;
  }
  TGraphicsObject::Assign(source);
}

HFONT TFont::Handle() {
  if (!HandleOrNull()) {
    const LOGFONTW lf = GetLogFont();
    AdoptHandle(CreateFontIndirectW(&lf), true);
  }
  return HFONT(HandleOrNull());
}

LOGFONTW TFont::GetLogFont() const {
  LOGFONTW lf{};
  lf.lfHeight = height_;
  lf.lfEscapement = orientation_;
  lf.lfOrientation = orientation_;
  lf.lfWeight = (style_ & fsBold) ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = (style_ & fsItalic) ? TRUE : FALSE;
  lf.lfUnderline = (style_ & fsUnderline) ? TRUE : FALSE;
  lf.lfStrikeOut = (style_ & fsStrikeOut) ? TRUE : FALSE;
  lf.lfCharSet = charset_;
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  lf.lfPitchAndFamily = DEFAULT_PITCH;
  const WideString face = ToWide(name_);
  lstrcpynW(lf.lfFaceName, face.c_str(), LF_FACESIZE);
  return lf;
}

void TFont::AssignLogFont(const LOGFONTW& lf) {
  name_ = ToUtf8(std::wstring_view(lf.lfFaceName, wcsnlen(lf.lfFaceName, LF_FACESIZE)));
  height_ = lf.lfHeight;
  inPoints_ = false;
  givenHeight_ = lf.lfHeight;
  givenPpi_ = PixelsPerInch();  // a logical font is for the DPI the font is at
  orientation_ = lf.lfEscapement;
  style_ = (lf.lfWeight >= FW_BOLD ? unsigned(fsBold) : 0u) |
           (lf.lfItalic ? unsigned(fsItalic) : 0u) | (lf.lfUnderline ? unsigned(fsUnderline) : 0u) |
           (lf.lfStrikeOut ? unsigned(fsStrikeOut) : 0u);
  charset_ = lf.lfCharSet;
  Changed();
}

void TFont::SetHandle(HFONT font) {
  if (!font) {
    Changed();
    return;
  }
  LOGFONTW lf{};
  if (GetObjectW(font, sizeof lf, &lf) == 0) return;
  AssignLogFont(lf);  // drops the old handle
  AdoptHandle(font, true);
}

void TFont::SetName(const String& name) {
  if (name.empty() || name == name_) return;
  name_ = name;
  Changed();
}

int TFont::PixelsPerInch() const { return ppi_ ? ppi_ : ScreenPixelsPerInch(); }

int TFont::Size() const { return inPoints_ ? points_ : -MulDiv(height_, 72, PixelsPerInch()); }

void TFont::SetSize(int points) {
  const int height = -MulDiv(points, PixelsPerInch(), 72);
  inPoints_ = true;
  points_ = points;
  if (height == height_) return;
  height_ = height;
  Changed();
}

void TFont::SetHeight(int pixels) {
  inPoints_ = false;
  givenHeight_ = pixels;
  givenPpi_ = ppi_;
  if (pixels == height_) return;
  height_ = pixels;
  Changed();
}

void TFont::ChangeScale(int m, int d) {
  if (m <= 0) return;
  int height;
  if (inPoints_) {
    height = -MulDiv(points_, m, 72);
  } else {
    if (!givenPpi_) givenPpi_ = d > 0 ? d : PixelsPerInch();
    height = MulDiv(givenHeight_, m, givenPpi_);
  }
  ppi_ = m;
  if (height == height_) return;
  height_ = height;
  Changed();
}

void TFont::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  if (OnChange) OnChange(this);
}

void TFont::SetStyle(TFontStyles style) {
  if (style == style_) return;
  style_ = style;
  Changed();
}

void TFont::SetCharset(BYTE charset) {
  if (charset == charset_) return;
  charset_ = charset;
  Changed();
}

void TFont::SetOrientation(int tenthsOfDegree) {
  if (tenthsOfDegree == orientation_) return;
  orientation_ = tenthsOfDegree;
  Changed();
}

// ---- TBrush

void TBrush::Assign(const TPersistent* source) {
  if (auto* brush = dynamic_cast<const TBrush*>(source)) {
    if (brush == this) return;
    color_ = brush->color_;
    style_ = brush->style_;
    Changed();
    return;
  }
  TGraphicsObject::Assign(source);
}

HBRUSH TBrush::Handle() {
  if (!HandleOrNull()) {
    static constexpr int kHatch[] = {0, 0, HS_HORIZONTAL, HS_VERTICAL, HS_FDIAGONAL, HS_BDIAGONAL,
                                     HS_CROSS, HS_DIAGCROSS};
    if (style_ == bsClear) {
      AdoptHandle(GetStockObject(NULL_BRUSH), false);
    } else if (style_ == bsSolid) {
      AdoptHandle(CreateSolidBrush(ColorToRGB(color_)), true);
    } else {
      AdoptHandle(CreateHatchBrush(kHatch[style_], ColorToRGB(color_)), true);
    }
  }
  return HBRUSH(HandleOrNull());
}

void TBrush::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  if (style_ == bsClear) style_ = bsSolid;  // giving a colour makes the brush paint again
  Changed();
}

void TBrush::SetStyle(TBrushStyle style) {
  if (style == style_) return;
  style_ = style;
  Changed();
}

// ---- TPen

void TPen::Assign(const TPersistent* source) {
  if (auto* pen = dynamic_cast<const TPen*>(source)) {
    if (pen == this) return;
    color_ = pen->color_;
    width_ = pen->width_;
    style_ = pen->style_;
    Changed();
    return;
  }
  TGraphicsObject::Assign(source);
}

HPEN TPen::Handle() {
  if (!HandleOrNull()) {
    static constexpr int kStyle[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL,
                                     PS_INSIDEFRAME};
    AdoptHandle(CreatePen(kStyle[style_], width_, ColorToRGB(color_)), true);
  }
  return HPEN(HandleOrNull());
}

void TPen::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  Changed();
}

void TPen::SetWidth(int width) {
  if (width == width_ || width < 0) return;
  width_ = width;
  Changed();
}

void TPen::SetStyle(TPenStyle style) {
  if (style == style_) return;
  style_ = style;
  Changed();
}

// ---- TCanvas

TCanvas::TCanvas() {
  font_.canvas_ = this;
  brush_.canvas_ = this;
  pen_.canvas_ = this;
}

TCanvas::~TCanvas() { TCanvas::FreeContext(); }

HDC TCanvas::Handle() {
  if (!dc_) CreateHandle();
  return dc_;
}

void TCanvas::SetHandle(HDC dc) {
  if (dc == dc_) return;
  FreeContext();
  dc_ = dc;
}

void TCanvas::AttachOwnContext(HDC dc) { dc_ = dc; }

void TCanvas::FreeContext() {
  DeselectAll();
  dc_ = nullptr;
}

void TCanvas::Deselect(TGraphicsObject* object) {
  if (!dc_) return;
  if (object == &font_) {
    fontSelection_.Reset();
  } else if (object == &brush_) {
    brushSelection_.Reset();
  } else if (object == &pen_) {
    penSelection_.Reset();
  }
}

void TCanvas::DeselectAll() {
  Deselect(&font_);
  Deselect(&brush_);
  Deselect(&pen_);
}

HDC TCanvas::Required(unsigned needs) {
  HDC dc = Handle();
  if (!dc) throw EInvalidGraphic("Canvas does not allow drawing");
  if (needs & kFont) {
    fontSelection_.Select(dc, font_.Handle());
    SetTextColor(dc, ColorToRGB(font_.Color()));
  }
  if (needs & kBrush) {
    brushSelection_.Select(dc, brush_.Handle());
    if (brush_.Style() == bsClear) {
      SetBkMode(dc, TRANSPARENT);
    } else {
      SetBkMode(dc, OPAQUE);
      SetBkColor(dc, ColorToRGB(brush_.Color()));
    }
  }
  if (needs & kPen) penSelection_.Select(dc, pen_.Handle());
  return dc;
}

void TCanvas::Changing() {
  if (OnChanging) OnChanging(this);
}

void TCanvas::Changed() {
  if (OnChange) OnChange(this);
}

void TCanvas::FillRect(const RECT& rect) {
  Changing();
  ::FillRect(Required(kBrush), &rect, brush_.Handle());
  Changed();
}

void TCanvas::FrameRect(const RECT& rect) {
  Changing();
  ::FrameRect(Required(kBrush), &rect, brush_.Handle());
  Changed();
}

void TCanvas::Rectangle(int left, int top, int right, int bottom) {
  Changing();
  ::Rectangle(Required(kPen | kBrush), left, top, right, bottom);
  Changed();
}

void TCanvas::MoveTo(int x, int y) { MoveToEx(Required(kPen), x, y, nullptr); }

void TCanvas::LineTo(int x, int y) {
  Changing();
  ::LineTo(Required(kPen), x, y);
  Changed();
}

void TCanvas::TextOut(int x, int y, const String& text) {
  Changing();
  const WideString w = ToWide(text);
  ExtTextOutW(Required(kFont | kBrush), x, y, 0, nullptr, w.c_str(), UINT(w.size()), nullptr);
  Changed();
}

void TCanvas::TextRect(const RECT& rect, int x, int y, const String& text) {
  Changing();
  const WideString w = ToWide(text);
  HDC dc = Required(kFont | kBrush);
  const UINT options = ETO_CLIPPED | (brush_.Style() == bsClear ? 0 : ETO_OPAQUE);
  ExtTextOutW(dc, x, y, options, &rect, w.c_str(), UINT(w.size()), nullptr);
  Changed();
}

SIZE TCanvas::TextExtent(const String& text) {
  SIZE size{};
  const WideString w = ToWide(text);
  GetTextExtentPoint32W(Required(kFont), w.c_str(), int(w.size()), &size);
  return size;
}

void TCanvas::Draw(int x, int y, TGraphic* graphic) {
  if (!graphic || graphic->Empty()) return;
  Changing();
  graphic->Draw(this, RECT{x, y, x + graphic->Width(), y + graphic->Height()});
  Changed();
}

void TCanvas::StretchDraw(const RECT& rect, TGraphic* graphic) {
  if (!graphic || graphic->Empty()) return;
  Changing();
  graphic->Draw(this, rect);
  Changed();
}

void TCanvas::CopyRect(const RECT& dest, TCanvas* source, const RECT& src) {
  if (!source) return;
  Changing();
  HDC to = Required(0);
  HDC from = source->Required(0);
  const int dw = dest.right - dest.left, dh = dest.bottom - dest.top;
  const int sw = src.right - src.left, sh = src.bottom - src.top;
  if (dw == sw && dh == sh) {
    BitBlt(to, dest.left, dest.top, dw, dh, from, src.left, src.top, copyMode_);
  } else {
    SetStretchBltMode(to, COLORONCOLOR);
    StretchBlt(to, dest.left, dest.top, dw, dh, from, src.left, src.top, sw, sh, copyMode_);
  }
  Changed();
}

RECT TCanvas::ClipRect() {
  RECT r{};
  GetClipBox(Required(0), &r);
  return r;
}

TColor TCanvas::Pixel(int x, int y) { return TColor(GetPixel(Required(0), x, y)); }

void TCanvas::SetPixel(int x, int y, TColor color) {
  Changing();
  ::SetPixel(Required(0), x, y, ColorToRGB(color));
  Changed();
}

// ---- TGraphic

void TGraphic::SetTransparent(bool transparent) {
  if (transparent == transparent_) return;
  transparent_ = transparent;
  Changed();
}

void TGraphic::Changed() {
  if (OnChange) OnChange(this);
}

// ---- TBitmapCanvas

TBitmapCanvas::~TBitmapCanvas() { TBitmapCanvas::FreeContext(); }

void TBitmapCanvas::CreateHandle() {
  ownDc_.reset(CreateCompatibleDC(nullptr));
  if (!ownDc_) return;
  if (HBITMAP bitmap = bitmap_->SelectableHandle()) bitmapSelection_.Select(ownDc_.get(), bitmap);
  AttachOwnContext(ownDc_.get());
}

void TBitmapCanvas::FreeContext() {
  TCanvas::FreeContext();
  // The bitmap goes back out of the context before the context is deleted.
  bitmapSelection_.Reset();
  ownDc_.reset();
}

void TBitmapCanvas::Changed() {
  TCanvas::Changed();
  bitmap_->Changed();
}

// ---- TBitmap

HBITMAP CreateDibSection32(int width, int height, void** bits) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* p = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &p, nullptr, 0);
  if (bits) *bits = p;
  return bitmap;
}

TBitmap::TBitmap() : canvas_(this) {}

TBitmap::TBitmap(int width, int height) : canvas_(this) { SetSize(width, height); }

TBitmap::~TBitmap() { canvas_.FreeContext(); }

void TBitmap::SetSize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == width_ && height == height_) return;
  if (width == 0 || height == 0) {
    canvas_.FreeContext();
    handle_.reset();
    width_ = width;
    height_ = height;
    Changed();
    return;
  }
  UniqueGdiObject fresh{CreateDibSection32(width, height)};
  if (!fresh) throw EOutOfResources("Out of system resources");
  {
    UniqueDC to{CreateCompatibleDC(nullptr)};
    SelectedObject select(to.get(), fresh.get());
    const RECT all{0, 0, width, height};
    UniqueGdiObject pad{CreateSolidBrush(ColorToRGB(canvas_.Brush()->Color()))};
    ::FillRect(to.get(), &all, HBRUSH(pad.get()));
    if (handle_) {
      BitBlt(to.get(), 0, 0, std::min(width, width_), std::min(height, height_), canvas_.Handle(),
             0, 0, SRCCOPY);
    }
  }
  canvas_.FreeContext();
  handle_ = std::move(fresh);
  width_ = width;
  height_ = height;
  Changed();
}

HBITMAP TBitmap::Handle() {
  canvas_.FreeContext();
  return HBITMAP(handle_.get());
}

void TBitmap::TakeHandle(HBITMAP bitmap) {
  canvas_.FreeContext();
  handle_.reset(bitmap);
  BITMAP info{};
  if (bitmap && GetObjectW(bitmap, sizeof info, &info)) {
    width_ = info.bmWidth;
    height_ = std::abs(info.bmHeight);
  } else {
    width_ = height_ = 0;
  }
}

void TBitmap::SetHandle(HBITMAP bitmap) {
  if (bitmap == handle_.get()) return;
  TakeHandle(bitmap);
  Changed();
}

HBITMAP TBitmap::ReleaseHandle() {
  canvas_.FreeContext();
  width_ = height_ = 0;
  HBITMAP bitmap = HBITMAP(handle_.release());
  Changed();
  return bitmap;
}

TColor TBitmap::TransparentColor() {
  if (transparentColor_ != clDefault) return transparentColor_;
  if (Empty()) return clDefault;
  return canvas_.Pixel(0, height_ - 1) & 0xFFFFFF;
}

void TBitmap::SetTransparentColor(TColor color) {
  if (color == transparentColor_) return;
  transparentColor_ = color;
  Changed();
}

void TBitmap::Assign(const TPersistent* source) {
  auto* other = dynamic_cast<const TBitmap*>(source);
  if (!other) {
    TGraphic::Assign(source);  // the source may know how to become a bitmap
    return;
  }
  if (other == this) return;
  // Reading the source draws from its canvas; that changes no visible state of it.
  auto* from = const_cast<TBitmap*>(other);
  HBITMAP copy = nullptr;
  if (!from->Empty()) {
    copy = CreateDibSection32(from->width_, from->height_);
    if (!copy) throw EOutOfResources("Out of system resources");
    UniqueDC to{CreateCompatibleDC(nullptr)};
    SelectedObject select(to.get(), copy);
    BitBlt(to.get(), 0, 0, from->width_, from->height_, from->canvas_.Handle(), 0, 0, SRCCOPY);
  }
  TakeHandle(copy);
  if (!copy) {
    width_ = other->width_;
    height_ = other->height_;
  }
  transparent_ = other->transparent_;
  transparentColor_ = other->transparentColor_;
  Changed();
}

std::unique_ptr<TGraphic> TBitmap::Clone() const {
  auto copy = std::make_unique<TBitmap>();
  copy->Assign(this);
  return copy;
}

void TBitmap::Draw(TCanvas* canvas, const RECT& rect) {
  if (Empty()) return;
  HDC from = canvas_.Handle();
  HDC to = canvas->Handle();
  if (!from || !to) return;
  const int w = rect.right - rect.left, h = rect.bottom - rect.top;
  if (transparent_) {
    TransparentBlt(to, rect.left, rect.top, w, h, from, 0, 0, width_, height_,
                   ColorToRGB(TransparentColor()));
  } else if (w == width_ && h == height_) {
    BitBlt(to, rect.left, rect.top, w, h, from, 0, 0, canvas->CopyMode());
  } else {
    SetStretchBltMode(to, COLORONCOLOR);
    StretchBlt(to, rect.left, rect.top, w, h, from, 0, 0, width_, height_, canvas->CopyMode());
  }
}

void TBitmap::LoadFromFile(const String& fileName) {
  const WideString path = ToWide(fileName);
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    throw EInvalidGraphic("Cannot open file \"" + fileName + "\"");
  }
  HANDLE image = LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0,
                            LR_LOADFROMFILE | LR_CREATEDIBSECTION);
  if (!image) throw EInvalidGraphic("Bitmap image is not valid");
  SetHandle(HBITMAP(image));
}

void TBitmap::SaveToFile(const String& fileName) {
  // Written as a 24-bit bottom-up BMP, the form every reader accepts.
  const int w = width_, h = height_;
  const DWORD stride = DWORD((w * 3 + 3) & ~3);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  bi.bmiHeader.biSizeImage = stride * DWORD(h);
  std::vector<BYTE> pixels(bi.bmiHeader.biSizeImage);
  if (HBITMAP bitmap = Handle()) {
    const int lines =
        GetDIBits(WindowDC().get(), bitmap, 0, UINT(h), pixels.data(), &bi, DIB_RGB_COLORS);
    if (lines != h) throw EInvalidGraphic("Bitmap image is not valid");
    bi.bmiHeader.biSizeImage = stride * DWORD(h);
  }
  BITMAPFILEHEADER fh{};
  fh.bfType = 0x4D42;  // "BM"
  fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
  fh.bfSize = fh.bfOffBits + DWORD(pixels.size());

  UniqueFile file{CreateFileW(ToWide(fileName).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr)};
  if (!file) throw EInvalidGraphic("Cannot create file \"" + fileName + "\"");
  DWORD written = 0;
  bool ok = WriteFile(file.get(), &fh, sizeof fh, &written, nullptr) && written == sizeof fh;
  ok = ok && WriteFile(file.get(), &bi.bmiHeader, sizeof bi.bmiHeader, &written, nullptr) &&
       written == sizeof bi.bmiHeader;
  ok = ok && WriteFile(file.get(), pixels.data(), DWORD(pixels.size()), &written, nullptr) &&
       written == pixels.size();
  if (!ok) throw EInvalidGraphic("Cannot write file \"" + fileName + "\"");
}

void TBitmap::LoadFromResourceName(HINSTANCE instance, const String& name) {
  HANDLE image =
      LoadImageW(instance, ToWide(name).c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
  if (!image) throw EResNotFound("Resource " + name + " not found");
  SetHandle(HBITMAP(image));
}

void TBitmap::LoadFromResourceID(HINSTANCE instance, int id) {
  HANDLE image = LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
  if (!image) throw EResNotFound("Resource " + std::to_string(id) + " not found");
  SetHandle(HBITMAP(image));
}

// ---- TPicture

TPicture::~TPicture() = default;

void TPicture::Hold(std::unique_ptr<TGraphic> graphic) {
  graphic_ = std::move(graphic);
  if (graphic_) graphic_->OnChange = [this](TObject*) { Changed(); };
  Changed();
}

void TPicture::Changed() {
  if (OnChange) OnChange(this);
}

void TPicture::SetGraphic(const TGraphic* graphic) {
  Hold(graphic ? graphic->Clone() : nullptr);
}

TBitmap* TPicture::Bitmap() {
  if (auto* bitmap = dynamic_cast<TBitmap*>(graphic_.get())) return bitmap;
  auto bitmap = std::make_unique<TBitmap>();
  if (graphic_ && !graphic_->Empty()) bitmap->Assign(graphic_.get());
  TBitmap* result = bitmap.get();
  Hold(std::move(bitmap));
  return result;
}

void TPicture::Assign(const TPersistent* source) {
  if (!source) {
    SetGraphic(nullptr);
  } else if (auto* picture = dynamic_cast<const TPicture*>(source)) {
    if (picture != this) SetGraphic(picture->graphic_.get());
  } else if (auto* graphic = dynamic_cast<const TGraphic*>(source)) {
    SetGraphic(graphic);
  } else {
    TPersistent::Assign(source);
  }
}

namespace {
String LowerExtension(const String& fileName) {
  const auto dot = fileName.find_last_of('.');
  const auto slash = fileName.find_last_of("\\/:");
  if (dot == String::npos || (slash != String::npos && slash > dot)) return {};
  String ext = fileName.substr(dot);
  for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}
}  // namespace

void TPicture::LoadFromFile(const String& fileName) {
  const String ext = LowerExtension(fileName);
  std::unique_ptr<TGraphic> graphic;
  if (ext == ".bmp") {
    graphic = std::make_unique<TBitmap>();
  } else if (ext == ".jpg" || ext == ".jpeg") {
    graphic = std::make_unique<TJPEGImage>();
  } else {
    throw EInvalidGraphic("Unknown picture file extension (" + ext + ")");
  }
  graphic->LoadFromFile(fileName);
  Hold(std::move(graphic));
}

void TPicture::SaveToFile(const String& fileName) {
  if (graphic_) graphic_->SaveToFile(fileName);
}

}  // namespace host
