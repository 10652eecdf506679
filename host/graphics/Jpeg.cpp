#include "host/graphics/Jpeg.h"

#include "host/core/HResult.h"

#include <wincodec.h>

#include <algorithm>
#include <cstring>

namespace host {

namespace {

// Raises EJPEG naming the call and the system's text when it failed.
void Check(HRESULT hr, const char* what) {
  if (HrOk(hr, what)) return;
  throw EJPEG(String("JPEG error: ") + what + " failed: " + SysErrorMessage(DWORD(hr)));
}

// The imaging factory of the calling thread's apartment; nullptr when there is none.
ComPtr<IWICImagingFactory> ImagingFactory() {
  ComPtr<IWICImagingFactory> factory;
  if (!HrOk(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                             IID_PPV_ARGS(&factory)),
            "CoCreateInstance"))
    return nullptr;
  return factory;
}

// The pixels of a bitmap as 24-bit BGR rows, top row first, each row padded to 4 bytes.
std::vector<BYTE> Pixels24(HBITMAP bitmap, int width, int height, UINT& stride) {
  stride = UINT((width * 3 + 3) & ~3);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  std::vector<BYTE> pixels(size_t(stride) * size_t(height));
  const int lines =
      GetDIBits(WindowDC().get(), bitmap, 0, UINT(height), pixels.data(), &bi, DIB_RGB_COLORS);
  if (lines != height) throw EJPEG("JPEG error: the bitmap cannot be read");
  return pixels;
}

}  // namespace

HBITMAP DecodeImageData(const BYTE* data, size_t size) {
  if (!data || size == 0) return nullptr;
  auto factory = ImagingFactory();
  if (!factory) return nullptr;
  ComPtr<IWICStream> stream;
  ComPtr<IWICBitmapDecoder> decoder;
  ComPtr<IWICBitmapFrameDecode> frame;
  ComPtr<IWICFormatConverter> converter;
  UINT w = 0, h = 0;
  if (!HrOk(factory->CreateStream(&stream), "CreateStream") ||
      !HrOk(stream->InitializeFromMemory(const_cast<BYTE*>(data), DWORD(size)),
            "InitializeFromMemory") ||
      !HrOk(factory->CreateDecoderFromStream(stream.Get(), nullptr,
                                             WICDecodeMetadataCacheOnDemand, &decoder),
            "CreateDecoderFromStream") ||
      !HrOk(decoder->GetFrame(0, &frame), "GetFrame") ||
      !HrOk(factory->CreateFormatConverter(&converter), "CreateFormatConverter") ||
      !HrOk(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGR,
                                  WICBitmapDitherTypeNone, nullptr, 0,
                                  WICBitmapPaletteTypeCustom),
            "Initialize") ||
      !HrOk(converter->GetSize(&w, &h), "GetSize") || w == 0 || h == 0) {
    return nullptr;
  }
  void* bits = nullptr;
  UniqueGdiObject bitmap{CreateDibSection32(int(w), int(h), &bits)};
  if (!bitmap) return nullptr;
  if (!HrOk(converter->CopyPixels(nullptr, w * 4, w * 4 * h, static_cast<BYTE*>(bits)),
            "CopyPixels"))
    return nullptr;
  return HBITMAP(bitmap.release());
}

TJPEGImage::TJPEGImage() {
  bitmap_.OnChange = [this](TObject*) {
    data_.clear();  // the encoded form no longer matches
    Changed();
  };
}

TJPEGImage::~TJPEGImage() { bitmap_.OnChange = nullptr; }

void TJPEGImage::SetWidth(int) { throw EJPEG("Cannot change the size of a JPEG image"); }
void TJPEGImage::SetHeight(int) { throw EJPEG("Cannot change the size of a JPEG image"); }

void TJPEGImage::SetCompressionQuality(int quality) {
  quality = std::clamp(quality, 1, 100);
  if (quality == quality_) return;
  quality_ = quality;
  if (!bitmap_.Empty()) data_.clear();  // the next save encodes with the new quality
}

