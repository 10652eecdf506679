// Graphics of the host class library.
//   TColor            colour values $00BBGGRR, system colours (clWindow ...), clNone, clDefault
//   TGraphicsObject   base of font, brush and pen: one lazily made GDI handle, OnChange
//   TFont             face, size/height, colour, style, charset; assignable from a LOGFONTW
//   TBrush, TPen      fill and line attributes
//   TCanvas           drawing on a bitmap or on a foreign device context
//   TGraphic          base of pictures that can draw themselves (TBitmap, TJPEGImage)
//   TBitmap           an HBITMAP owner: size changes crop or pad, BMP files, resources
//   TPicture          holder of one graphic (a bitmap unless told otherwise)
#pragma once

#include "host/core/Classes.h"
#include "host/core/Raii.h"

#include <windows.h>

#include <cstdint>
#include <memory>

namespace host {

// ---- Colours

// A colour: $00BBGGRR for plain values, $FF0000nn for system colour nn, or one of the specials.
using TColor = int32_t;

constexpr TColor RGBColor(int r, int g, int b) {
  return TColor((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr TColor SystemColor(int index) { return TColor(0xFF000000u | unsigned(index)); }

constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080,
                 clNavy = 0x800000, clPurple = 0x800080, clTeal = 0x808000, clGray = 0x808080,
                 clSilver = 0xC0C0C0, clRed = 0x0000FF, clLime = 0x00FF00, clYellow = 0x00FFFF,
                 clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00, clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;     // no colour (image lists: CLR_NONE)
constexpr TColor clDefault = 0x20000000;  // the owner's default (image lists: CLR_DEFAULT)

constexpr TColor clScrollBar = SystemColor(COLOR_SCROLLBAR),
                 clBackground = SystemColor(COLOR_BACKGROUND),
                 clActiveCaption = SystemColor(COLOR_ACTIVECAPTION),
                 clInactiveCaption = SystemColor(COLOR_INACTIVECAPTION),
                 clMenu = SystemColor(COLOR_MENU), clWindow = SystemColor(COLOR_WINDOW),
                 clWindowFrame = SystemColor(COLOR_WINDOWFRAME),
                 clMenuText = SystemColor(COLOR_MENUTEXT),
                 clWindowText = SystemColor(COLOR_WINDOWTEXT),
                 clCaptionText = SystemColor(COLOR_CAPTIONTEXT),
                 clActiveBorder = SystemColor(COLOR_ACTIVEBORDER),
                 clInactiveBorder = SystemColor(COLOR_INACTIVEBORDER),
                 clAppWorkSpace = SystemColor(COLOR_APPWORKSPACE),
                 clHighlight = SystemColor(COLOR_HIGHLIGHT),
                 clHighlightText = SystemColor(COLOR_HIGHLIGHTTEXT),
                 clBtnFace = SystemColor(COLOR_BTNFACE), clBtnShadow = SystemColor(COLOR_BTNSHADOW),
                 clGrayText = SystemColor(COLOR_GRAYTEXT), clBtnText = SystemColor(COLOR_BTNTEXT),
                 clInactiveCaptionText = SystemColor(COLOR_INACTIVECAPTIONTEXT),
                 clBtnHighlight = SystemColor(COLOR_BTNHIGHLIGHT),
                 cl3DDkShadow = SystemColor(COLOR_3DDKSHADOW), cl3DLight = SystemColor(COLOR_3DLIGHT),
                 clInfoText = SystemColor(COLOR_INFOTEXT), clInfoBk = SystemColor(COLOR_INFOBK),
                 clHotLight = SystemColor(COLOR_HOTLIGHT),
                 clGradientActiveCaption = SystemColor(COLOR_GRADIENTACTIVECAPTION),
                 clGradientInactiveCaption = SystemColor(COLOR_GRADIENTINACTIVECAPTION),
                 clMenuHighlight = SystemColor(COLOR_MENUHILIGHT),
                 clMenuBar = SystemColor(COLOR_MENUBAR);

class TEnumInfo;
// The colour names forms use ("clBtnFace", "clRed", ...).
const TEnumInfo& ColorIdents();

// The COLORREF of a colour: system colours are looked up; clNone and clDefault give black.
COLORREF ColorToRGB(TColor color);

// Logical pixels per inch of the screen (font sizes in points convert with it).
int ScreenPixelsPerInch();

// ---- Graphics objects

class TCanvas;

// Base of font, brush and pen. The handle is made on first use and dropped on every change; a
// canvas that has it selected is told first, so a selected handle is never deleted.
class TGraphicsObject : public TPersistent {
 public:
  TGraphicsObject() = default;
  TGraphicsObject(const TGraphicsObject&) = delete;
  TGraphicsObject& operator=(const TGraphicsObject&) = delete;
  String ClassName() const override { return "TGraphicsObject"; }

  bool HandleAllocated() const { return bool(handle_); }
  TNotifyEvent OnChange;

 protected:
  // Drops the handle (after telling the canvas) and fires OnChange.
  void Changed();
  void FreeHandle();
  HGDIOBJ HandleOrNull() const { return handle_.get(); }
  void AdoptHandle(HGDIOBJ handle, bool owned);

 private:
  friend class TCanvas;
  UniqueGdiObject handle_;
  bool owned_ = true;  // stock objects are not deleted
  TCanvas* canvas_ = nullptr;  // the canvas this object belongs to, if any
};

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = unsigned;  // a set of TFontStyle bits

class TFont : public TGraphicsObject {
 public:
  TFont();
  String ClassName() const override { return "TFont"; }
  // Publishes Charset, Color, Name, Size and Style for form files.
  static const TClassInfo& StaticClassInfo();
  const TClassInfo* ClassInfo() const override { return &StaticClassInfo(); }
  void Assign(const TPersistent* source) override;

  // The font handle, made on first use; the font owns it.
  HFONT Handle();
  // Takes over `font` (deleted with this font) and takes its attributes.
  void SetHandle(HFONT font);
  // Takes all attributes of a logical font (face, height, style, charset).
  void AssignLogFont(const LOGFONTW& logFont);
  LOGFONTW GetLogFont() const;

  const String& Name() const { return name_; }
  void SetName(const String& name);
  // Size in points; Height in pixels (negative: character height, positive: cell height). A
  // font keeps the way it was given: form files store Size or Height accordingly.
  int Size() const;
  void SetSize(int points);
  int Height() const { return height_; }
  void SetHeight(int pixels);
  bool GivenInPoints() const { return inPoints_; }
  // The DPI Height is for (the screen's until the font is first scaled).
  int PixelsPerInch() const;
  // Takes the font from DPI D to DPI M: a size in points is converted again, a height in pixels
  // scaled from the value it was given as (never from an earlier result).
  void ChangeScale(int m, int d);
  TColor Color() const { return color_; }
  void SetColor(TColor color);  // text colour only: the handle stays
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles style);
  BYTE Charset() const { return charset_; }
  void SetCharset(BYTE charset);
  int Orientation() const { return orientation_; }
  void SetOrientation(int tenthsOfDegree);

 private:
  bool IsSizeStored() const { return inPoints_; }
  bool IsHeightStored() const { return !inPoints_; }
  int StoredHeight() const { return givenHeight_; }

  String name_ = "Tahoma";
  int height_;
  int ppi_ = 0;            // 0: the screen's
  bool inPoints_ = true;
  int points_ = 8;         // as given, while inPoints_
  int givenHeight_ = 0;    // as given, at givenPpi_ (0: the DPI of the first scaling)
  int givenPpi_ = 0;
  TColor color_ = clWindowText;
  TFontStyles style_ = 0;
  BYTE charset_ = DEFAULT_CHARSET;
  int orientation_ = 0;
};

enum TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross,
                   bsDiagCross };

class TBrush : public TGraphicsObject {
 public:
  String ClassName() const override { return "TBrush"; }
  void Assign(const TPersistent* source) override;
  HBRUSH Handle();
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle style);

 private:
  TColor color_ = clWhite;
  TBrushStyle style_ = bsSolid;
};

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };

