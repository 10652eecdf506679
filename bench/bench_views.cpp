// Filling the host list view with 10,000 and 100,000 items: captions and images supplied lazily
// when first drawn, and captions given up front, against the platform's floor: a raw owner-data
// list view whose parent answers the same texts and images. Each time includes the first paint;
// medians of interleaved rounds.
#include "bench/BenchSupport.h"
#include "host/forms/Forms.h"
#include "host/views/ListView.h"

#include <commctrl.h>

#include <cstdio>
#include <memory>
#include <string>

using namespace host;
using bench::NowMs;
using bench::TSamples;

namespace {

// Answers the texts and images the control asks for, counting the requests.
class TBenchListView : public TCustomListView {
 public:
  using TCustomListView::TCustomListView;
  int texts = 0, images = 0;

 protected:
  void GetItemText(TListItem* item, unsigned) override {
    ++texts;
    item->SetCaption("File " + std::to_string(item->Index()) + ".txt");
  }
  void GetImageIndex(TListItem* item) override {
    if (item->ImageIndex() < 0) {
      ++images;
      item->SetImageIndex(item->Index() % 4);
    }
  }
};

void Paint(HWND wnd) {
  InvalidateRect(wnd, nullptr, TRUE);
  UpdateWindow(wnd);
}

TBenchListView* NewList(TForm* form) {
  auto* list = new TBenchListView(form);
  list->SetParent(form);
  list->SetBounds(0, 0, 600, 500);
  list->SetViewStyle(vsReport);
  list->Columns()->Add()->SetCaption("Name");
  list->Columns()->Items(0)->SetWidth(300);
  list->HandleNeeded();
  return list;
}

double FillLazy(TForm* form, int count, int& texts, int& images) {
  TBenchListView* list = NewList(form);
  const double start = NowMs();
  list->Items()->BeginUpdate();
  for (int i = 0; i < count; ++i) list->Items()->Add()->SetTextPending(ltCaption);
  list->Items()->EndUpdate();
  Paint(list->Handle());
  const double ms = NowMs() - start;
  texts = list->texts;
  images = list->images;
  delete list;
  return ms;
}

double FillEager(TForm* form, int count) {
  TBenchListView* list = NewList(form);
  const double start = NowMs();
  list->Items()->BeginUpdate();
  for (int i = 0; i < count; ++i)
    list->Items()->Add()->SetCaption("File " + std::to_string(i) + ".txt");
  list->Items()->EndUpdate();
  Paint(list->Handle());
  const double ms = NowMs() - start;
  delete list;
  return ms;
}

// The platform's floor: a raw owner-data list view (one column, report view) inside a plain
// parent window that answers the same texts and images from its callbacks; the count is set
// once and the first screen painted.
LRESULT CALLBACK RawParentProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NOTIFY) {
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (header->code == LVN_GETDISPINFOW) {
      static thread_local std::wstring text;
      LVITEMW& it = reinterpret_cast<NMLVDISPINFOW*>(lParam)->item;
      if ((it.mask & LVIF_TEXT) && it.pszText && it.cchTextMax > 0) {
        text = L"File " + std::to_wstring(it.iItem) + L".txt";
        lstrcpynW(it.pszText, text.c_str(), it.cchTextMax);
      }
      if (it.mask & LVIF_IMAGE) it.iImage = it.iItem % 4;
      return 0;
    }
  }
  return DefWindowProcW(wnd, msg, wParam, lParam);
}

double FillRaw(TForm* form, int count) {
  static const bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = RawParentProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ZelnorBenchRawParent";
    return RegisterClassW(&wc) != 0;
  }();
  (void)registered;
  HWND parent = CreateWindowExW(0, L"ZelnorBenchRawParent", L"", WS_CHILD | WS_VISIBLE, 0, 0, 600,
                                500, form->Handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
  HWND wnd = CreateWindowExW(0, WC_LISTVIEWW, L"",
                             WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDATA | LVS_SHAREIMAGELISTS,
                             0, 0, 600, 500, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  LVCOLUMNW col{};
  col.mask = LVCF_WIDTH | LVCF_TEXT;
  col.cx = 300;
  col.pszText = const_cast<wchar_t*>(L"Name");
  SendMessageW(wnd, LVM_INSERTCOLUMNW, 0, LPARAM(&col));
  const double start = NowMs();
  SendMessageW(wnd, LVM_SETITEMCOUNT, WPARAM(count), 0);
  Paint(wnd);
  const double ms = NowMs() - start;
  DestroyWindow(parent);
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  InitCommonControls();
  const int rounds = bench::BenchRounds(argc, argv, 5);
  auto form = std::make_unique<TForm>();
  form->SetBounds(0, 0, 640, 560);
  form->Show();
  for (int count : {10000, 100000}) {
    const std::string n = count >= 100000 ? "100k" : "10k";
    TSamples lazy, eager, raw;
    int texts = 0, images = 0;
    FillRaw(form.get(), count);  // warm the control's code once
    for (int r = 0; r < rounds; ++r) {
      raw.Add(FillRaw(form.get(), count));
      lazy.Add(FillLazy(form.get(), count, texts, images));
      eager.Add(FillEager(form.get(), count));
    }
    std::printf("%d items: lazy %.1f ms (%d texts, %d images asked), eager %.1f ms, raw owner-data "
                "%.1f ms (medians of %d rounds)\n",
                count, lazy.Median(), texts, images, eager.Median(), raw.Median(), rounds);
    bench::PrintRatio("fill and first paint, lazy texts, " + n + " / raw owner-data list",
                      lazy.Median(), raw.Median());
    bench::PrintRatio("fill and first paint, texts given, " + n + " / raw owner-data list",
                      eager.Median(), raw.Median());
    bench::PrintSpread("lazy", lazy, "raw", raw);
  }
  form.reset();
  return 0;
}
