// Tests of line settings: the block table, the line-type and depth blocks,
// value mirroring between settings, brushes and type blocks (with animation,
// undo and the linking switch), maps that would contain their setting,
// preparing a frame, cloning, saving and loading, the class descriptor and
// the holder's slot repair.
#include "tarnis/line/effect/line_setting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "sdk/hold.h"
#include "sdk/notify.h"
#include "sdk/ref_graph.h"
#include "sdk/testing/fake_interface.h"
#include "tarnis/line/brush/brush.h"
#include "tarnis/line/brush/brush_test_helpers.h"
#include "tarnis/line/effect/line_setting_class_desc.h"
#include "tarnis/line/effect/line_setting_test_helpers.h"
#include "tarnis/line/effect/param_linking.h"
#include "tarnis/line/effect/setting_holder.h"
#include "tarnis/plugin/class_table.h"

namespace tarnis {
namespace {

using testing::FakeLineSet;
using testing::ProbeMap;

constexpr float kNoLimit = std::numeric_limits<float>::infinity();

float DefaultOf(const ParamDef& def) {
  if (def.def.Is<float>()) return def.def.Get<float>();
  if (def.def.Is<int>()) return static_cast<float>(def.def.Get<int>());
  return def.def.Is<Color>() ? def.def.Get<Color>().r : -1.0f;
}

struct Row {
  ParamID id;
  const char* name;
  ParamType2 type;
  float def, min, max;
  bool animatable;
};

TEST(LineSettingBlock, DeclaresEveryParameterWithItsTypeDefaultRangeAndAnimation) {
  const Row rows[] = {
      {kLineColor, "lineColor", TYPE_RGBA, 0, -kNoLimit, kNoLimit, true},
      {kLineMapOpacity, "lineMapOpacity", TYPE_PCNT_FRAC, 100, 0, 100, true},
      {kLineMap, "lineMap", TYPE_TEXMAP, -1, -kNoLimit, kNoLimit, false},
      {kLineMapEnable, "lineMapEnable", TYPE_BOOL, 1, -kNoLimit, kNoLimit, true},
      {kLineBlend, "lineBlend", TYPE_INT, 0, 0, 15, false},
      {kLineAlpha, "lineAlpha", TYPE_PCNT_FRAC, 100, 0, 100, true},
      {kLineSize, "lineSize", TYPE_FLOAT, 1, 0.1f, 100, true},
      {kLineStretch, "lineStretch", TYPE_PCNT_FRAC, 0, -100, 100, true},
      {kLineAngle, "lineAngle", TYPE_ANGLE, 0, -3600, 3600, true},
      {kLineSizeMapEnable, "lineSizeMapEnable", TYPE_BOOL, 1, -kNoLimit, kNoLimit, true},
      {kLineSizeMapAmount, "lineSizeMapAmount", TYPE_PCNT_FRAC, 100, 0, 100, true},
      {kLineSizeMap, "lineSizeMap", TYPE_TEXMAP, -1, -kNoLimit, kNoLimit, false},
  };
  ParamBlockDesc2* desc = LineSettingBlockDesc();
  EXPECT_EQ(desc->ID(), 0);
  EXPECT_EQ(desc->InternalName(), "main");
  EXPECT_EQ(desc->Count(), 12);
  for (const Row& row : rows) {
    const ParamDef* def = desc->GetParamDef(row.id);
    ASSERT_NE(def, nullptr) << row.name;
    EXPECT_EQ(def->internalName, row.name);
    EXPECT_EQ(def->type, row.type) << row.name;
    if (row.def >= 0) {
      EXPECT_EQ(DefaultOf(*def), row.def) << row.name;
    }
    EXPECT_EQ(def->range.min, row.min) << row.name;
    EXPECT_EQ(def->range.max, row.max) << row.name;
    EXPECT_EQ((def->flags & P_ANIMATABLE) != 0, row.animatable) << row.name;
  }
  EXPECT_EQ(desc->GetParamDef(kLineMap)->ownerRef, kSettingLineMapRef);
  EXPECT_EQ(desc->GetParamDef(kLineSizeMap)->ownerRef, kSettingSizeMapRef);
}

TEST(LineTypeBlocks, CarryTheTypeDigitAndEdgeSwitchesOnlyForTypesOneAndTwo) {
  for (int t = 1; t <= 3; ++t) {
    ParamBlockDesc2* type = LineTypeBlockDesc(t);
    ParamBlockDesc2* depth = LineDepthBlockDesc(t);
    const std::string digit = std::to_string(t);
    EXPECT_EQ(type->ID(), t);
    EXPECT_EQ(depth->ID(), 3 + t);
    EXPECT_EQ(type->InternalName(), "type" + digit);
    EXPECT_EQ(depth->InternalName(), "damp" + digit);
    EXPECT_EQ(type->GetParamDef(kTypeLineColor)->internalName, "lineColor" + digit);
    EXPECT_EQ(type->GetParamDef(kTypeLineMap)->ownerRef, 6 + t);
    EXPECT_EQ(type->GetParamDef(kTypeLineSizeMap)->ownerRef, 9 + t);
    EXPECT_EQ(depth->GetParamDef(kDepthZAlphaObjectNode)->internalName,
              "lineZAlphaObjectNode" + digit);
    EXPECT_EQ(DefaultOf(*depth->GetParamDef(kDepthZMax)), 1000.0f);
    EXPECT_EQ(type->Count(), t == 3 ? 17 : 26);
    EXPECT_EQ(depth->Count(), 11);
    for (ParamID edge : {kTypeEdgeObject, kTypeEdgeMatID, kTypeEdgeSmooth, kTypeEdgeNormalWire}) {
      const ParamDef* def = type->GetParamDef(edge);
      if (t == 3) {
        EXPECT_EQ(def, nullptr) << edge;
      } else {
        ASSERT_NE(def, nullptr) << edge;
        const bool on = t == 1 && edge != kTypeEdgeNormalWire;
        EXPECT_EQ(DefaultOf(*def), on ? 1.0f : 0.0f) << t << " " << edge;
      }
    }
  }
  EXPECT_EQ(LineTypeBlockDesc(4), nullptr);
  EXPECT_EQ(LineDepthBlockDesc(0), nullptr);
}

// Two line sets sharing one base setting of type 1, which has a brush.
struct Scene {
  Scene() {
    setting = new LineSetting;
    a.Set(new FakeLineSet);
    b.Set(new FakeLineSet);
    A().SetBase(1, setting);
    B().SetBase(1, setting);
  }
  FakeLineSet& A() { return *a.GetAs<FakeLineSet>(); }
  FakeLineSet& B() { return *b.GetAs<FakeLineSet>(); }

