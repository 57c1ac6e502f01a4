// Tests of line sets: construction (settings, brushes, curves, blocks),
// naming, membership through group heads, removing members, mirroring
// through the type blocks, the holder, a save and load round trip and the
// repair of the older reference layout.
#include "tarnis/line/effect/line_set.h"

#include <gtest/gtest.h>

#include <string>

#include "sdk/ref_graph.h"
#include "sdk/testing/fake_interface.h"
#include "tarnis/line/brush/brush.h"
#include "tarnis/line/effect/line_set_class_desc.h"
#include "tarnis/line/effect/line_set_test_helpers.h"

namespace tarnis {
namespace {

using testing::TestNode;

LineSet* NewSet(ReferenceHolder& holder) {
  holder.Set(new LineSet);
  return holder.GetAs<LineSet>();
}

TEST(LineSet, ConstructsEighteenNamedSettingsWithNamedBrushes) {
  ReferenceHolder h;
  LineSet* set = NewSet(h);
  // Default name numbers of slots 0..5 within each type.
  const int numbers[kSettingsPerType] = {1, 2, 6, 5, 4, 3};
  const char* slotNames[kSettingsPerType] = {"Brush",          "BrushObject",   "BrushNormal",
                                             "BrushMtlBorder", "BrushSGBorder", "BrushIsect"};
  const char* typeNames[kNumLineTypes] = {"_Visible", "_Invisible", "_Reserved"};
  for (int t = 1; t <= kNumLineTypes; ++t) {
    for (int slot = 0; slot < kSettingsPerType; ++slot) {
      SCOPED_TRACE("type " + std::to_string(t) + " slot " + std::to_string(slot));
      LineSetting* s = set->Setting(t, slot);
      ASSERT_NE(s, nullptr);
      const std::string n = std::to_string(numbers[slot]);
      EXPECT_EQ(std::string(s->GetName()), "ブラシ設定#" + n);
      ASSERT_NE(s->GetBrush(), nullptr);
      EXPECT_EQ(std::string(s->GetBrush()->GetName()), "ブラシ詳細設定#" + n);
      EXPECT_EQ(std::string(set->SubAnimName(LineSetSettingRef(t, slot)).data()),
                std::string(slotNames[slot]) + typeNames[t - 1]);
      EXPECT_EQ(set->SubAnim(LineSetSettingRef(t, slot)), s);
    }
  }
  // Every slot holds its own setting.
  EXPECT_NE(set->Setting(1, 0), set->Setting(2, 0));
  EXPECT_EQ(set->NumRefs(), 37);
  EXPECT_EQ(std::string(set->SubAnimName(8).data()), "LINE MAP");
  EXPECT_EQ(std::string(set->SubAnimName(12).data()), "LINE SIZE MAP");
  EXPECT_EQ(std::string(set->SubAnimName(36).data()), "AlphaDampCurve_Reserved");
  EXPECT_EQ(std::string(set->SubAnimName(33).data()), "SizeDampCurve_Invisible");
  EXPECT_EQ(std::string(set->SubAnimName(0).data()), "");
}

TEST(LineSet, ConstructsItsBlocksWithTheirNamesAndDefaults) {
  ReferenceHolder h;
  LineSet* set = NewSet(h);
  const char* names[kLineSetNumBlocks] = {"main",  "type1", "type2", "type3",
                                          "damp1", "damp2", "damp3"};
  for (int i = 0; i < kLineSetNumBlocks; ++i) {
    ASSERT_NE(set->GetParamBlock(i), nullptr) << i;
    EXPECT_EQ(set->GetParamBlock(i)->GetDesc()->InternalName(), names[i]);
    EXPECT_EQ(set->GetParamBlock(i)->ID(), i);
  }
  IParamBlock2* main = set->MainBlock();
  EXPECT_TRUE(set->Enabled(0));
  EXPECT_EQ(main->Count(kLineSetObjects), 0);
  EXPECT_EQ(main->Count(kLineSetMtls), 0);
  EXPECT_NE(main->GetDesc()->GetParamDefByName("combineBetweemObjects"), nullptr);
  EXPECT_EQ(set->TypeBlock(1)->GetInt(kTypeEdgeObject), 1);
  EXPECT_EQ(set->TypeBlock(2)->GetInt(kTypeEdgeObject), 0);
  EXPECT_NE(set->Holder(), nullptr);
  EXPECT_STREQ(GetLineSetDesc()->InternalName(), "Tarnis_LineSet");
  EXPECT_EQ(GetLineSetDesc()->GetParamBlockDescByName("damp2"), LineDepthBlockDesc(2));
}

TEST(LineSet, SetsUpSixDampingCurves) {
  ReferenceHolder h;
  LineSet* set = NewSet(h);
  for (int t = 1; t <= kNumLineTypes; ++t) {
    for (CurveControl* cc : {set->SizeCurve(t), set->AlphaCurve(t)}) {
      ASSERT_NE(cc, nullptr);
      const float end = cc == set->SizeCurve(t) ? 0.1f : 0.0f;
      EXPECT_EQ(cc->GetOwner(), set);
      ASSERT_EQ(cc->GetNumCurves(), 1);
      EXPECT_EQ(cc->GetXRange(), Point2(0.0f, 1.0f));
      EXPECT_EQ(cc->GetYRange(), Point2(0.0f, 1.0f));
      const ICurve* c = cc->GetControlCurve(0);
      ASSERT_EQ(c->GetNumPts(), 2);
      const CurvePoint first = c->GetPoint(0, 0);
      const CurvePoint last = c->GetPoint(0, 1);
      EXPECT_EQ(first.p, Point2(0.0f, 1.0f));
      EXPECT_EQ(first.out, Point2(0.05f, -1.0f));
      EXPECT_EQ(first.flags & 0xB, 0xB);
      EXPECT_EQ(last.p, Point2(1.0f, end));
      EXPECT_EQ(last.in, Point2(-0.5f, 0.1f));
      EXPECT_EQ(last.flags & 0xB, 0xB);
      // The default flags stay.
      EXPECT_TRUE(last.flags & CURVEP_ENDPOINT);
    }
  }
}

TEST(LineSet, IsNamedWithTheNumberOrJustTheWord) {
  ReferenceHolder h;
  LineSet* set = NewSet(h);
  const std::pair<int, const char*> cases[] = {{1, "セット1"}, {12, "セット12"}, {-1, "セット"}};
  for (const auto& [n, name] : cases) {
    set->SetNameNumber(n);
    EXPECT_EQ(set->Name(), name);
    EXPECT_STREQ(set->GetName().data(), name);
  }
}

TEST(LineSet, TakesInGroupMembersThroughTheOutermostHead) {
  std::vector<std::unique_ptr<ReferenceHolder>> keep;
  auto make = [&](INode* parent, bool head, bool member) {
    keep.push_back(std::make_unique<ReferenceHolder>(new TestNode(parent, head, member)));
    return keep.back()->GetAs<TestNode>();
  };
  TestNode* root = make(nullptr, false, false);
  root->MakeRoot();
  TestNode* outer = make(root, true, false);
  TestNode* inner = make(outer, true, true);
  TestNode* leaf = make(inner, false, true);
  TestNode* loose = make(root, false, false);

  EXPECT_EQ(MembershipNode(leaf), outer);
  EXPECT_EQ(MembershipNode(inner), outer);
  EXPECT_EQ(MembershipNode(loose), loose);

  ReferenceHolder h;
  LineSet* set = NewSet(h);
  set->MainBlock()->Append(kLineSetObjects, outer);
  EXPECT_TRUE(set->ListsNode(leaf));
  EXPECT_TRUE(set->ListsNode(outer));
  EXPECT_FALSE(set->ListsNode(loose));

  ReferenceHolder other;
  LineSet* later = NewSet(other);
  later->MainBlock()->Append(kLineSetObjects, leaf);
  // A member listed on its own does not stand for itself.
  EXPECT_FALSE(later->ListsNode(leaf));
}

TEST(LineSet, RemovesListedNodesAndCompactsTheTable) {
  std::vector<std::unique_ptr<ReferenceHolder>> keep;
  std::vector<INode*> nodes;
  for (int i = 0; i < 4; ++i) {
    keep.push_back(std::make_unique<ReferenceHolder>(new TestNode));
    nodes.push_back(keep.back()->GetAs<INode>());
  }
  ReferenceHolder h;
  LineSet* set = NewSet(h);
  IParamBlock2* main = set->MainBlock();
  for (INode* n : nodes) main->Append(kLineSetObjects, n);
  main->Append(kLineSetObjects, nullptr);
  INode* gone[] = {nodes[1], nodes[3]};
  set->RemoveNodes(gone);
  ASSERT_EQ(main->Count(kLineSetObjects), 2);
  EXPECT_EQ(main->GetReferenceTarget(kLineSetObjects, 0, 0), nodes[0]);
  EXPECT_EQ(main->GetReferenceTarget(kLineSetObjects, 0, 1), nodes[2]);
  EXPECT_TRUE(set->ListsNode(nodes[2]));
  EXPECT_FALSE(set->ListsNode(nodes[1]));
}

TEST(LineSet, MirrorsTypeBlockChangesIntoTheBaseSettingAndKeepsOutgoingSettings) {
  ReferenceHolder h;
  LineSet* set = NewSet(h);
  set->TypeBlock(2)->SetValue(kTypeLineSize, 0, 4.0f);
  EXPECT_EQ(set->Setting(2, 0)->Block()->GetFloat(kLineSize), 4.0f);
  EXPECT_EQ(set->Setting(1, 0)->Block()->GetFloat(kLineSize), 1.0f);
  set->Setting(1, 0)->Block()->SetValue(kLineColor, 0, Color(1, 0, 0));
  EXPECT_EQ(set->TypeBlock(1)->GetColor(kTypeLineColor), Color(1, 0, 0));

  // A new base setting fills the type block; the old one goes to the holder.
  LineSetting* old = set->Setting(1, 0);
  auto* fresh = new LineSetting;
  fresh->Block()->SetValue(kLineAlpha, 0, 0.25f);
  set->ReplaceReference(LineSetSettingRef(1, 0), fresh);
  EXPECT_FLOAT_EQ(set->TypeBlock(1)->GetFloat(kTypeLineAlpha), 0.25f);
  EXPECT_EQ(set->Holder()->GetReference(0), old);
}

TEST(LineSet, SurvivesASaveAndLoadRoundTrip) {
  testing::RegisterLineSetTestClasses();
  ReferenceHolder h;
  LineSet* set = NewSet(h);
  set->SetNameNumber(3);
  set->MainBlock()->SetValue(kLineSetEnable, 0, false);
  set->TypeBlock(1)->SetValue(kTypeLineSize, 0, 2.5f);
  set->DepthBlock(3)->SetValue(kDepthZMax, 0, 500.0f);
  set->SetOn(false);

  MemorySave out;
  ReferenceTarget* roots[] = {set};
  std::string error;
  ASSERT_TRUE(SaveReferenceGraph(out, roots, &error)) << error;
  GraphLoadResult loaded = LoadReferenceGraph(out.Bytes());
  ASSERT_TRUE(loaded) << loaded.error;
  auto* back = dynamic_cast<LineSet*>(loaded.graph->Root(0));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->Name(), "セット3");
  EXPECT_FALSE(back->Enabled(0));
  EXPECT_FALSE(back->IsOn());
  EXPECT_EQ(back->TypeBlock(1)->GetFloat(kTypeLineSize), 2.5f);
  EXPECT_EQ(back->Setting(1, 0)->Block()->GetFloat(kLineSize), 2.5f);
  EXPECT_EQ(back->DepthBlock(3)->GetFloat(kDepthZMax), 500.0f);
  ASSERT_NE(back->AlphaCurve(2), nullptr);
  EXPECT_EQ(back->AlphaCurve(2)->GetControlCurve(0)->GetPoint(0, 0).out, Point2(0.05f, -1.0f));
  EXPECT_EQ(std::string(back->Setting(3, 5)->GetName()), "ブラシ設定#3");
  EXPECT_FALSE(back->RepairOlderLayout());
  // The loaded set mirrors again.
  back->TypeBlock(1)->SetValue(kTypeLineSize, 0, 6.0f);
  EXPECT_EQ(back->Setting(1, 0)->Block()->GetFloat(kLineSize), 6.0f);
}

TEST(LineSet, RepairsTheOlderLayoutWithFewerMapSlots) {
  testing::RegisterLineSetTestClasses();
  // A set from a file with two map slots (7, 8): settings in 9..26,
  // curves in 27..32.
  ReferenceHolder source;
  LineSet* fresh = NewSet(source);
  ReferenceHolder h(new LineSet(true));
  auto* old = h.GetAs<LineSet>();
  for (int i = 0; i < 7; ++i) old->ReplaceReference(i, fresh->GetReference(i));
  old->ReplaceReference(7, new testing::ProbeMap(0.2f));
  for (int k = 0; k < 18; ++k) old->ReplaceReference(9 + k, fresh->GetReference(13 + k));
  for (int k = 0; k < 6; ++k) old->ReplaceReference(27 + k, fresh->GetReference(31 + k));

  MemorySave out;
  ReferenceTarget* roots[] = {old};
  std::string error;
  ASSERT_TRUE(SaveReferenceGraph(out, roots, &error)) << error;
  GraphLoadResult loaded = LoadReferenceGraph(out.Bytes());
  ASSERT_TRUE(loaded) << loaded.error;
  auto* back = dynamic_cast<LineSet*>(loaded.graph->Root(0));
  ASSERT_NE(back, nullptr);
  for (int k = 0; k < 18; ++k) {
    auto* s = dynamic_cast<LineSetting*>(back->GetReference(13 + k));
    ASSERT_NE(s, nullptr) << k;
    EXPECT_EQ(std::string(s->GetName()),
              std::string(dynamic_cast<LineSetting*>(fresh->GetReference(13 + k))->GetName()));
  }
  for (int k = 0; k < 6; ++k) {
    EXPECT_NE(dynamic_cast<CurveControl*>(back->GetReference(31 + k)), nullptr) << k;
  }
  EXPECT_NE(dynamic_cast<testing::ProbeMap*>(back->GetReference(7)), nullptr);
  for (int i = 9; i <= 12; ++i) EXPECT_EQ(back->GetReference(i), nullptr) << i;
  // The repaired set mirrors as a new one does.
  back->TypeBlock(1)->SetValue(kTypeLineSize, 0, 3.0f);
  EXPECT_EQ(back->Setting(1, 0)->Block()->GetFloat(kLineSize), 3.0f);
}

TEST(LineSet, LoadingRepairsSettingSlotsThatHoldOtherObjects) {
  testing::RegisterLineSetTestClasses();
  FakeInterface host;
  // A file whose set holds a map in a further slot of type 1 and in the base
  // slot of type 2, as only a damaged or hand-made file can.
  ReferenceHolder source;
  LineSet* fresh = NewSet(source);
  ReferenceHolder h(new LineSet(true));
  auto* damaged = h.GetAs<LineSet>();
  for (int i = 0; i < kLineSetNumRefs; ++i) damaged->ReplaceReference(i, fresh->GetReference(i));
  damaged->ReplaceReference(LineSetSettingRef(1, 1), new testing::ProbeMap(0.2f));
  damaged->ReplaceReference(LineSetSettingRef(2, 0), new testing::ProbeMap(0.4f));

  MemorySave out;
  ReferenceTarget* roots[] = {damaged};
  std::string error;
  ASSERT_TRUE(SaveReferenceGraph(out, roots, &error)) << error;
  GraphLoadResult loaded = LoadReferenceGraph(out.Bytes());
  ASSERT_TRUE(loaded) << loaded.error;
  auto* back = dynamic_cast<LineSet*>(loaded.graph->Root(0));
  ASSERT_NE(back, nullptr);
  for (int k = 0; k < 18; ++k) {
    ReferenceTarget* slot = back->GetReference(kLineSetFirstSettingRef + k);
    EXPECT_TRUE(!slot || dynamic_cast<LineSetting*>(slot)) << k;
  }
  // The further slot is free; the base slot has a base setting again, and
  // it drives the type's block as a base setting does.
  EXPECT_EQ(back->GetReference(LineSetSettingRef(1, 1)), nullptr);
  LineSetting* base = back->Setting(2, 0);
  ASSERT_NE(base, nullptr);
  EXPECT_NE(base->GetBrush(), nullptr);
  back->TypeBlock(2)->SetValue(kTypeLineSize, 0, 4.0f);
  EXPECT_EQ(base->Block()->GetFloat(kLineSize), 4.0f);
  // The untouched slots kept what the file held.
  EXPECT_EQ(std::string(back->Setting(1, 0)->GetName()),
            std::string(fresh->Setting(1, 0)->GetName()));
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "Brush Map Error");
  // A sound set needs nothing.
  EXPECT_EQ(back->RepairLoadedSettingSlots(), 0);
  EXPECT_EQ(host.messages.size(), 1u);
}

TEST(LineSet, LeavesASetWithoutSettingsAlone) {
  ReferenceHolder h(new LineSet(true));
  auto* set = h.GetAs<LineSet>();
  ReferenceHolder source;
  LineSet* fresh = NewSet(source);
  for (int i = 0; i < 7; ++i) set->ReplaceReference(i, fresh->GetReference(i));
  EXPECT_FALSE(set->RepairOlderLayout());
  EXPECT_EQ(set->GetReference(0), fresh->GetReference(0));
  EXPECT_EQ(set->GetReference(13), nullptr);
}

}  // namespace
}  // namespace tarnis
