// Reading a form of 4,000 sibling components (each naming the one before it), against making the
// same components and resolving their references through a hash table of their names: the floor of
// any reader. Finding components by name must keep the read linear.
#include "bench/BenchSupport.h"
#include "host/core/Streaming.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <unordered_map>

using bench::NowMs;

namespace {

using namespace host;

class TBenchItem : public TComponent {
  HOST_CLASS(TBenchItem, TComponent)
  using TComponent::TComponent;
  TComponent* Next() const { return next_; }
  void SetNext(TComponent* next) { next_ = next; }

 private:
  TComponent* next_ = nullptr;
};
HOST_PROPERTIES(TBenchItem) { p.Component("Next", &TBenchItem::Next, &TBenchItem::SetNext); }

class TBenchForm : public TComponent {
  HOST_CLASS(TBenchForm, TComponent)
  using TComponent::TComponent;
};
HOST_PROPERTIES(TBenchForm) {}

}  // namespace

int main() {
  RegisterClasses({ComponentClass<TBenchForm>(), ComponentClass<TBenchItem>()});
  for (int count : {1000, 4000}) {
    String text = "object Form1: TBenchForm\r\n";
    for (int i = 0; i < count; ++i) {
      text += "  object Item" + std::to_string(i) + ": TBenchItem\r\n";
      if (i > 0) text += "    Next = Item" + std::to_string(i - 1) + "\r\n";
      text += "  end\r\n";
    }
    text += "end\r\n";
    double read = 1e30, direct = 1e30;
    for (int round = 0; round < 3; ++round) {
      double start = NowMs();
      std::unique_ptr<TComponent> form(CreateComponentFromText(text));
      read = std::min(read, NowMs() - start);
      if (form->ComponentCount() != count) std::printf("(unexpected count)\n");

      start = NowMs();
      auto root = std::make_unique<TBenchForm>();
      std::unordered_map<String, TBenchItem*> byName;
      for (int i = 0; i < count; ++i) {
        auto* item = new TBenchItem(root.get());
        byName.emplace("ITEM" + std::to_string(i), item);
        if (i > 0) item->SetNext(byName["ITEM" + std::to_string(i - 1)]);
      }
      direct = std::min(direct, NowMs() - start);
    }
    std::printf("%d sibling components: read %.1f ms, made and linked through a name table %.1f ms\n",
                count, read, direct);
    std::printf("ratio form of %d siblings read: %.2f (ours %.1f ms, floor %.1f ms)\n", count,
                read / direct, read, direct);
  }
  return 0;
}