void TJPEGImage::Compress() {
  if (bitmap_.Empty()) throw EJPEG("JPEG error: the image is empty");
  const int w = bitmap_.Width(), h = bitmap_.Height();
  UINT stride = 0;
  std::vector<BYTE> pixels = Pixels24(bitmap_.Handle(), w, h, stride);

  ComPtr<IWICImagingFactory> factory;
  Check(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                         IID_PPV_ARGS(&factory)),
        "CoCreateInstance");
  ComPtr<IStream> stream;
  Check(CreateStreamOnHGlobal(nullptr, TRUE, &stream), "CreateStreamOnHGlobal");
  ComPtr<IWICBitmapEncoder> encoder;
  Check(factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, &encoder), "CreateEncoder");
  Check(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache), "Initialize");
  ComPtr<IWICBitmapFrameEncode> frame;
  ComPtr<IPropertyBag2> options;
  Check(encoder->CreateNewFrame(&frame, &options), "CreateNewFrame");
  if (options) {
    PROPBAG2 option{};
    option.pstrName = const_cast<LPOLESTR>(L"ImageQuality");
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_R4;
    value.fltVal = float(quality_) / 100.0f;
    // An encoder without the option keeps its default quality.
    (void)HrOk(options->Write(1, &option, &value), "Write");
  }
  Check(frame->Initialize(options.Get()), "frame Initialize");
  Check(frame->SetSize(UINT(w), UINT(h)), "SetSize");
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  Check(frame->SetPixelFormat(&format), "SetPixelFormat");
  if (!IsEqualGUID(format, GUID_WICPixelFormat24bppBGR)) {
    throw EJPEG("JPEG error: the encoder refuses 24-bit pixels");
  }
  Check(frame->WritePixels(UINT(h), stride, UINT(pixels.size()), pixels.data()), "WritePixels");
  Check(frame->Commit(), "frame Commit");
  Check(encoder->Commit(), "Commit");

  HGLOBAL memory = nullptr;
  Check(GetHGlobalFromStream(stream.Get(), &memory), "GetHGlobalFromStream");
  STATSTG stat{};
  Check(stream->Stat(&stat, STATFLAG_NONAME), "Stat");
  const size_t size = size_t(stat.cbSize.QuadPart);
  const void* bytes = GlobalLock(memory);
  if (!bytes) throw EJPEG("JPEG error: the encoded data cannot be read");
  data_.assign(static_cast<const BYTE*>(bytes), static_cast<const BYTE*>(bytes) + size);
  GlobalUnlock(memory);
}

void TJPEGImage::LoadFromData(std::vector<BYTE> data) {
  HBITMAP decoded = DecodeImageData(data.data(), data.size());
  if (!decoded) throw EJPEG("JPEG error: not a valid image");
  bitmap_.SetHandle(decoded);  // clears data_ through the bitmap's change
  data_ = std::move(data);
}

void TJPEGImage::Assign(const TPersistent* source) {
  if (auto* jpeg = dynamic_cast<const TJPEGImage*>(source)) {
    if (jpeg == this) return;
    bitmap_.Assign(&jpeg->bitmap_);
    data_ = jpeg->data_;
    quality_ = jpeg->quality_;
    transparent_ = jpeg->transparent_;
    return;
  }
  if (auto* bitmap = dynamic_cast<const TBitmap*>(source)) {
    bitmap_.Assign(bitmap);
    bitmap_.SetTransparent(false);
    return;
  }
  TGraphic::Assign(source);
}

void TJPEGImage::AssignTo(TPersistent* dest) const {
  if (auto* bitmap = dynamic_cast<TBitmap*>(dest)) {
    bitmap->Assign(&bitmap_);
    return;
  }
  TGraphic::AssignTo(dest);
}

std::unique_ptr<TGraphic> TJPEGImage::Clone() const {
  auto copy = std::make_unique<TJPEGImage>();
  copy->Assign(this);
  return copy;
}

void TJPEGImage::Draw(TCanvas* canvas, const RECT& rect) { canvas->StretchDraw(rect, &bitmap_); }

void TJPEGImage::LoadFromFile(const String& fileName) {
  UniqueFile file{CreateFileW(ToWide(fileName).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
  if (!file) throw EJPEG("Cannot open file \"" + fileName + "\"");
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > 0x7FFFFFFF) {
    throw EJPEG("Cannot read file \"" + fileName + "\"");
  }
  std::vector<BYTE> data(size_t(size.QuadPart));
  DWORD read = 0;
  if (!data.empty() && (!ReadFile(file.get(), data.data(), DWORD(data.size()), &read, nullptr) ||
                        read != data.size())) {
    throw EJPEG("Cannot read file \"" + fileName + "\"");
  }
  LoadFromData(std::move(data));
}

void TJPEGImage::SaveToFile(const String& fileName) {
  if (data_.empty()) Compress();
  UniqueFile file{CreateFileW(ToWide(fileName).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr)};
  if (!file) throw EJPEG("Cannot create file \"" + fileName + "\"");
  DWORD written = 0;
  if (!WriteFile(file.get(), data_.data(), DWORD(data_.size()), &written, nullptr) ||
      written != data_.size()) {
    throw EJPEG("Cannot write file \"" + fileName + "\"");
  }
}

}  // namespace host
