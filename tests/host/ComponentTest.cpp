#include "host/core/Classes.h"

#include <gtest/gtest.h>

using namespace host;

namespace {

std::vector<String> freed;

class TProbe : public TComponent {
 public:
  using TComponent::TComponent;
  ~TProbe() override { freed.push_back(Name()); }
  TComponent* ref = nullptr;
  void SetRef(TComponent* c) {
    ref = c;
    if (c) c->FreeNotification(this);
  }

 protected:
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    if (op == opRemove && c == ref) ref = nullptr;
  }
};

}  // namespace

TEST(Component, OwnerFreesWhatItOwnsLastCreatedFirst) {
  freed.clear();
  auto* owner = new TProbe(nullptr);
  owner->SetName("Owner");
  (new TProbe(owner))->SetName("A");
  (new TProbe(owner))->SetName("B");
  EXPECT_EQ(owner->FindComponent("b")->Name(), "B");
  EXPECT_THROW((new TProbe(owner))->SetName("a"), EComponentError);
  delete owner;
  EXPECT_EQ(freed, (std::vector<String>{"Owner", "", "B", "A"}));
}

TEST(Component, FreeNotificationClearsADanglingReference) {
  TProbe holder(nullptr);
  auto* target = new TProbe(nullptr);
  holder.SetRef(target);
  delete target;
  EXPECT_EQ(holder.ref, nullptr);
}

TEST(Component, AssignWithoutSupportRaisesCannotAssign) {
  TComponent a, b;
  try {
    a.Assign(&b);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a TComponent to a TComponent");
  }
}

TEST(Component, DesigningReachesOwnedComponentsAndNewcomers) {
  TProbe owner(nullptr);
  auto* early = new TProbe(&owner);
  owner.SetDesigning(true);
  EXPECT_TRUE(early->Has(TComponentStateFlag::csDesigning));
  auto* late = new TProbe(&owner);
  auto* grandchild = new TProbe(late);
  EXPECT_TRUE(late->Has(TComponentStateFlag::csDesigning));
  EXPECT_TRUE(grandchild->Has(TComponentStateFlag::csDesigning));
  owner.SetDesigning(false);
  EXPECT_FALSE(grandchild->Has(TComponentStateFlag::csDesigning));
  freed.clear();
}

TEST(Component, FindComponentFollowsRenamesRemovalsAndOwnerChanges) {
  TComponent owner, other;
  auto* a = new TProbe(&owner);
  a->SetName("Alpha");
  auto* b = new TProbe(&owner);
  b->SetName("Beta");
  auto* unnamed = new TProbe(&owner);
  EXPECT_EQ(owner.FindComponent("alpha"), a);
  EXPECT_EQ(owner.FindComponent("BETA"), b);
  EXPECT_EQ(owner.FindComponent(""), nullptr);
  EXPECT_THROW(b->SetName("ALPHA"), EComponentError);

  a->SetName("Gamma");
  EXPECT_EQ(owner.FindComponent("Alpha"), nullptr);
  EXPECT_EQ(owner.FindComponent("gamma"), a);
  b->SetName("Alpha");  // free again
  EXPECT_EQ(owner.FindComponent("alpha"), b);

  other.InsertComponent(a);
  EXPECT_EQ(owner.FindComponent("Gamma"), nullptr);
  EXPECT_EQ(other.FindComponent("Gamma"), a);
  unnamed->SetName("Late");
  EXPECT_EQ(owner.FindComponent("late"), unnamed);
  delete b;
  EXPECT_EQ(owner.FindComponent("Alpha"), nullptr);

  // Names outside ASCII are found in any letter case the system folds.
  auto* wide = new TProbe(&owner);
  wide->SetName("\xC3\x84pfel");  // Äpfel
  EXPECT_EQ(owner.FindComponent("\xC3\xA4PFEL"), wide);
}
