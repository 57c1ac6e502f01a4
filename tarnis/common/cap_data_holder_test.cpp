// Tests of the copy and paste clipboard on plain objects: which kinds paste
// where, the undo entry of a paste, the three ways of installing, and the
// pastes that change nothing.
#include "tarnis/common/cap_data_holder.h"

#include <gtest/gtest.h>

#include <vector>

#include "sdk/effect.h"
#include "sdk/hold.h"
#include "sdk/param_block.h"
#include "sdk/testing/test_objects.h"

namespace tarnis {
namespace {

constexpr int kBlock = 0;
constexpr int kCurve = 1;

// A target that cannot be copied.
class Uncopyable : public TestTarget {
 public:
  ReferenceTarget* Clone(RemapDir&) override { return nullptr; }
};

// An effect-like object with an on/off switch.
class Switchable : public SpecialFX {
 public:
  ReferenceTarget* Clone(RemapDir& remap) override {
    auto* copy = new Switchable;
    BaseClone(this, copy, remap);
    return copy;
  }
};

// A panel that shows one object.
class FakeView : public ObjectView {
 public:
  explicit FakeView(ReferenceTarget* shown) : shown(shown) { AddObjectView(this); }
  ~FakeView() { RemoveObjectView(this); }
  ReferenceTarget* ShownObject() override { return shown; }
  void ShowObject(ReferenceTarget* object) override {
    shown = object;
    ++redraws;
  }
  ReferenceTarget* shown;
  int redraws = 0;
};

class Clipboard : public ::testing::Test {
 protected:
  void SetUp() override {
    theHold.Reset();
    TheCaPDataHolder().Clear();
    for (ReferenceHolder* h : {&source, &target}) {
      auto* owner = new TestTarget(2);
      owner->ReplaceReference(kBlock, new TestTarget(0, h == &source ? 10 : 1));
      owner->ReplaceReference(kCurve, new TestTarget(0, h == &source ? 20 : 2));
      h->Set(owner);
    }
  }
  void TearDown() override {
    TheCaPDataHolder().Clear();
    theHold.Reset();
  }

  TestTarget& Source() { return *source.GetAs<TestTarget>(); }
  TestTarget& Target() { return *target.GetAs<TestTarget>(); }
  CaPPanel Panel(TestTarget& owner, int kind, PasteMode mode = PasteMode::kFollowInPanel) {
    CaPPanel panel;
    panel.owner = &owner;
    panel.kind = kind;
    panel.blockRef = kBlock;
    panel.companionRef = kCurve;
    panel.mode = mode;
    return panel;
  }
  int BlockValue(TestTarget& owner) { return owner.Ref(kBlock)->value; }
  int CurveValue(TestTarget& owner) { return owner.Ref(kCurve)->value; }

