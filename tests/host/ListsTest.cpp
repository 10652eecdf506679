// Pointer lists: the Notify hook, owned objects, reference-counted interfaces.
#include "host/core/Lists.h"

#include <gtest/gtest.h>

using namespace host;

namespace {

class LoggingList : public TList {
 public:
  std::vector<std::pair<int, TListNotification>> log;

 protected:
  void Notify(void* item, TListNotification action) override {
    log.emplace_back(*static_cast<int*>(item), action);
  }
};

struct Counted : TObject {
  explicit Counted(int& alive) : alive_(alive) { ++alive_; }
  ~Counted() override { --alive_; }
  int& alive_;
};

class CountedUnknown : public IUnknown {
 public:
  ULONG refs = 1;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid != IID_IUnknown) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    *out = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
};

}  // namespace

TEST(List, NotifyHookSeesEveryItemThatComesAndGoes) {
  int a = 1, b = 2, c = 3, d = 4;
  LoggingList list;
  list.Add(&a);
  list.Insert(0, &b);
  list.Add(nullptr);  // nil items are not announced
  list.SetItems(1, &c);
  EXPECT_EQ(list.Extract(&b), &b);
  EXPECT_EQ(list.Extract(&d), nullptr);
  list.Add(&d);
  EXPECT_EQ(list.Remove(&d), 2);
  EXPECT_EQ(list.Remove(&d), -1);
  list.Pack();
  EXPECT_EQ(list.Count(), 1);
  list.Add(&a);
  list.Clear();
  using P = std::pair<int, TListNotification>;
  EXPECT_EQ(list.log, (std::vector<P>{{1, lnAdded},
                                      {2, lnAdded},
                                      {1, lnDeleted},
                                      {3, lnAdded},
                                      {2, lnExtracted},
                                      {4, lnAdded},
                                      {4, lnDeleted},
                                      {1, lnAdded},
                                      {1, lnDeleted},
                                      {3, lnDeleted}}));
  EXPECT_THROW(list.Items(0), EListError);
  EXPECT_THROW(list.Delete(-1), EListError);
}

TEST(List, OrderOperations) {
  int v[] = {5, 3, 9, 1};
  TList list;
  for (int& x : v) list.Add(&x);
  list.Sort([](void* a, void* b) { return *static_cast<int*>(a) - *static_cast<int*>(b); });
  EXPECT_EQ(list.First(), &v[3]);
  EXPECT_EQ(list.Last(), &v[2]);
  list.Move(0, 3);
  EXPECT_EQ(list.Last(), &v[3]);
  list.Exchange(0, 1);
  EXPECT_EQ(list.IndexOf(&v[0]), 0);
  list.SetCount(6);
  EXPECT_EQ(list.Items(5), nullptr);
  list.SetCount(2);
  EXPECT_EQ(list.Count(), 2);
}

TEST(ObjectList, OwnedObjectsAreDeletedButNotExtractedOnes) {
  int alive = 0;
  Counted* kept = nullptr;
  {
    TObjectList list;
    EXPECT_TRUE(list.OwnsObjects());
    list.Add(new Counted(alive));
    kept = new Counted(alive);
    list.Add(kept);
    list.Add(new Counted(alive));
    list.Delete(0);
    EXPECT_EQ(alive, 2);
    EXPECT_EQ(list.Extract(kept), kept);
    list.SetItems(0, new Counted(alive));  // the replaced one goes
    EXPECT_EQ(alive, 2);
  }
  EXPECT_EQ(alive, 1);  // the extracted one is the caller's
  delete kept;

  Counted stack(alive);
  {
    TObjectList pool(false);
    pool.Add(&stack);
    pool.Clear();
    pool.Add(&stack);
  }
  EXPECT_EQ(alive, 1);
}

TEST(InterfaceList, HoldsOneReferencePerEntry) {
  CountedUnknown a, b;
  {
    TInterfaceList list;
    list.Add(&a);
    list.Add(&b);
    list.Add(&a);
    EXPECT_EQ(a.refs, 3u);
    EXPECT_EQ(list.IndexOf(&a), 0);
    EXPECT_EQ(list.IndexOf(&b), 1);
    EXPECT_EQ(list.Remove(&a), 0);
    EXPECT_EQ(a.refs, 2u);
    list.SetItems(0, &a);  // b replaced by a
    EXPECT_EQ(b.refs, 1u);
    EXPECT_EQ(a.refs, 3u);
    list.Delete(1);
    EXPECT_EQ(a.refs, 2u);
    list.Add(&b);
  }
  EXPECT_EQ(a.refs, 1u);
  EXPECT_EQ(b.refs, 1u);

  TInterfaceList list;
  list.Add(&a);
  list.Clear();
  EXPECT_EQ(a.refs, 1u);
  EXPECT_EQ(list.IndexOf(&a), -1);
}
