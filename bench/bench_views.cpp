// Filling the host list view with 10,000 and 100,000 items: captions and images supplied lazily
// when first drawn, captions given up front, and the platform's floor (a plain list view given
// the items with text and image callbacks, redraw off). Each time includes the first paint.
#include "host/Forms.h"
#include "host/ListView.h"

#include <commctrl.h>

#include <cstdio>
#include <memory>
#include <string>

using namespace host;

namespace {

double NowMs() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return double(c.QuadPart) * 1000.0 / double(f.QuadPart);
}

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

// A plain report-view list view with one column, items inserted with callbacks.
double FillNative(TForm* form, int count) {
  HWND wnd = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0, 600,
                             500, form->Handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
  LVCOLUMNW col{};
  col.mask = LVCF_WIDTH | LVCF_TEXT;
  col.cx = 300;
  col.pszText = const_cast<wchar_t*>(L"Name");
  SendMessageW(wnd, LVM_INSERTCOLUMNW, 0, LPARAM(&col));
  const double start = NowMs();
  SendMessageW(wnd, WM_SETREDRAW, FALSE, 0);
  SendMessageW(wnd, LVM_SETITEMCOUNT, WPARAM(count), 0);
  LVITEMW it{};
  it.mask = LVIF_TEXT | LVIF_IMAGE;
  it.pszText = LPSTR_TEXTCALLBACKW;
  it.iImage = I_IMAGECALLBACK;
  for (int i = 0; i < count; ++i) {
    it.iItem = i;
    SendMessageW(wnd, LVM_INSERTITEMW, 0, LPARAM(&it));
  }
  SendMessageW(wnd, WM_SETREDRAW, TRUE, 0);
  Paint(wnd);
  const double ms = NowMs() - start;
  DestroyWindow(wnd);
  return ms;
}

}  // namespace

int main() {
  InitCommonControls();
  auto form = std::make_unique<TForm>();
  form->SetBounds(0, 0, 640, 560);
  form->Show();
  for (int count : {10000, 100000}) {
    int texts = 0, images = 0;
    const double lazy = FillLazy(form.get(), count, texts, images);
    const double eager = FillEager(form.get(), count);
    const double native = FillNative(form.get(), count);
    std::printf("%d items: lazy %.1f ms (%d texts, %d images asked), eager %.1f ms, "
                "native callbacks %.1f ms\n",
                count, lazy, texts, images, eager, native);
    std::printf("%d items: ratio %.3f (lazy / native floor), eager / native %.3f\n", count,
                lazy / native, eager / native);
  }
  form.reset();
  return 0;
}