  ReferenceHolder source, target;
};

TEST(CaPKinds, APanelTakesItsOwnKindAndItsDampingPartner) {
  for (int panel = 1; panel <= 9; ++panel) {
    for (int copied = 0; copied <= 9; ++copied) {
      const bool partners = (panel == 4 && copied == 5) || (panel == 5 && copied == 4) ||
                            (panel == 6 && copied == 7) || (panel == 7 && copied == 6) ||
                            (panel == 8 && copied == 9) || (panel == 9 && copied == 8);
      EXPECT_EQ(CaPKindsMatch(panel, copied), copied == panel || partners)
          << panel << " " << copied;
    }
  }
}

TEST_F(Clipboard, PasteGivesIndependentCopiesAsOneUndoEntry) {
  ASSERT_TRUE(CopyToClipboard(Panel(Source(), kCaPStrokeDampSize)));
  ASSERT_TRUE(PasteFromClipboard(Panel(Target(), kCaPStrokeDampAlpha)));
  EXPECT_EQ(BlockValue(Target()), 10);
  EXPECT_EQ(CurveValue(Target()), 20);
  EXPECT_NE(Target().Ref(kBlock), Source().Ref(kBlock));
  EXPECT_NE(Target().Ref(kCurve), Source().Ref(kCurve));
  EXPECT_EQ(theHold.NumUndoEntries(), 1);
  // The clipboard keeps its content: a second paste makes new copies.
  TestTarget* first = Target().Ref(kBlock);
  ASSERT_TRUE(PasteFromClipboard(Panel(Target(), kCaPStrokeDampSize)));
  EXPECT_NE(Target().Ref(kBlock), first);
  EXPECT_EQ(TheCaPDataHolder().Kind(), kCaPStrokeDampSize);
}

TEST_F(Clipboard, UndoPutsBackTheOldObjectsAndRedoTheSameCopies) {
  TestTarget* oldBlock = Target().Ref(kBlock);
  TestTarget* oldCurve = Target().Ref(kCurve);
  CopyToClipboard(Panel(Source(), kCaPBrushDampAlpha));
  ASSERT_TRUE(PasteFromClipboard(Panel(Target(), kCaPBrushDampSize)));
  TestTarget* pastedBlock = Target().Ref(kBlock);
  TestTarget* pastedCurve = Target().Ref(kCurve);
  ASSERT_TRUE(theHold.Undo());
  EXPECT_EQ(Target().Ref(kBlock), oldBlock);
  EXPECT_EQ(Target().Ref(kCurve), oldCurve);
  ASSERT_TRUE(theHold.Redo());
  EXPECT_EQ(Target().Ref(kBlock), pastedBlock);
  EXPECT_EQ(Target().Ref(kCurve), pastedCurve);
}

TEST_F(Clipboard, AnEmptyClipboardOrAnotherKindPastesNothing) {
  const int alive = TestTarget::Alive();
  EXPECT_FALSE(PasteFromClipboard(Panel(Target(), kCaPBrushDampSize)));
  CopyToClipboard(Panel(Source(), kCaPStrokeDampSize));
  for (int kind : {kCaPBrushDampSize, kCaPBrushDampAlpha, kCaPLineDampSize, kCaPBrushMap}) {
    EXPECT_FALSE(PasteFromClipboard(Panel(Target(), kind))) << kind;
  }
  EXPECT_EQ(BlockValue(Target()), 1);
  EXPECT_EQ(theHold.NumUndoEntries(), 0);
  EXPECT_EQ(TestTarget::Alive(), alive);
}

TEST_F(Clipboard, ACopyThatFailsChangesNothing) {
  Source().ReplaceReference(kCurve, new Uncopyable);
  CopyToClipboard(Panel(Source(), kCaPBrushMap));
  TestTarget* oldBlock = Target().Ref(kBlock);
  EXPECT_FALSE(PasteFromClipboard(Panel(Target(), kCaPBrushMap)));
  EXPECT_EQ(Target().Ref(kBlock), oldBlock);
  EXPECT_EQ(CurveValue(Target()), 2);
  EXPECT_EQ(theHold.NumUndoEntries(), 0);
}

TEST_F(Clipboard, AnEmptyCompanionEmptiesTheOwnersAndAnEmptyBlockIsNotCopied) {
  Source().ReplaceReference(kCurve, nullptr);
  CopyToClipboard(Panel(Source(), kCaPBrushNoise));
  ASSERT_TRUE(PasteFromClipboard(Panel(Target(), kCaPBrushNoise)));
  EXPECT_EQ(BlockValue(Target()), 10);
  EXPECT_EQ(Target().Ref(kCurve), nullptr);
  // A panel without a companion leaves the owner's other slots alone.
  CaPPanel blockOnly = Panel(Target(), kCaPBrushNoise);
  blockOnly.companionRef = -1;
  Target().ReplaceReference(kCurve, new TestTarget(0, 3));
  ASSERT_TRUE(PasteFromClipboard(blockOnly));
  EXPECT_EQ(CurveValue(Target()), 3);

  Source().ReplaceReference(kBlock, nullptr);
  EXPECT_FALSE(CopyToClipboard(Panel(Source(), kCaPBrushStroke)));
  EXPECT_EQ(TheCaPDataHolder().Kind(), kCaPBrushNoise);
}

TEST_F(Clipboard, APanelShowingTheReplacedObjectFollowsThePasteAndItsUndo) {
  FakeView blockView(Target().Ref(kBlock));
  FakeView curveView(Target().Ref(kCurve));
  FakeView elsewhere(Source().Ref(kBlock));
  ReferenceTarget* oldBlock = Target().Ref(kBlock);
  CopyToClipboard(Panel(Source(), kCaPBrushDampSize));
  PasteFromClipboard(Panel(Target(), kCaPBrushDampSize));
  EXPECT_EQ(blockView.shown, Target().Ref(kBlock));
  EXPECT_EQ(curveView.shown, Target().Ref(kCurve));
  EXPECT_EQ(elsewhere.redraws, 0);
  theHold.Undo();
  EXPECT_EQ(blockView.shown, oldBlock);
  EXPECT_EQ(blockView.redraws, 2);

  // Pasting without following leaves every panel as it was.
  PasteFromClipboard(Panel(Target(), kCaPBrushDampSize, PasteMode::kPlain));
  EXPECT_EQ(blockView.shown, oldBlock);
}

TEST_F(Clipboard, CarryingOnOffHandsTheSwitchToTheInstalledObject) {
  auto* on = new Switchable;
  auto* off = new Switchable;
  off->SetOn(false);
  Source().ReplaceReference(kBlock, off);
  Target().ReplaceReference(kBlock, on);
  CopyToClipboard(Panel(Source(), kCaPBrushMap));
  ASSERT_TRUE(PasteFromClipboard(Panel(Target(), kCaPBrushMap, PasteMode::kCarryOnOff)));
  auto* pasted = dynamic_cast<Switchable*>(Target().GetReference(kBlock));
  ASSERT_NE(pasted, nullptr);
  EXPECT_TRUE(pasted->IsOn());
  EXPECT_FALSE(on->IsOn());
}

TEST_F(Clipboard, TheCallbackHearsEachInstall) {
  std::vector<ReferenceTarget*> installed;
  CaPPanel panel = Panel(Target(), kCaPLineDampSize);
  panel.callback = [&](ReferenceMaker* owner, ReferenceTarget*, ReferenceTarget* object) {
    EXPECT_EQ(owner, &Target());
    installed.push_back(object);
  };
  ReferenceTarget* oldBlock = Target().Ref(kBlock);
  ReferenceTarget* oldCurve = Target().Ref(kCurve);
  CopyToClipboard(Panel(Source(), kCaPLineDampAlpha));
  ASSERT_TRUE(PasteFromClipboard(panel));
  ReferenceTarget* pastedBlock = Target().Ref(kBlock);
  ReferenceTarget* pastedCurve = Target().Ref(kCurve);
  theHold.Undo();
  // Undo puts the newest record back first.
  EXPECT_EQ(installed,
            (std::vector<ReferenceTarget*>{pastedBlock, pastedCurve, oldCurve, oldBlock}));
}

TEST_F(Clipboard, UndoAfterTheOwnerWasDeletedChangesNothing) {
  CopyToClipboard(Panel(Source(), kCaPBrushMap));
  ASSERT_TRUE(PasteFromClipboard(Panel(Target(), kCaPBrushMap)));
  const int alive = TestTarget::Alive();
  Target().DeleteMe();
  EXPECT_LT(TestTarget::Alive(), alive);
  EXPECT_TRUE(theHold.Undo());
  EXPECT_TRUE(theHold.Redo());
}

// Damping blocks of a pair have their own layouts with the same ids: a
// block pasted into the partner's slot takes the slot's layout.
TEST_F(Clipboard, ABlockOfThePartnersLayoutIsPastedInTheSlotsLayout) {
  static ParamBlockDesc2 sizeDesc(
      ParamBlockHeader{.id = 3, .internalName = "damp_size"},
      std::vector<ParamDef>{{.id = 0, .internalName = "sizeOn", .type = TYPE_BOOL, .def = false},
                            {.id = 1, .internalName = "sizeRnd", .def = 0.0f}});
  static ParamBlockDesc2 alphaDesc(
      ParamBlockHeader{.id = 4, .internalName = "damp_alpha"},
      std::vector<ParamDef>{{.id = 0, .internalName = "alphaOn", .type = TYPE_BOOL, .def = false},
                            {.id = 1, .internalName = "alphaRnd", .def = 0.0f},
                            {.id = 2, .internalName = "alphaOnly", .def = 7.0f}});
  IParamBlock2* sizeBlock = CreateParameterBlock2(&sizeDesc, nullptr);
  sizeBlock->SetValue(0, 0, 1);
  sizeBlock->SetValue(1, 0, 0.25f);
  Source().ReplaceReference(kBlock, sizeBlock);
  IParamBlock2* alphaBlock = CreateParameterBlock2(&alphaDesc, nullptr);
  alphaBlock->SetValue(2, 0, 3.0f);
  Target().ReplaceReference(kBlock, alphaBlock);

  CopyToClipboard(Panel(Source(), kCaPBrushDampSize));
  ASSERT_TRUE(PasteFromClipboard(Panel(Target(), kCaPBrushDampAlpha)));
  auto* pasted = dynamic_cast<IParamBlock2*>(Target().GetReference(kBlock));
  ASSERT_NE(pasted, nullptr);
  EXPECT_NE(pasted, alphaBlock);
  EXPECT_EQ(pasted->GetDesc(), &alphaDesc);
  EXPECT_EQ(pasted->GetInt(0), 1);
  EXPECT_FLOAT_EQ(pasted->GetFloat(1), 0.25f);
  EXPECT_FLOAT_EQ(pasted->GetFloat(2), 3.0f);
  theHold.Undo();
  EXPECT_EQ(Target().GetReference(kBlock), alphaBlock);
}

}  // namespace
}  // namespace tarnis