  LineSetting* setting;
  ReferenceHolder a, b;
};

TEST(LineSettingMirroring, CopiesColourFromSettingToTypeBlocksAndBack) {
  Scene s;
  s.setting->Block()->SetValue(kLineColor, 0, Color(0.25f, 0.5f, 0.75f));
  EXPECT_EQ(s.A().TypeBlock(1)->GetColor(kTypeLineColor), Color(0.25f, 0.5f, 0.75f));
  EXPECT_EQ(s.B().TypeBlock(1)->GetColor(kTypeLineColor), Color(0.25f, 0.5f, 0.75f));
  EXPECT_EQ(s.A().TypeBlock(2)->GetColor(kTypeLineColor), Color(0, 0, 0));

  s.A().TypeBlock(1)->SetValue(kTypeLineColor, 0, Color(1, 0, 0));
  EXPECT_EQ(s.setting->Block()->GetColor(kLineColor), Color(1, 0, 0));
  EXPECT_EQ(s.B().TypeBlock(1)->GetColor(kTypeLineColor), Color(1, 0, 0));

  // Every other mirrored row goes the same way, under its own ids.
  s.A().TypeBlock(1)->SetValue(kTypeLineSizeMapAmount, 0, 40.0f);
  EXPECT_EQ(s.setting->Block()->GetFloat(kLineSizeMapAmount), 40.0f);
  s.setting->Block()->SetValue(kLineBlend, 0, 7);
  EXPECT_EQ(s.B().TypeBlock(1)->GetInt(kTypeLineBlend), 7);
  // Edge switches are not mirrored anywhere.
  s.A().TypeBlock(1)->SetValue(kTypeEdgeNormal, 0, 1);
  EXPECT_EQ(s.B().TypeBlock(1)->GetInt(kTypeEdgeNormal), 0);

  // A reset setting hands its defaults on.
  s.setting->Reset();
  EXPECT_EQ(s.B().TypeBlock(1)->GetColor(kTypeLineColor), Color(0, 0, 0));
  EXPECT_EQ(s.A().TypeBlock(1)->GetInt(kTypeLineBlend), 0);
}

TEST(LineSettingMirroring, MapsFollowBetweenSettingAndTypeBlockSlots) {
  Scene s;
  auto* lineMap = new ProbeMap(0.2f);
  s.setting->SetSubTexmap(0, lineMap);
  EXPECT_EQ(s.A().GetReference(TypeLineMapRef(1)), lineMap);
  EXPECT_EQ(s.B().TypeBlock(1)->GetReferenceTarget(kTypeLineMap), lineMap);

  auto* sizeMap = new ProbeMap(0.4f);
  s.A().TypeBlock(1)->SetValue(kTypeLineSizeMap, 0, static_cast<ReferenceTarget*>(sizeMap));
  EXPECT_EQ(s.setting->SizeMap(), sizeMap);
  EXPECT_EQ(s.B().GetReference(TypeSizeMapRef(1)), sizeMap);

  s.setting->SetSubTexmap(0, nullptr);
  EXPECT_EQ(s.A().GetReference(TypeLineMapRef(1)), nullptr);
}

TEST(LineSettingMirroring, AttachingABaseSettingFillsTheTypeBlock) {
  ReferenceHolder set(new FakeLineSet);
  auto* setting = new LineSetting;
  ReferenceHolder keep(setting);
  setting->Block()->SetValue(kLineSize, 0, 4.5f);
  setting->Block()->SetValue(kLineMapEnable, 0, 0);
  setting->GetBrush()->Block(kBrushBlockParameters)->SetValue(kBrushMapAngle, 0, 30.0f);
  set.GetAs<FakeLineSet>()->SetBase(2, setting);
  IParamBlock2* tb = set.GetAs<FakeLineSet>()->TypeBlock(2);
  EXPECT_EQ(tb->GetFloat(kTypeLineSize), 4.5f);
  EXPECT_EQ(tb->GetInt(kTypeLineMapEnable), 0);
  EXPECT_EQ(tb->GetFloat(kTypeLineAngle), 30.0f);
}

TEST(LineSettingMirroring, StretchAndAngleGoThroughTheSharedBrush) {
  Scene s;
  auto* other = new LineSetting;
  s.B().SetBase(2, other);
  other->SetSubTexmap(1, s.setting->GetBrush());  // both settings share one brush
  ASSERT_EQ(other->GetBrush(), s.setting->GetBrush());
  IParamBlock2* tip = s.setting->GetBrush()->Block(kBrushBlockParameters);

  s.setting->Block()->SetValue(kLineAngle, 0, 45.0f);
  EXPECT_EQ(tip->GetFloat(kBrushMapAngle), 45.0f);
  EXPECT_EQ(other->Block()->GetFloat(kLineAngle), 45.0f);
  EXPECT_EQ(s.A().TypeBlock(1)->GetFloat(kTypeLineAngle), 45.0f);
  EXPECT_EQ(s.B().TypeBlock(2)->GetFloat(kTypeLineAngle), 45.0f);

  s.B().TypeBlock(2)->SetValue(kTypeLineStretch, 0, -20.0f);
  EXPECT_EQ(tip->GetFloat(kBrushMapStretch), -20.0f);
  EXPECT_EQ(s.setting->Block()->GetFloat(kLineStretch), -20.0f);
  EXPECT_EQ(other->Block()->GetFloat(kLineStretch), -20.0f);
  EXPECT_EQ(s.A().TypeBlock(1)->GetFloat(kTypeLineStretch), -20.0f);
}

TEST(LineSettingMirroring, AttachingABrushTakesItsStretchAndAngle) {
  Scene s;
  auto* brush = new Brush;
  brush->Block(kBrushBlockParameters)->SetValue(kBrushMapStretch, 0, 12.0f);
  brush->Block(kBrushBlockParameters)->SetValue(kBrushMapAngle, 0, -90.0f);
  s.setting->SetSubTexmap(1, brush);
  EXPECT_EQ(s.setting->Block()->GetFloat(kLineStretch), 12.0f);
  EXPECT_EQ(s.setting->Block()->GetFloat(kLineAngle), -90.0f);
  EXPECT_EQ(s.B().TypeBlock(1)->GetFloat(kTypeLineAngle), -90.0f);
  // Sub-map 1 takes only brushes.
  ReferenceHolder probe(new ProbeMap(0.5f));
  s.setting->SetSubTexmap(1, probe.GetAs<ProbeMap>());
  EXPECT_EQ(s.setting->GetBrush(), brush);
}

TEST(LineSettingMirroring, AnimationIsMirroredAndRemovedAgain) {
  Scene s;
  IParamBlock2* pb = s.setting->Block();
  IParamBlock2* tb = s.A().TypeBlock(1);
  pb->MakeAnimated(kLineSize, KeyInterp::kLinear);
  pb->SetValue(kLineSize, 0, 2.0f);
  pb->SetValue(kLineSize, TIME_TICKSPERSEC, 10.0f);
  ASSERT_TRUE(tb->IsAnimated(kTypeLineSize));
  EXPECT_NE(tb->GetController(kTypeLineSize), pb->GetController(kLineSize));  // a copy
  EXPECT_FLOAT_EQ(tb->GetFloat(kTypeLineSize, TIME_TICKSPERSEC / 2), 6.0f);
  EXPECT_FLOAT_EQ(s.B().TypeBlock(1)->GetFloat(kTypeLineSize, TIME_TICKSPERSEC), 10.0f);

  pb->RemoveController(kLineSize);
  pb->SetValue(kLineSize, 0, 3.0f);
  EXPECT_FALSE(tb->IsAnimated(kTypeLineSize));
  EXPECT_FALSE(s.B().TypeBlock(1)->IsAnimated(kTypeLineSize));
  EXPECT_EQ(tb->GetFloat(kTypeLineSize, TIME_TICKSPERSEC), 3.0f);
}

TEST(LineSettingMirroring, IsNotRecordedForUndoAndUndoMirrorsAgain) {
  for (bool linkingDuringUndo : {true, false}) {
    theHold.Reset();
    Scene s;
    const int before = theHold.NumUndoEntries();
    theHold.Begin();
    s.setting->Block()->SetValue(kLineColor, 0, Color(0, 1, 0));
    theHold.Accept("パラメータ変更");
    ASSERT_EQ(theHold.NumUndoEntries(), before + 1);
    ASSERT_EQ(s.A().TypeBlock(1)->GetColor(kTypeLineColor), Color(0, 1, 0));

    SetParamLinking(linkingDuringUndo);
    ASSERT_TRUE(theHold.Undo());
    SetParamLinking(true);
    EXPECT_EQ(s.setting->Block()->GetColor(kLineColor), Color(0, 0, 0));
    // The type block comes back only through mirroring the restored value:
    // its copy was never recorded.
    const Color expected = linkingDuringUndo ? Color(0, 0, 0) : Color(0, 1, 0);
    EXPECT_EQ(s.A().TypeBlock(1)->GetColor(kTypeLineColor), expected) << linkingDuringUndo;
    theHold.Reset();
  }
}

TEST(LineSettingMirroring, StopsWhileLinkingIsOff) {
  Scene s;
  {
    ParamLinkingOff off;
    EXPECT_FALSE(ParamLinkingOn());
    s.setting->Block()->SetValue(kLineAlpha, 0, 20.0f);
    s.A().TypeBlock(1)->SetValue(kTypeLineSize, 0, 9.0f);
    EXPECT_FALSE(
        CopyLinkedParam(s.setting->Block(), kLineAlpha, s.A().TypeBlock(1), kTypeLineAlpha));
  }
  EXPECT_TRUE(ParamLinkingOn());
  EXPECT_EQ(s.A().TypeBlock(1)->GetFloat(kTypeLineAlpha), 100.0f);
  EXPECT_EQ(s.setting->Block()->GetFloat(kLineSize), 1.0f);
}

TEST(ParamLinking, IsOffWhileAFileIsOpenedOrMerged) {
  RegisterParamLinkingNotifications();
  RegisterParamLinkingNotifications();  // registering twice changes nothing
  for (auto [pre, post] : {std::pair{NOTIFY_FILE_PRE_OPEN, NOTIFY_FILE_POST_OPEN},
                           std::pair{NOTIFY_FILE_PRE_MERGE, NOTIFY_FILE_POST_MERGE}}) {
    Scene s;
    BroadcastNotification(pre);
    EXPECT_FALSE(ParamLinkingOn()) << pre;
    s.setting->Block()->SetValue(kLineSize, 0, 5.0f);
    BroadcastNotification(post);
    EXPECT_TRUE(ParamLinkingOn()) << post;
    EXPECT_EQ(s.A().TypeBlock(1)->GetFloat(kTypeLineSize), 1.0f);
    s.setting->Block()->SetValue(kLineSize, 0, 6.0f);
    EXPECT_EQ(s.A().TypeBlock(1)->GetFloat(kTypeLineSize), 6.0f);
  }
}

TEST(LineSetting, RefusesItselfOrAMapLeadingBackToItAsItsMap) {
  ReferenceHolder holder(new LineSetting);
  auto* setting = holder.GetAs<LineSetting>();
  setting->SetSubTexmap(0, setting);
  EXPECT_EQ(setting->LineMap(), nullptr);
  setting->Block()->SetValue(kLineSizeMap, 0, static_cast<ReferenceTarget*>(setting));
  EXPECT_EQ(setting->SizeMap(), nullptr);

  auto* loop = new ProbeMap(0.5f);
  ReferenceHolder keepLoop(loop);
  loop->ReplaceReference(0, setting);
  setting->SetSubTexmap(2, loop);
  EXPECT_EQ(setting->SizeMap(), nullptr);

  auto* plain = new ProbeMap(0.5f);
  setting->SetSubTexmap(0, plain);
  EXPECT_EQ(setting->LineMap(), plain);
  EXPECT_EQ(setting->Block()->GetReferenceTarget(kLineMap), plain);
}

TEST(LineSetting, PreparesAFrameWithScaledValuesAndOnlyTheMapsInUse) {
  ReferenceHolder holder(new LineSetting);
  auto* setting = holder.GetAs<LineSetting>();
  IParamBlock2* pb = setting->Block();
  pb->SetValue(kLineAlpha, 0, 40.0f);
  pb->SetValue(kLineMapOpacity, 0, 25.0f);
  pb->SetValue(kLineSize, 0, 2.5f);
  pb->SetValue(kLineBlend, 0, 3);
  setting->SetSubTexmap(0, new ProbeMap(1.0f));
  setting->SetSubTexmap(2, new ProbeMap(1.0f));

  LineFrameValues v = setting->PrepareFrame(0);
  EXPECT_FLOAT_EQ(v.alpha, 0.4f);
  EXPECT_FLOAT_EQ(v.mapOpacity, 0.25f);
  EXPECT_EQ(v.size, 2.5f);
  EXPECT_EQ(v.blend, 3);
  EXPECT_EQ(v.lineMap, setting->LineMap());
  EXPECT_EQ(v.sizeMap, setting->SizeMap());
  EXPECT_FLOAT_EQ(v.sizeMapAmount, 1.0f);

  pb->SetValue(kLineMapEnable, 0, 0);
  pb->SetValue(kLineSizeMapAmount, 0, 0.0f);
  v = setting->PrepareFrame(0);
  EXPECT_EQ(v.lineMap, nullptr);
  EXPECT_EQ(v.sizeMap, nullptr);
}

TEST(LineSetting, CloneKeepsValuesNameAndMapsWithItsOwnBrush) {
  ReferenceHolder holder(new LineSetting);
  auto* setting = holder.GetAs<LineSetting>();
  setting->SetName("ブラシ設定#1");
  setting->Block()->SetValue(kLineColor, 0, Color(0.1f, 0.2f, 0.3f));
  setting->Block()->SetValue(kLineAngle, 0, 15.0f);
  setting->GetBrush()->Block(kBrushBlockParameters)->SetValue(kBrushMapSize, 0, 33.0f);
  setting->SetSubTexmap(0, new ProbeMap(0.7f));

  ReferenceHolder copyHolder(CloneRefHierarchy(setting));
  auto* copy = copyHolder.GetAs<LineSetting>();
  ASSERT_NE(copy, nullptr);
  EXPECT_STREQ(copy->GetName(), "ブラシ設定#1");
  EXPECT_NE(copy->Block(), setting->Block());
  EXPECT_EQ(copy->Block()->GetColor(kLineColor), Color(0.1f, 0.2f, 0.3f));
  EXPECT_EQ(copy->Block()->GetFloat(kLineAngle), 15.0f);
  ASSERT_NE(copy->GetBrush(), nullptr);
  EXPECT_NE(copy->GetBrush(), setting->GetBrush());
  EXPECT_EQ(copy->GetBrush()->Block(kBrushBlockParameters)->GetFloat(kBrushMapSize), 33.0f);
  EXPECT_EQ(copy->GetBrush()->Block(kBrushBlockParameters)->GetFloat(kBrushMapAngle), 15.0f);
  ASSERT_NE(copy->LineMap(), nullptr);
  EXPECT_NE(copy->LineMap(), setting->LineMap());
  EXPECT_EQ(copy->SizeMap(), nullptr);
}

TEST(LineSetting, SurvivesASaveAndLoadRoundTrip) {
  testing::RegisterBrushTestClasses();
  GetClassDirectory().AddClass(GetLineSettingDesc());
  ReferenceHolder holder(new LineSetting);
  auto* setting = holder.GetAs<LineSetting>();
  setting->SetName("saved");
  setting->Block()->SetValue(kLineSize, 0, 7.5f);
  setting->Block()->SetValue(kLineStretch, 0, 50.0f);
  setting->SetSubTexmap(2, new ProbeMap(0.3f));

  MemorySave out;
  ReferenceTarget* roots[] = {setting};
  std::string error;
  ASSERT_TRUE(SaveReferenceGraph(out, roots, &error)) << error;
  GraphLoadResult loaded = LoadReferenceGraph(out.Bytes());
  ASSERT_TRUE(loaded) << loaded.error;
  auto* back = dynamic_cast<LineSetting*>(loaded.graph->Root(0));
  ASSERT_NE(back, nullptr);
  EXPECT_STREQ(back->GetName(), "saved");
  ASSERT_NE(back->Block(), nullptr);
  EXPECT_EQ(back->Block()->GetFloat(kLineSize), 7.5f);
  ASSERT_NE(back->GetBrush(), nullptr);
  EXPECT_EQ(back->GetBrush()->Block(kBrushBlockParameters)->GetFloat(kBrushMapStretch), 50.0f);
  ASSERT_NE(dynamic_cast<ProbeMap*>(back->SizeMap()), nullptr);
  EXPECT_FLOAT_EQ(dynamic_cast<ProbeMap*>(back->SizeMap())->value, 0.3f);
  EXPECT_EQ(back->LineMap(), nullptr);
  // Loaded settings mirror again.
  back->Block()->SetValue(kLineAngle, 0, 5.0f);
  EXPECT_EQ(back->GetBrush()->Block(kBrushBlockParameters)->GetFloat(kBrushMapAngle), 5.0f);
}

TEST(LineSettingClassDesc, DescribesTheSettingAndFollowsTheBrushInTheClassTable) {
  ClassDesc2* cd = GetLineSettingDesc();
  EXPECT_EQ(cd->SuperClassID(), TEXMAP_CLASS_ID);
  EXPECT_EQ(cd->ClassID(), Class_ID(0x71460FA7, 0x20262BF2));
  EXPECT_STREQ(cd->InternalName(), "Tarnis_LineSetting");
  EXPECT_STREQ(cd->ClassName(), "Tarnis Line Setting");
  EXPECT_EQ(cd->IsPublic(), 0);
  const auto& table = ClassTable();
  const auto brush = std::find(table.begin(), table.end(), GetBrushDesc());
  ASSERT_NE(brush, table.end());
  ASSERT_NE(brush + 1, table.end());
  EXPECT_EQ(*(brush + 1), cd);

  ReferenceHolder made(static_cast<ReferenceTarget*>(cd->Create(false)));
  auto* setting = made.GetAs<LineSetting>();
  ASSERT_NE(setting, nullptr);
  EXPECT_NE(setting->GetBrush(), nullptr);
  CStr name;
  setting->GetClassName(name);
  EXPECT_STREQ(name.data(), "Tarnis Line Brush");
  EXPECT_STREQ(setting->SubAnimName(2).data(), "BrushDetails");
  ReferenceHolder empty(static_cast<ReferenceTarget*>(cd->Create(true)));
  EXPECT_EQ(empty.GetAs<LineSetting>()->Block(), nullptr);
}

TEST(SettingHolder, RepairsForeignAndEmptyBaseSlotsWithOneWarning) {
  FakeInterface ui;
  ReferenceHolder setHolder(new FakeLineSet);
  ReferenceHolder holderHolder(new SettingHolder);
  FakeLineSet& set = *setHolder.GetAs<FakeLineSet>();
  SettingHolder& holder = *holderHolder.GetAs<SettingHolder>();
  auto* base = new LineSetting;
  auto* object = new LineSetting;
  set.SetBase(1, base);
  set.ReplaceReference(FakeLineSet::SettingRef(1, 1), object);
  EXPECT_EQ(RepairSettingSlots(&set, FakeLineSet::kFirstSettingRef, &holder), 0);
  EXPECT_TRUE(ui.messages.empty());

  // Ordinary maps dropped on both slots; the holder keeps what left.
  auto* probe = new ProbeMap(0.5f);
  holder.KeepOutgoing(0, base, probe);
  set.ReplaceReference(FakeLineSet::SettingRef(1, 0), probe);
  holder.KeepOutgoing(1, object, probe);
  set.ReplaceReference(FakeLineSet::SettingRef(1, 1), probe);
  EXPECT_EQ(holder.GetReference(0), base);

  EXPECT_EQ(RepairSettingSlots(&set, FakeLineSet::kFirstSettingRef, &holder), 2);
  EXPECT_EQ(set.Setting(1, 0), base);
  EXPECT_EQ(set.Setting(1, 1), object);
  EXPECT_EQ(holder.GetReference(0), nullptr);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "Brush Map Error");
  EXPECT_EQ(ui.messages[0].caption, "Tarnis");
  EXPECT_EQ(ui.messages[0].icon, MessageIcon::Warning);

  // With nothing kept a foreign object is still taken out of the slot.
  set.ReplaceReference(FakeLineSet::SettingRef(2, 3), new ProbeMap(0.1f));
  EXPECT_EQ(RepairSettingSlots(&set, FakeLineSet::kFirstSettingRef, &holder), 1);
  EXPECT_EQ(set.GetReference(FakeLineSet::SettingRef(2, 3)), nullptr);
  EXPECT_EQ(ui.messages.size(), 2u);
}

}  // namespace
}  // namespace tarnis
