// Tests of the reference system: lifetime of targets, undo records of
// ReplaceReference, change broadcasts and cloning of reference graphs.
#include "sdk/reference.h"

#include <gtest/gtest.h>

#include "sdk/hold.h"
#include "sdk/testing/test_objects.h"

namespace {

// Every test starts and ends with an empty undo system and checks that it
// freed every TestTarget it made.
class References : public ::testing::Test {
 protected:
  void SetUp() override {
    theHold.Reset();
    aliveAtStart_ = TestTarget::Alive();
  }
  void TearDown() override {
    theHold.Reset();
    EXPECT_EQ(TestTarget::Alive(), aliveAtStart_) << "test leaked or over-freed targets";
  }
  // Targets made by this test that are still alive.
  int alive() const { return TestTarget::Alive() - aliveAtStart_; }

 private:
  int aliveAtStart_ = 0;
};

// When told about a change, makes `victim` (itself unless set) drop its slot 0.
class DroppingHolder : public ReferenceHolder {
 public:
  using ReferenceHolder::ReferenceHolder;
  RefResult NotifyRefChanged(const Interval&, ReferenceTarget*, PartID&, RefMessage) override {
    (victim ? victim : this)->DeleteReference(0);
    return REF_SUCCEED;
  }
  ReferenceMaker* victim = nullptr;
};

TEST_F(References, TargetIsFreedExactlyWhenItsLastReferenceGoes) {
  auto* t = new TestTarget;
  ReferenceHolder first(t);
  ReferenceHolder second(t);
  EXPECT_EQ(t->NumDependents(), 2);
  first.Release();
  EXPECT_EQ(alive(), 1);
  EXPECT_EQ(t->NumDependents(), 1);
  second.Release();
  EXPECT_EQ(alive(), 0);
}

// On a change of the target in slot 0 it moves that target to slot 1, dropping
// the only reference before taking the new one.
class SlotMover : public TestTarget {
 public:
  SlotMover() : TestTarget(2) {}
  RefResult NotifyRefChanged(const Interval&, ReferenceTarget* target, PartID&,
                             RefMessage) override {
    if (GetReference(0) == target) {
      DeleteReference(0);
      ReplaceReference(1, target);
    }
    return REF_SUCCEED;
  }
};

TEST_F(References, TargetReferencedAgainBeforeTheOperationEndsLives) {
  auto* mover = new SlotMover;
  ReferenceHolder root(mover);
  auto* t = new TestTarget;
  mover->ReplaceReference(0, t);
  t->NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
  EXPECT_EQ(alive(), 2);
  EXPECT_EQ(mover->GetReference(0), nullptr);
  EXPECT_EQ(mover->GetReference(1), t);
  EXPECT_EQ(t->NumDependents(), 1);
}

TEST_F(References, TargetReferencedFromTwoSlotsSurvivesDroppingOne) {
  auto* maker = new TestTarget(2);
  ReferenceHolder root(maker);
  auto* t = new TestTarget;
  maker->ReplaceReference(0, t);
  maker->ReplaceReference(1, t);
  EXPECT_EQ(t->NumDependents(), 2);
  EXPECT_EQ(maker->HeldTargets().size(), 2u);

  maker->DeleteReference(0);
  EXPECT_EQ(alive(), 2);
  EXPECT_EQ(t->NumDependents(), 1);
  EXPECT_EQ(maker->FindRef(t), 1);

  maker->DeleteReference(1);
  EXPECT_EQ(alive(), 1);
  EXPECT_TRUE(maker->HeldTargets().empty());
}

TEST_F(References, ReplaceReferenceRejectsSlotsOutsideTheMaker) {
  auto* maker = new TestTarget(2);
  ReferenceHolder root(maker);
  auto* t = new TestTarget;
  for (int slot : {-1, 2, 100}) {
    EXPECT_EQ(maker->ReplaceReference(slot, t), REF_FAIL) << "slot " << slot;
  }
  EXPECT_EQ(t->NumDependents(), 0);
  EXPECT_TRUE(maker->HeldTargets().empty());

  EXPECT_EQ(maker->ReplaceReference(1, t), REF_SUCCEED);
  EXPECT_EQ(maker->ReplaceReference(1, t), REF_SUCCEED);  // same target: nothing changes
  EXPECT_EQ(t->NumDependents(), 1);
}

TEST_F(References, NewTargetLivesUntilReferencedOrMaybeAutoDelete) {
  auto* kept = new TestTarget;
  auto* unused = new TestTarget;
  ReferenceHolder holder(kept);
  EXPECT_EQ(alive(), 2);
  kept->MaybeAutoDelete();  // referenced: stays
  unused->MaybeAutoDelete();
  EXPECT_EQ(alive(), 1);
  EXPECT_EQ(holder.Get(), kept);
}

TEST_F(References, LongChainIsFreedWhenItsHeadIsReleased) {
  constexpr int kLength = 20000;  // deep enough that recursive freeing would overflow the stack
  auto* head = new TestTarget(1);
  ReferenceHolder holder(head);
  TestTarget* last = head;
  for (int i = 1; i < kLength; ++i) {
    auto* next = new TestTarget(1);
    last->ReplaceReference(0, next);
    last = next;
  }
  EXPECT_EQ(alive(), kLength);
  EXPECT_TRUE(last->HasDependent(&holder));
  holder.Release();
  EXPECT_EQ(alive(), 0);
}

TEST_F(References, CycleIsKeptByItselfAndFreedWhenAMemberDropsItsReferences) {
  auto* a = new TestTarget(1);
  auto* b = new TestTarget(1);
  ReferenceHolder holder(a);
  a->ReplaceReference(0, b);
  b->ReplaceReference(0, a);

  a->NotifyDependents(FOREVER, PART_GEOM, REFMSG_CHANGE);  // terminates despite the loop
  EXPECT_EQ(b->CountHeard(REFMSG_CHANGE), 1);
  EXPECT_EQ(a->CountHeard(REFMSG_CHANGE), 0);  // never hears its own broadcast back

  holder.Release();
  EXPECT_EQ(alive(), 2);  // only the cycle holds them now
  // a frees b, b's teardown releases a, and a goes last, after its own call returns.
  a->DeleteAllRefs();
  EXPECT_EQ(alive(), 0);
}

TEST_F(References, CycleMemberHeldFromOutsideOutlivesTheOther) {
  auto* a = new TestTarget(1);
  auto* b = new TestTarget(1);
  ReferenceHolder holder(a);
  a->ReplaceReference(0, b);
  b->ReplaceReference(0, a);
  a->DeleteAllRefs();
  EXPECT_EQ(alive(), 1);
  EXPECT_EQ(holder.Get(), a);
  EXPECT_EQ(a->NumDependents(), 1);
  holder.Release();
  EXPECT_EQ(alive(), 0);
}

TEST_F(References, TargetDroppedDuringItsOwnBroadcastIsFreedAfterIt) {
  auto* t = new TestTarget;
  DroppingHolder dropper(t);
  t->NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
  EXPECT_EQ(dropper.Get(), nullptr);
  EXPECT_EQ(alive(), 0);
}

TEST_F(References, MakerThatDroppedItsReferenceDuringABroadcastIsNotCalled) {
  auto* t = new TestTarget;
  auto* later = new TestTarget(1);
  DroppingHolder dropper(t);
  ReferenceHolder root(later);
  later->ReplaceReference(0, t);
  dropper.victim = later;
  t->NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
  EXPECT_EQ(later->GetReference(0), nullptr);
  EXPECT_TRUE(later->heard.empty());
}

TEST_F(References, DeleteMeTellsDependentsClearsTheirSlotsAndDropsItsOwn) {
  auto* maker = new TestTarget(2);
  ReferenceHolder root(maker);
  auto* t = new TestTarget(1);
  auto* child = new TestTarget;
  ReferenceHolder other(t);
  maker->ReplaceReference(0, t);
  maker->ReplaceReference(1, t);
  t->ReplaceReference(0, child);

  t->DeleteMe();
  EXPECT_EQ(maker->CountHeard(REFMSG_TARGET_DELETED), 1);
  EXPECT_EQ(maker->GetReference(0), nullptr);
  EXPECT_EQ(maker->GetReference(1), nullptr);
  EXPECT_TRUE(maker->HeldTargets().empty());
  EXPECT_EQ(other.Get(), nullptr);
  EXPECT_EQ(alive(), 1);  // t and its child are gone
}

TEST_F(References, TargetDestroyedDirectlyLeavesNoDanglingSlots) {
  auto* maker = new TestTarget(2);
  ReferenceHolder root(maker);
  {
    TestTarget onStack;
    maker->ReplaceReference(0, &onStack);
    maker->ReplaceReference(1, &onStack);
  }
  EXPECT_EQ(maker->GetReference(0), nullptr);
  EXPECT_EQ(maker->GetReference(1), nullptr);
  EXPECT_TRUE(maker->HeldTargets().empty());
}

TEST_F(References, MakerDestroyedDirectlyReleasesItsTargets) {
  auto* t = new TestTarget;
  {
    TestTarget onStack(2);
    onStack.ReplaceReference(0, t);
    onStack.ReplaceReference(1, t);
  }
  EXPECT_EQ(alive(), 0);
}

TEST_F(References, HasDependentFollowsIndirectMakersOnly) {
  auto* bottom = new TestTarget;
  auto* middle = new TestTarget(1);
  auto* top = new TestTarget(1);
  ReferenceHolder root(top);
  ReferenceHolder side(bottom);
  top->ReplaceReference(0, middle);
  middle->ReplaceReference(0, bottom);
  EXPECT_TRUE(bottom->HasDependent(middle));
  EXPECT_TRUE(bottom->HasDependent(&root));
  EXPECT_FALSE(middle->HasDependent(&side));
  EXPECT_FALSE(top->HasDependent(middle));
}

// --- Undo records -----------------------------------------------------------

TEST_F(References, UndoRecordKeepsReleasedTargetForUndoAndRedo) {
  auto* maker = new TestTarget(1);
  ReferenceHolder root(maker);
  auto* before = new TestTarget(0, 1);
  auto* after = new TestTarget(0, 2);
  maker->ReplaceReference(0, before);  // outside a hold: not undoable

  theHold.Begin();
  maker->ReplaceReference(0, after);
  theHold.Accept("Swap");
  EXPECT_EQ(alive(), 3);  // `before` is kept by the record
  EXPECT_EQ(before->NumDependents(), 1);

  ASSERT_TRUE(theHold.Undo());
  EXPECT_EQ(maker->GetReference(0), before);
  EXPECT_EQ(before->NumDependents(), 2);
  ASSERT_TRUE(theHold.Redo());
  EXPECT_EQ(maker->GetReference(0), after);
  EXPECT_EQ(alive(), 3);

  theHold.Reset();
  EXPECT_EQ(alive(), 2);  // only the record held `before`
}

TEST_F(References, CancelPutsTheOldTargetBackAndFreesTheNewOne) {
  auto* maker = new TestTarget(1);
  ReferenceHolder root(maker);
  auto* before = new TestTarget;
  maker->ReplaceReference(0, before);

  theHold.Begin();
  maker->ReplaceReference(0, new TestTarget);
  maker->DeleteAllRefs();
  EXPECT_EQ(alive(), 3);
  theHold.Cancel();
  EXPECT_EQ(maker->GetReference(0), before);
  EXPECT_EQ(alive(), 2);
  EXPECT_FALSE(theHold.CanUndo());
}

TEST_F(References, UndoAfterTheMakerIsGoneChangesNothing) {
  auto* maker = new TestTarget(1);
  ReferenceHolder root(maker);
  theHold.Begin();
  maker->ReplaceReference(0, new TestTarget);
  theHold.Accept("Assign");
  root.Release();  // not recorded: the maker is freed, its target kept by the record
  EXPECT_EQ(alive(), 1);
  EXPECT_TRUE(theHold.Undo());  // must not touch the freed maker
  EXPECT_TRUE(theHold.Redo());
  theHold.Reset();
  EXPECT_EQ(alive(), 0);
}

// --- Broadcasts -------------------------------------------------------------

TEST_F(References, DiamondBroadcastReachesEachTargetOnce) {
  // top <- left, right <- bottom (bottom references both).
  auto* top = new TestTarget;
  auto* left = new TestTarget(1);
  auto* right = new TestTarget(1);
  auto* bottom = new TestTarget(2);
  ReferenceHolder root(bottom);
  left->ReplaceReference(0, top);
  right->ReplaceReference(0, top);
  bottom->ReplaceReference(0, left);
  bottom->ReplaceReference(1, right);

  top->NotifyDependents(FOREVER, PART_GEOM, REFMSG_CHANGE);
  EXPECT_EQ(left->CountHeard(REFMSG_CHANGE), 1);
  EXPECT_EQ(right->CountHeard(REFMSG_CHANGE), 1);
  EXPECT_EQ(bottom->CountHeard(REFMSG_CHANGE), 1);
  EXPECT_EQ(top->CountHeard(REFMSG_CHANGE), 0);

  // A second broadcast is a new one: everybody hears it again.
  top->NotifyDependents(FOREVER, PART_GEOM, REFMSG_CHANGE);
  EXPECT_EQ(bottom->CountHeard(REFMSG_CHANGE), 2);
}

TEST_F(References, BroadcastStopsWherePropagationEnds) {
  struct Case {
    const char* name;
    RefResult middleAnswer;
    bool propagate;
    int bottomHears;
  };
  const Case cases[] = {
      {"passed on", REF_SUCCEED, true, 1},
      {"middle answers stop", REF_STOP, true, 0},
      {"no propagation", REF_SUCCEED, false, 0},
  };
  for (const Case& c : cases) {
    auto* top = new TestTarget;
    auto* middle = new TestTarget(1);
    auto* bottom = new TestTarget(1);
    ReferenceHolder root(bottom);
    middle->ReplaceReference(0, top);
    bottom->ReplaceReference(0, middle);
    middle->answer = c.middleAnswer;

    top->NotifyDependents(FOREVER, PART_GEOM, REFMSG_CHANGE, c.propagate);
    EXPECT_EQ(middle->CountHeard(REFMSG_CHANGE), 1) << c.name;
    EXPECT_EQ(bottom->CountHeard(REFMSG_CHANGE), c.bottomHears) << c.name;
  }
}

TEST_F(References, PartChangedByADependentReachesOnlyItsOwnDependents) {
  auto* top = new TestTarget;
  auto* rewriter = new TestTarget(1);
  auto* sibling = new TestTarget(1);
  auto* below = new TestTarget(1);
  ReferenceHolder r1(below);
  ReferenceHolder r2(sibling);
  rewriter->ReplaceReference(0, top);
  sibling->ReplaceReference(0, top);
  below->ReplaceReference(0, rewriter);
  rewriter->partOut = PART_DISPLAY;

  top->NotifyDependents(FOREVER, PART_GEOM, REFMSG_CHANGE);
  ASSERT_EQ(rewriter->heard.size(), 1u);
  ASSERT_EQ(sibling->heard.size(), 1u);
  ASSERT_EQ(below->heard.size(), 1u);
  EXPECT_EQ(rewriter->heard[0].partID, PART_GEOM);
  EXPECT_EQ(sibling->heard[0].partID, PART_GEOM);
  EXPECT_EQ(below->heard[0].partID, PART_DISPLAY);
  EXPECT_EQ(below->heard[0].from, rewriter);
}

// --- Cloning ----------------------------------------------------------------

TEST_F(References, CloneCopiesASharedTargetOnceAndSharesTheCopy) {
  // root -> shared, root -> other -> shared
  auto* shared = new TestTarget(0, 7);
  auto* other = new TestTarget(1, 3);
  auto* root = new TestTarget(2, 1);
  ReferenceHolder original(root);
  root->ReplaceReference(0, shared);
  root->ReplaceReference(1, other);
  other->ReplaceReference(0, shared);

  auto* copy = dynamic_cast<TestTarget*>(CloneRefHierarchy(root));
  ASSERT_NE(copy, nullptr);
  ReferenceHolder cloned(copy);
  EXPECT_EQ(alive(), 6);
  ASSERT_NE(copy->Ref(0), nullptr);
  ASSERT_NE(copy->Ref(1), nullptr);
  EXPECT_NE(copy->Ref(0), shared);
  EXPECT_EQ(copy->Ref(1)->Ref(0), copy->Ref(0));
  EXPECT_EQ(copy->Ref(0)->NumDependents(), 2);
  EXPECT_EQ(copy->value, 1);
  EXPECT_EQ(copy->Ref(0)->value, 7);
  EXPECT_EQ(copy->Ref(1)->value, 3);
  EXPECT_EQ(CloneRefHierarchy(nullptr), nullptr);
}

// Clones without BaseClone: CloneRef itself must remember the copy.
class CloneWithoutBase : public TestTarget {
 public:
  ReferenceTarget* Clone(RemapDir&) override { return new CloneWithoutBase; }
};

TEST_F(References, CloneRefRemembersCopiesOfClassesThatSkipBaseClone) {
  auto* leaf = new CloneWithoutBase;
  auto* root = new TestTarget(2);
  ReferenceHolder original(root);
  root->ReplaceReference(0, leaf);
  root->ReplaceReference(1, leaf);
  ReferenceHolder cloned(CloneRefHierarchy(root));
  auto* copy = cloned.GetAs<TestTarget>();
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy->GetReference(0), leaf);
  EXPECT_EQ(copy->GetReference(0), copy->GetReference(1));
  EXPECT_EQ(alive(), 4);
}

TEST_F(References, ClonedCycleClosesOnTheCopy) {
  auto* a = new TestTarget(1, 1);
  auto* b = new TestTarget(1, 2);
  a->ReplaceReference(0, b);
  b->ReplaceReference(0, a);

  auto* copy = dynamic_cast<TestTarget*>(CloneRefHierarchy(a));
  ASSERT_NE(copy, nullptr);
  ASSERT_NE(copy->Ref(0), nullptr);
  EXPECT_NE(copy->Ref(0), b);
  EXPECT_EQ(copy->Ref(0)->value, 2);
  EXPECT_EQ(copy->Ref(0)->Ref(0), copy);
  EXPECT_EQ(alive(), 4);

  a->DeleteAllRefs();
  copy->DeleteAllRefs();
  EXPECT_EQ(alive(), 0);
}

}  // namespace