class TPen : public TGraphicsObject {
 public:
  String ClassName() const override { return "TPen"; }
  void Assign(const TPersistent* source) override;
  HPEN Handle();
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  int Width() const { return width_; }
  void SetWidth(int width);
  TPenStyle Style() const { return style_; }
  void SetStyle(TPenStyle style);

 private:
  TColor color_ = clBlack;
  int width_ = 1;
  TPenStyle style_ = psSolid;
};

// ---- Canvas

class TGraphic;

// Draws with its brush, pen and font on a device context: a foreign one given by SetHandle (never
// deleted here), or one the derived class makes (a bitmap's memory context).
class TCanvas : public TPersistent {
 public:
  TCanvas();
  ~TCanvas() override;
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;
  String ClassName() const override { return "TCanvas"; }

  // The device context; a bitmap canvas makes its own on first use.
  HDC Handle();
  // Draws on a foreign context from now on (nullptr detaches); the context is not deleted here.
  void SetHandle(HDC dc);
  bool HandleAllocated() const { return dc_ != nullptr; }

  TFont* Font() { return &font_; }
  TBrush* Brush() { return &brush_; }
  TPen* Pen() { return &pen_; }
  void SetFont(const TFont* font) { font_.Assign(font); }
  void SetBrush(const TBrush* brush) { brush_.Assign(brush); }
  void SetPen(const TPen* pen) { pen_.Assign(pen); }
  DWORD CopyMode() const { return copyMode_; }
  void SetCopyMode(DWORD rop) { copyMode_ = rop; }

