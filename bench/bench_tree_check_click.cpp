// A click on a shell tree's check box against the same click with the boxes off, in the same
// run: a folder of 20,000 files ticked and unticked in a tree showing 50 nodes, linked to a list
// with check boxes showing 50 items. The time is the whole handling of the press, with every
// linked control's SmartRefresh; the folder's size is summed afterwards by the selection list's
// jobs, whose end each round waits for outside the timing.
#include "bench/BenchSupport.h"
#include "controls/ShellList.h"
#include "controls/ShellTree.h"
#include "host/forms/Forms.h"
#include "link/ShellLink.h"
#include "selection/KivSelectionList.h"

#include <commctrl.h>

#include <memory>
#include <string>

using namespace zelnor;

namespace {

constexpr int kFiles = 20000;
constexpr int kSiblings = 60;

// The temporary folder holds the folder of files; folders made beside it fill the tree's screen.
std::wstring EnsureSiblings() {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  for (int i = 0; i < kSiblings; ++i)
    CreateDirectoryW((std::wstring(temp) + L"zelnor-bench-check " + std::to_wstring(100 + i)).c_str(),
                     nullptr);
  return std::wstring(temp);
}

void Pump() {
  host::Application().ProcessMessages();
  host::CheckSynchronize(0);
}

// The press and release of the left button at a client point; the time until the press has been
// handled. The release waits in the queue, where the native control's own mouse loop finds it.
double Click(HWND wnd, POINT at) {
  PostMessageW(wnd, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
  const double start = bench::NowMs();
  SendMessageW(wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
  const double ms = bench::NowMs() - start;
  Pump();
  return ms;
}

void WaitForTotals(TKivSelectionList* list) {
  const double until = bench::NowMs() + 60000;
  while (list->Pool().Count() > 0 && bench::NowMs() < until) {
    Pump();
    Sleep(2);
  }
}

}  // namespace

int main(int argc, char** argv) {
  CoInitialize(nullptr);
  InitCommonControls();
  const int rounds = bench::BenchRounds(argc, argv, 7);
  const std::wstring files = bench::EnsureFileFolder(kFiles);
  const std::wstring temp = EnsureSiblings();

  auto form = std::make_unique<host::TForm>();
  form->SetBounds(0, 0, 1000, 1000);
  form->Show();
  TKivShellLink link;
  auto tree = std::make_unique<TKivShellTree>(form.get());
  tree->SetParent(form.get());
  tree->SetBounds(0, 0, 360, 960);
  tree->SetRootedAtFileSystemFolder(host::ToUtf8(temp));
  tree->HandleNeeded();
  auto list = std::make_unique<TKivShellList>(form.get());
  list->SetParent(form.get());
  list->SetBounds(370, 0, 600, 960);
  list->SetViewStyle(host::vsReport);
  list->HandleNeeded();
  tree->SetShellLink(&link);
  list->SetShellLink(&link);
  list->SetCheckboxes(true);
  tree->SetSelectedFolder(host::ToUtf8(temp));
  list->SetPath(host::ToUtf8(temp));
  RedrawWindow(form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Pump();

  // The folder of files among the root's children; found again after the tree is refreshed.
  auto findTarget = [&]() -> host::TTreeNode* {
    host::TTreeNode* root = tree->Items()->GetFirstNode();
    for (int i = 0; root && i < root->Count(); ++i)
      if (host::SameText(tree->GetFullPath(root->Item(i)),
                         host::ExcludeTrailingBackslash(host::ToUtf8(files))))
        return root->Item(i);
    return nullptr;
  };
  host::TTreeNode* target = findTarget();
  if (!target) {
    std::printf("note: the folder of files is not in the tree\n");
    return 1;
  }
  target->MakeVisible();
  int onScreen = 0;
  for (host::TTreeNode* n = tree->Items()->GetFirstNode(); n; n = n->GetNext())
    if (tree->IsNodeVisible(n)) ++onScreen;
  std::printf("%d nodes on screen, %d items in the list\n", onScreen, list->Items()->Count());

  // The box's place: where the control's hit test finds the state icon on the node's row.
  auto boxPoint = [&] {
    const RECT row = target->DisplayRect(false);
    const int y = int(row.top + row.bottom) / 2;
    for (int x = 0; x < 360; ++x)
      if (tree->GetHitTestInfoAt(x, y) & (1u << host::htOnStateIcon)) return POINT{x + 3, y};
    return POINT{-1, y};
  };

  TKivSelectionList* checked = link.SelectionList();
  bench::TSamples ours, floor;
  for (int round = 0; round < rounds; ++round) {
    tree->SetCheckBoxes(true);
    Pump();
    target = findTarget();
    if (!target) {
      std::printf("note: the folder of files left the tree\n");
      return 1;
    }
    target->MakeVisible();
    Pump();
    const POINT at = boxPoint();
    if (at.x < 0) {
      std::printf("note: no box found on the node's row\n");
      return 1;
    }
    ours.Add(Click(tree->Handle(), at));
    if (checked->Count() != 1) std::printf("note: the click did not tick the folder\n");
    WaitForTotals(checked);
    if (round == 0)
      std::printf("folder totals: %d files, %lld bytes\n", checked->FileCount(),
                  static_cast<long long>(checked->Size()));
    ours.Add(Click(tree->Handle(), at));
    WaitForTotals(checked);
    tree->SetCheckBoxes(false);
    Pump();
    floor.Add(Click(tree->Handle(), at));
    floor.Add(Click(tree->Handle(), at));
    // Without boxes the press selected the folder of files, which the list then showed.
    tree->SetSelectedFolder(host::ToUtf8(temp));
    list->SetPath(host::ToUtf8(temp));
    Pump();
  }
  bench::PrintRatio("check-box click on a folder of 20000 files (goal 50 ms)", ours.Median(),
                    floor.Median());
  bench::PrintSpread("ours", ours, "boxes off", floor);
  tree->SetShellLink(nullptr);
  list->SetShellLink(nullptr);
  list.reset();
  tree.reset();
  form.reset();
  CoUninitialize();
  return 0;
}
