// Tests of the line effect: its block and descriptors, adding, removing and
// moving line sets with undo and redo, the line set of a node or material,
// the clipboard's lifetime, and saving and loading the list.
#include "tarnis/line/effect/line_manager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "sdk/hold.h"
#include "sdk/ref_graph.h"
#include "tarnis/line/brush/brush_class_desc.h"
#include "tarnis/line/effect/line_manager_class_desc.h"
#include "tarnis/line/effect/line_set.h"
#include "tarnis/line/effect/line_set_test_helpers.h"
#include "tarnis/line/effect/setting_holder.h"
#include "tarnis/plugin/class_table.h"

namespace tarnis {
namespace {

using testing::TestNode;

class LineManagerTest : public ::testing::Test {
 protected:
  void SetUp() override { theHold.Reset(); }
  void TearDown() override { theHold.Reset(); }

  // A manager with n sets, added without undo records.
  LineManager* Make(int n) {
    holder.Set(new LineManager);
    auto* lm = holder.GetAs<LineManager>();
    for (int i = 0; i < n; ++i) lm->AddLineSet();
    theHold.Reset();
    return lm;
  }
  static std::vector<LineSet*> List(LineManager* lm) {
    std::vector<LineSet*> out;
    for (int i = 0; i < lm->NumLineSets(); ++i) out.push_back(lm->GetLineSet(i));
    return out;
  }
  static void ExpectReferencesMatch(LineManager* lm) {
    ASSERT_EQ(lm->NumRefs(), lm->NumLineSets() + 1);
    for (int i = 0; i < lm->NumLineSets(); ++i) {
      EXPECT_EQ(lm->GetReference(i + 1), lm->GetLineSet(i));
      EXPECT_EQ(lm->FindRef(lm->GetLineSet(i)), i + 1);
    }
  }