  void FillRect(const RECT& rect);
  void FrameRect(const RECT& rect);
  void Rectangle(int left, int top, int right, int bottom);
  void Rectangle(const RECT& rect) { Rectangle(rect.left, rect.top, rect.right, rect.bottom); }
  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  void TextOut(int x, int y, const String& text);
  // Draws `text` at (x, y) clipped to `rect`, the rectangle filled unless the brush is clear.
  void TextRect(const RECT& rect, int x, int y, const String& text);
  SIZE TextExtent(const String& text);
  int TextWidth(const String& text) { return TextExtent(text).cx; }
  int TextHeight(const String& text) { return TextExtent(text).cy; }
  // Draws a graphic at its own size with its top-left corner at (x, y).
  void Draw(int x, int y, TGraphic* graphic);
  void StretchDraw(const RECT& rect, TGraphic* graphic);
  // Copies `sourceRect` of `source` into `destRect` with the copy mode (stretching if sizes differ).
  void CopyRect(const RECT& destRect, TCanvas* source, const RECT& sourceRect);
  // The part of the context that drawing can reach.
  RECT ClipRect();
  TColor Pixel(int x, int y);
  void SetPixel(int x, int y, TColor color);

  TNotifyEvent OnChange, OnChanging;

 protected:
  // Called when a drawing needs a context and none is set: a derived canvas makes one.
  virtual void CreateHandle() {}
  // Deselects brush, pen and font and forgets the context; a derived canvas then deletes its own.
  virtual void FreeContext();
  // Installs a context that this canvas made itself (deleted in FreeContext by the derived class).
  void AttachOwnContext(HDC dc);
  virtual void Changing();
  virtual void Changed();

 private:
  friend class TGraphicsObject;
  enum Needs : unsigned { kFont = 1, kBrush = 2, kPen = 4 };
  HDC Required(unsigned needs);
  void Deselect(TGraphicsObject* object);
  void DeselectAll();

  HDC dc_ = nullptr;
  TFont font_;
  TBrush brush_;
  TPen pen_;
  HeldSelection fontSelection_, brushSelection_, penSelection_;
  DWORD copyMode_ = SRCCOPY;
};

// ---- Graphics

class TGraphic : public TPersistent {
 public:
  String ClassName() const override { return "TGraphic"; }
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual void SetWidth(int width) = 0;
  virtual void SetHeight(int height) = 0;
  virtual bool Empty() const { return Width() == 0 || Height() == 0; }
  bool Transparent() const { return transparent_; }
  virtual void SetTransparent(bool transparent);
  virtual void LoadFromFile(const String& fileName) = 0;
  virtual void SaveToFile(const String& fileName) = 0;
  // A new graphic of the same class holding a copy of this one.
  virtual std::unique_ptr<TGraphic> Clone() const = 0;

  TNotifyEvent OnChange;

 protected:
  friend class TCanvas;
  virtual void Draw(TCanvas* canvas, const RECT& rect) = 0;
  virtual void Changed();

  bool transparent_ = false;
};

