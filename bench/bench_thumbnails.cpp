// A folder of 200 JPEG pictures (640 x 480) in the shell list's thumbnail view, scrolled a page at
// a time: for each page, the time until every visible thumbnail has arrived, against decoding and
// scaling the same files with WIC on one thread; and the longest stall of the user-interface
// thread meanwhile (the longest gap between the ticks of a 10 ms timer).
// The pictures are made once per build folder and kept.
#include "bench/BenchSupport.h"
#include "controls/ShellList.h"
#include "host/forms/Forms.h"
#include "tests/Pictures.h"
#include "threads/ThreadPool.h"

#include <commctrl.h>
#include <wincodec.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using namespace host;
using namespace zelnor;
using bench::NowMs;
using bench::PrintRatio;
using bench::TSamples;

namespace {

constexpr int kPictures = 200;
constexpr UINT kBox = 100;  // the list's default thumbnail size

std::wstring EnsurePictures() {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"zelnor-bench-pictures";
  const std::wstring marker = folder + L".done";
  if (GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES) return folder;
  std::printf("making %d pictures (once per build folder)...\n", kPictures);
  std::fflush(stdout);
  CreateDirectoryW(folder.c_str(), nullptr);
  for (int i = 0; i < kPictures; ++i)
    testing_support::WritePicture(folder + L"\\picture" + std::to_wstring(1000 + i) + L".jpg", 640,
                                  480, GUID_ContainerFormatJpeg);
  host::UniqueFile done{CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr)};
  return folder;
}

// The floor of one picture: decoded, scaled into the box and copied out as 32-bit pixels.
void DecodeWithWic(IWICImagingFactory* factory, const std::wstring& path) {
  ComPtr<IWICBitmapDecoder> decoder;
  ComPtr<IWICBitmapFrameDecode> frame;
  UINT width = 0, height = 0;
  if (FAILED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ,
                                                WICDecodeMetadataCacheOnDemand, &decoder)) ||
      FAILED(decoder->GetFrame(0, &frame)) || FAILED(frame->GetSize(&width, &height)) || !width ||
      !height)
    return;
  const double scale = std::min(double(kBox) / width, double(kBox) / height);
  const UINT w = std::max(1u, UINT(width * scale)), h = std::max(1u, UINT(height * scale));
  ComPtr<IWICBitmapScaler> scaler;
  ComPtr<IWICFormatConverter> converter;
  if (FAILED(factory->CreateBitmapScaler(&scaler)) ||
      FAILED(scaler->Initialize(frame.Get(), w, h, WICBitmapInterpolationModeFant)) ||
      FAILED(factory->CreateFormatConverter(&converter)) ||
      FAILED(converter->Initialize(scaler.Get(), GUID_WICPixelFormat32bppPBGRA,
                                   WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom)))
    return;
  std::vector<BYTE> pixels(size_t(w) * h * 4);
  converter->CopyPixels(nullptr, w * 4, UINT(pixels.size()), pixels.data());
}

// The items whose pictures meet the list's client area. The whole item's rectangle would make
// the list ask for every item's name, work of the benchmark's own that would count as a stall.
std::vector<TListItem*> VisibleItems(TKivShellList& list) {
  RECT client{};
  GetClientRect(list.Handle(), &client);
  std::vector<TListItem*> items;
  for (int i = 0; i < list.Items()->Count(); ++i) {
    RECT r{};
    r.left = LVIR_ICON;
    if (!SendMessageW(list.Handle(), LVM_GETITEMRECT, WPARAM(i), LPARAM(&r))) continue;
    RECT meet{};
    if (IntersectRect(&meet, &r, &client)) items.push_back(list.Items()->Item(i));
  }
  return items;
}

// Every visible item has asked for its thumbnail and every request has come back.
bool PageArrived(TKivShellList& list) {
  if (list.ThreadPool()->Count() != 0) return false;
  for (TListItem* item : VisibleItems(list))
    if (item->ImageIndex() < 0) return false;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  CoInitializeGuard com;
  const std::wstring folder = EnsurePictures();
  ComPtr<IWICImagingFactory> factory;
  CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory));
  const int rounds = bench::BenchRounds(argc, argv, 3);

  TForm form;
  form.SetBounds(10, 10, 800, 600);
  form.Show();
  bench::TStallMeter meter;
  const double idleGap = meter.Idle(300);

  TSamples ours, floor, stall;
  int pages = 0;
  for (int round = 0; round < rounds; ++round) {
    auto list = std::make_unique<TKivShellList>(&form);
    list->SetParent(&form);
    list->SetBounds(0, 0, 780, 560);
    list->SetThumbnails(true);
    list->HandleNeeded();  // the window is made before, as on a form that is already shown
    double oursMs = 0, floorMs = 0, longest = 0;
    pages = 0;
    for (int page = 0;; ++page) {
      double ms = 0;
      // The first page is the fill itself; each further one a scroll by the client height.
      const auto showPage = [&] {
        if (page == 0) {
          list->SetPath(ToUtf8(folder));
          return;
        }
        RECT client{};
        GetClientRect(list->Handle(), &client);
        SendMessageW(list->Handle(), LVM_SCROLL, 0, client.bottom);
      };
      const double gap = meter.Measure(showPage, [&] { return PageArrived(*list); }, &ms);
      longest = std::max(longest, gap);
      oursMs += ms;
      // The floor: the same pictures decoded one after another.
      const double start = NowMs();
      for (TListItem* item : VisibleItems(*list))
        if (const TKivShellListItem* data = TKivShellList::ItemData(item))
          DecodeWithWic(factory.Get(), folder + L"\\" + ToWide(data->parsingName));
      floorMs += NowMs() - start;
      ++pages;
      const std::vector<TListItem*> visible = VisibleItems(*list);
      if (visible.empty() || visible.back() == list->Items()->Item(list->Items()->Count() - 1))
        break;
    }
    ours.Add(oursMs);
    floor.Add(floorMs);
    stall.Add(longest);
  }
  std::printf("%d pictures in %d pages, %d rounds\n", kPictures, pages, rounds);
  PrintRatio("thumbnails of each page arrived / WIC decode of the same files on one thread "
             "[goal <=1.2]",
             ours.Median(), floor.Median());
  PrintRatio("longest UI stall while thumbnails arrive / idle timer gap [goal ours<=50 ms]",
             stall.Median(), idleGap);
  bench::PrintSpread("pages", ours, "decode", floor);
  return 0;
}