  ReferenceHolder holder;
};

TEST(LineManagerBlock, DeclaresEveryParameterWithItsDefaultAndRange) {
  struct Row {
    ParamID id;
    const char* name;
    float def, min, max;
    bool animatable;
  };
  const Row rows[] = {
      {kLineSeed, "Seed", 0, 0, 65535, true},
      {kLineOutsideLength, "OutsideLength", 150, 0, 1000, true},
      {kLineRenderElementOnly, "RenderElementOnly", 0, 0, 0, false},
      {kLineOverSampling, "overSampling", 2, 1, 4, false},
      {kLineAntiAliasSize, "antiAliasSize", 1, 0, 2, false},
      {kLineRndAuto, "rndAuto", 0, 0, 0, false},
      {kLineRndInterval, "rndInterval", 1, 1, 999, false},
      {kLineRndMoveDetect, "rndMoveDetect", 0, 0, 0, false},
      {kLineLineSizeType, "lineSizeType", 0, 0, 1, false},
  };
  ParamBlockDesc2* desc = LineManagerBlockDesc();
  EXPECT_EQ(desc->InternalName(), "main");
  EXPECT_EQ(desc->Count(), 9);
  ReferenceHolder h(new LineManager);
  IParamBlock2* pb = h.GetAs<LineManager>()->MainBlock();
  ASSERT_NE(pb, nullptr);
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    const ParamDef* def = desc->GetParamDefByName(r.name);
    ASSERT_NE(def, nullptr);
    EXPECT_EQ(def->id, r.id);
    EXPECT_EQ((def->flags & P_ANIMATABLE) != 0, r.animatable);
    if (def->type == TYPE_FLOAT) {
      EXPECT_FLOAT_EQ(pb->GetFloat(r.id), r.def);
    } else {
      EXPECT_EQ(pb->GetInt(r.id), static_cast<int>(r.def));
    }
    if (r.max > r.min) {
      EXPECT_EQ(def->range.min, r.min);
      EXPECT_EQ(def->range.max, r.max);
    }
  }
}

TEST(LineManagerClassDesc, DescribesTheEffectAheadOfTheLineSetInTheClassTable) {
  ClassDesc2* cd = GetLineManagerDesc();
  EXPECT_EQ(cd->SuperClassID(), RENDER_EFFECT_CLASS_ID);
  EXPECT_EQ(cd->ClassID(), Class_ID(0x54022257, 0x0814C613));
  EXPECT_STREQ(cd->InternalName(), "Tarnis_Line");
  EXPECT_STREQ(cd->ClassName(), "Tarnis Line");
  EXPECT_EQ(cd->IsPublic(), 1);
  EXPECT_STREQ(GetLineSetDesc()->ClassName(), "Tarnis Line Set");
  EXPECT_EQ(GetLineSetDesc()->ClassID(), Class_ID(0x54022257, 0x0814C617));
  EXPECT_EQ(GetLineSetDesc()->IsPublic(), 0);
  const auto& table = ClassTable();
  auto at = [&](ClassDesc2* d) { return std::find(table.begin(), table.end(), d); };
  ASSERT_NE(at(cd), table.end());
  EXPECT_EQ(at(cd) + 1, at(GetLineSetDesc()));
  EXPECT_EQ(at(GetLineSetDesc()) + 1, at(GetBrushDesc()));
  EXPECT_EQ(cd->GetParamBlockDescByName("main"), LineManagerBlockDesc());
}

TEST_F(LineManagerTest, AddsANamedSetThatUndoRemovesAndRedoBringsBack) {
  LineManager* lm = Make(0);
  EXPECT_EQ(lm->NumRefs(), 1);
  LineSet* first = lm->AddLineSet();
  ASSERT_EQ(lm->NumLineSets(), 1);
  EXPECT_EQ(lm->GetLineSet(0), first);
  EXPECT_EQ(first->Name(), "セット1");
  EXPECT_STREQ(lm->SubAnimName(1).data(), "セット1");
  EXPECT_EQ(theHold.UndoName(), kLineListUndoName);
  ASSERT_TRUE(theHold.Undo());
  EXPECT_EQ(lm->NumLineSets(), 0);
  EXPECT_EQ(lm->NumRefs(), 1);
  ASSERT_TRUE(theHold.Redo());
  ASSERT_EQ(lm->NumLineSets(), 1);
  EXPECT_EQ(lm->GetLineSet(0), first);
  EXPECT_EQ(lm->AddLineSet()->Name(), "セット2");
  ExpectReferencesMatch(lm);
}

TEST_F(LineManagerTest, RemovesSetsAndUndoPutsThemBackInOrder) {
  LineManager* lm = Make(5);
  const std::vector<LineSet*> before = List(lm);
  const int positions[] = {3, 1};
  lm->RemoveLineSets(positions);
  EXPECT_EQ(List(lm), (std::vector<LineSet*>{before[0], before[2], before[4]}));
  ExpectReferencesMatch(lm);
  ASSERT_TRUE(theHold.Undo());
  EXPECT_EQ(List(lm), before);
  ExpectReferencesMatch(lm);
  ASSERT_TRUE(theHold.Redo());
  EXPECT_EQ(List(lm), (std::vector<LineSet*>{before[0], before[2], before[4]}));
}

TEST_F(LineManagerTest, RecordsNothingWhenNothingIsRemovedOrMoved) {
  LineManager* lm = Make(3);
  const std::vector<LineSet*> before = List(lm);
  const int outside[] = {7, -1};
  lm->RemoveLineSets(outside);
  LineSet* last[] = {before[2]};
  EXPECT_FALSE(lm->MoveLineSets(last, true));
  LineSet* packed[] = {before[1], before[0]};
  EXPECT_FALSE(lm->MoveLineSets(packed, false));
  EXPECT_EQ(theHold.NumUndoEntries(), 0);
  EXPECT_EQ(List(lm), before);
}

TEST_F(LineManagerTest, MovesOnlyTheSetsThatCanMoveAndUndoesTheMove) {
  struct Case {
    std::vector<int> selected;
    bool towardsEnd;
    std::vector<int> after;  // old positions in their new order
  };
  const Case cases[] = {
      {{0, 2}, false, {0, 2, 1, 3}}, {{1, 3}, true, {0, 2, 1, 3}},  {{0, 1}, true, {2, 0, 1, 3}},
      {{1, 2}, false, {1, 2, 0, 3}}, {{3, 2}, false, {0, 2, 3, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.selected));
    theHold.Reset();
    LineManager* lm = Make(4);
    const std::vector<LineSet*> before = List(lm);
    std::vector<LineSet*> selected;
    for (int i : c.selected) selected.push_back(before[static_cast<size_t>(i)]);
    EXPECT_TRUE(lm->MoveLineSets(selected, c.towardsEnd));
    std::vector<LineSet*> expected;
    for (int i : c.after) expected.push_back(before[static_cast<size_t>(i)]);
    EXPECT_EQ(List(lm), expected);
    ExpectReferencesMatch(lm);
    EXPECT_EQ(theHold.NumUndoEntries(), 1);
    ASSERT_TRUE(theHold.Undo());
    EXPECT_EQ(List(lm), before);
    ASSERT_TRUE(theHold.Redo());
    EXPECT_EQ(List(lm), expected);
  }
}

TEST_F(LineManagerTest, FindsTheFirstSetListingANodeOrMaterial) {
  LineManager* lm = Make(3);
  ReferenceHolder root(new TestNode);
  root.GetAs<TestNode>()->MakeRoot();
  ReferenceHolder head(new TestNode(root.GetAs<INode>(), true, false));
  ReferenceHolder member(new TestNode(head.GetAs<INode>(), false, true));
  ReferenceHolder loose(new TestNode(root.GetAs<INode>()));
  ReferenceHolder mtl(new SettingHolder);

  lm->GetLineSet(1)->MainBlock()->Append(kLineSetObjects, head.Get());
  lm->GetLineSet(2)->MainBlock()->Append(kLineSetObjects, head.Get());
  lm->GetLineSet(2)->MainBlock()->Append(kLineSetMtls, mtl.Get());
  EXPECT_EQ(lm->LineSetOfNode(member.GetAs<INode>()), lm->GetLineSet(1));
  EXPECT_EQ(lm->LineSetOfNode(loose.GetAs<INode>()), nullptr);
  EXPECT_EQ(lm->LineSetOfMaterial(mtl.GetAs<Mtl>()), lm->GetLineSet(2));
  // Priority follows the list: moving the last set to the front wins.
  LineSet* last[] = {lm->GetLineSet(2)};
  lm->MoveLineSets(last, false);
  lm->MoveLineSets(last, false);
  EXPECT_EQ(lm->LineSetOfNode(member.GetAs<INode>()), last[0]);
}

TEST_F(LineManagerTest, KeepsTheClipboardWhileAnEffectExists) {
  EXPECT_EQ(LineSettingClipboard(), nullptr);
  LineManager* lm = Make(0);
  ASSERT_NE(LineSettingClipboard(), nullptr);
  ReferenceHolder second(new LineManager);
  SettingHolder* clip = LineSettingClipboard();
  second.Release();
  EXPECT_EQ(LineSettingClipboard(), clip);
  (void)lm;
  holder.Release();
  EXPECT_EQ(LineSettingClipboard(), nullptr);
}

TEST_F(LineManagerTest, WritesTheCountChunkAndRefusesADamagedCount) {
  LineManager* lm = Make(3);
  MemorySave out;
  ASSERT_EQ(lm->Save(&out), IO_OK);
  MemoryLoad in(out.Bytes());
  ASSERT_EQ(in.OpenChunk(), IO_OK);
  EXPECT_EQ(in.CurChunkID(), 0x4000);
  EXPECT_EQ(in.CurChunkLength(), 4u);
  int32_t n = 0;
  ASSERT_EQ(in.ReadInt(n), IO_OK);
  EXPECT_EQ(n, 3);
  ASSERT_EQ(in.CloseChunk(), IO_OK);
  ASSERT_EQ(in.OpenChunk(), IO_OK);
  EXPECT_EQ(in.CurChunkID(), 0x4001);

  for (int32_t bad : {-1, 1 << 20}) {
    MemorySave damaged;
    damaged.BeginChunk(0x4000);
    damaged.WriteInt(bad);
    damaged.EndChunk();
    MemoryLoad back(damaged.Bytes());
    ReferenceHolder fresh(new LineManager(true));
    EXPECT_EQ(fresh.GetAs<LineManager>()->Load(&back), IO_ERROR) << bad;
  }
}

TEST_F(LineManagerTest, LoadsTheSetsAfterTheMainBlockInTheSavedOrder) {
  testing::RegisterLineSetTestClasses();
  GetClassDirectory().AddClass(GetLineManagerDesc());
  LineManager* lm = Make(3);
  lm->GetLineSet(0)->SetNameNumber(9);
  lm->MainBlock()->SetValue(kLineOverSampling, 0, 3);
  MemorySave out;
  ReferenceTarget* roots[] = {lm};
  std::string error;
  ASSERT_TRUE(SaveReferenceGraph(out, roots, &error)) << error;
  GraphLoadResult loaded = LoadReferenceGraph(out.Bytes());
  ASSERT_TRUE(loaded) << loaded.error;
  auto* back = dynamic_cast<LineManager*>(loaded.graph->Root(0));
  ASSERT_NE(back, nullptr);
  ASSERT_EQ(back->NumLineSets(), 3);
  ExpectReferencesMatch(back);
  EXPECT_EQ(back->MainBlock()->GetInt(kLineOverSampling), 3);
  const char* names[] = {"セット9", "セット2", "セット3"};
  for (int i = 0; i < 3; ++i) {
    ASSERT_NE(back->GetLineSet(i), nullptr);
    EXPECT_EQ(back->GetLineSet(i)->Name(), names[i]);
  }
}

}  // namespace
}  // namespace tarnis