class TBitmap;

// The canvas of a bitmap: a memory context with the bitmap selected, made on first use.
class TBitmapCanvas : public TCanvas {
 public:
  explicit TBitmapCanvas(TBitmap* bitmap) : bitmap_(bitmap) {}
  ~TBitmapCanvas() override;
  String ClassName() const override { return "TBitmapCanvas"; }

 protected:
  void CreateHandle() override;
  void FreeContext() override;
  void Changed() override;

 private:
  friend class TBitmap;
  TBitmap* bitmap_;
  UniqueDC ownDc_;
  HeldSelection bitmapSelection_;  // declared after the context: let go of before it
};

class EInvalidGraphic : public Exception {
  using Exception::Exception;
};
class EResNotFound : public Exception {
  using Exception::Exception;
};
// A bitmap. New images are 32-bit DIB sections; a taken-over handle may be of any kind.
class TBitmap : public TGraphic {
 public:
  TBitmap();
  TBitmap(int width, int height);
  ~TBitmap() override;
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;
  String ClassName() const override { return "TBitmap"; }

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  // Changing the size keeps the picture at the top left: cut off, or padded with the canvas brush.
  void SetWidth(int width) override { SetSize(width, height_); }
  void SetHeight(int height) override { SetSize(width_, height); }
  void SetSize(int width, int height);

  // The bitmap handle (0 while empty), not selected into any context; the bitmap keeps owning it.
  HBITMAP Handle();
  // Takes over `bitmap` (the old one is freed); nullptr empties the bitmap.
  void SetHandle(HBITMAP bitmap);
  // Gives the handle to the caller, who frees it; the bitmap becomes empty.
  [[nodiscard]] HBITMAP ReleaseHandle();
  bool HandleAllocated() const { return bool(handle_); }

  TCanvas* Canvas() { return &canvas_; }

  // Transparent colour: clDefault means the bottom-left pixel.
  TColor TransparentColor();
  void SetTransparentColor(TColor color);

  void Assign(const TPersistent* source) override;
  std::unique_ptr<TGraphic> Clone() const override;
  void LoadFromFile(const String& fileName) override;
  void SaveToFile(const String& fileName) override;
  void LoadFromResourceName(HINSTANCE instance, const String& name);
  void LoadFromResourceID(HINSTANCE instance, int id);

  void Draw(TCanvas* canvas, const RECT& rect) override;

 private:
  friend class TBitmapCanvas;
  void FreeCanvasContext() { canvas_.FreeContext(); }
  void TakeHandle(HBITMAP bitmap);
  HBITMAP SelectableHandle() const { return HBITMAP(handle_.get()); }

  UniqueGdiObject handle_;
  int width_ = 0, height_ = 0;
  TColor transparentColor_ = clDefault;
  TBitmapCanvas canvas_;
};

// Makes a 32-bit top-down DIB section of the given size, all pixels zero.
HBITMAP CreateDibSection32(int width, int height, void** bits = nullptr);

// ---- Picture

class TPicture : public TPersistent {
 public:
  TPicture() = default;
  ~TPicture() override;
  TPicture(const TPicture&) = delete;
  TPicture& operator=(const TPicture&) = delete;
  String ClassName() const override { return "TPicture"; }

  // The graphic held, or nullptr.
  TGraphic* Graphic() const { return graphic_.get(); }
  // Holds a copy of `graphic` (nullptr empties the picture).
  void SetGraphic(const TGraphic* graphic);
  // The picture as a bitmap: another graphic is converted, an empty picture gets a new bitmap.
  TBitmap* Bitmap();
  void SetBitmap(const TBitmap* bitmap) { SetGraphic(bitmap); }
  int Width() const { return graphic_ ? graphic_->Width() : 0; }
  int Height() const { return graphic_ ? graphic_->Height() : 0; }

  void Assign(const TPersistent* source) override;
  // By extension: .bmp gives a bitmap, .jpg and .jpeg a JPEG image.
  void LoadFromFile(const String& fileName);
  void SaveToFile(const String& fileName);

  TNotifyEvent OnChange;

 private:
  void Hold(std::unique_ptr<TGraphic> graphic);
  void Changed();
  std::unique_ptr<TGraphic> graphic_;
};

}  // namespace host
