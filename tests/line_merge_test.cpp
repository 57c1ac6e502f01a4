// Line effects carried through merges, in the real host: a line merge
// helper in a saved scene holds that scene's line effects in the file, and
// merging the file into another scene offers them through the merge
// dialogs, which add them, merge their line sets (by name or at the end) or
// drop them; the incoming helpers are deleted and the scene's own stay.
// Damaged files with a helper claiming impossible counts are refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "host/host_classes.h"
#include "host/host_interface.h"
#include "host/scene_file.h"
#include "host/scene_loader.h"
#include "sdk/class_desc.h"
#include "sdk/param_block.h"
#include "sdk/testing/scratch_dir.h"
#include "tarnis/line/effect/line_manager.h"
#include "tarnis/line/effect/line_set.h"
#include "tarnis/plugin/class_table.h"
#include "tarnis/plugin/line_merge.h"
#include "tarnis/plugin/line_merge_helper_class_desc.h"

namespace {

using tarnis::LineManager;
using tarnis::LineMergeHelper;
using tarnis::LineSet;

// Two line effects (sets "セット1" with Ball, "Far" with Cone) and the
// helpers named in `helpers`.
std::string Incoming(const std::vector<std::string>& helpers, bool effects = true) {
  std::string nodes = R"({"name": "Ball", "mesh": {"primitive": "sphere", "radius": 1}},
    {"name": "Cone", "mesh": {"primitive": "box", "size": [1, 1, 1]}})";
  for (const std::string& h : helpers)
    nodes += R"(, {"name": ")" + h + R"(", "object": {"class": "Tarnis_LineMergeHelper"}})";
  const std::string lines = R"(
    {"class": "Tarnis_Line", "refs": {"1": {"class": "Tarnis_LineSet",
       "params": {"main": {"name": "セット1", "objects": ["Ball"]}}}}},
    {"class": "Tarnis_Line", "refs": {"1": {"class": "Tarnis_LineSet",
       "params": {"main": {"name": "Far", "objects": ["Cone"]}}}}})";
  return R"({"tarnis": 1, "nodes": [)" + nodes + R"(], "effects": [)" + (effects ? lines : "") +
         "]}";
}

// The scene merged into: a box, optionally a line effect with set "セット1"
// (the box) and a helper of its own.
std::string Current(bool lineEffect, bool helper) {
  std::string nodes = R"({"name": "Box", "mesh": {"primitive": "box", "size": [2, 2, 2]}})";
  if (helper) nodes += R"(, {"name": "Mine", "object": {"class": "Tarnis_LineMergeHelper"}})";
  const std::string effect = R"({"class": "Tarnis_Line", "refs": {"1": {"class": "Tarnis_LineSet",
       "params": {"main": {"name": "セット1", "objects": ["Box"]}}}}})";
  return R"({"tarnis": 1, "nodes": [)" + nodes + R"(], "effects": [)" + (lineEffect ? effect : "") +
         "]}";
}

class LineMerge : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    host::RegisterHostClasses();
    for (ClassDesc2* cd : tarnis::ClassTable()) GetClassDirectory().AddClass(cd);
    tarnis::RegisterLineMergeNotifications();
  }

  LineMerge() : ip_(nullptr, stderr, false, {}) {
    ip_.SetShowProgress(false);
    previous_ = GetCOREInterface();
    SetCOREInterface(&ip_);
    ip_.SetMergeChooser([this](const MergeQuestion& q, MergeAnswer& a) {
      questions.push_back(q);
      return chooser ? chooser(q, a) : true;
    });
  }
  ~LineMerge() override { SetCOREInterface(previous_); }

  std::unique_ptr<host::Scene> Load(const std::string& text) {
    std::string error;
    auto scene = host::LoadSceneText(text, dir.File("scene.json"), nullptr, &error);
    EXPECT_TRUE(scene) << error;
    return scene;
  }

  // Saves the incoming scene and merges the file into `scene`.
  void Merge(host::Scene& scene, const std::string& incoming) {
    auto other = Load(incoming);
    std::string error;
    ASSERT_TRUE(host::SaveSceneFile(*other, dir.File("other.tscene"), &error)) << error;
    other.reset();
    const std::string paths[] = {dir.File("other.tscene")};
    std::vector<std::string> errors;
    host::MergeSceneFiles(scene, paths, nullptr, &errors);
    EXPECT_TRUE(errors.empty()) << errors.front();
  }

  static std::vector<LineManager*> LineEffects(host::Scene& scene) {
    std::vector<LineManager*> out;
    for (int i = 0; i < scene.Effects().Count(); ++i) {
      if (auto* e = dynamic_cast<LineManager*>(scene.Effects().Get(i))) out.push_back(e);
    }
    return out;
  }

  static LineMergeHelper* HelperOf(host::Scene& scene, const char* node) {
    host::HostNode* n = scene.FindNode(node);
    return n ? dynamic_cast<LineMergeHelper*>(n->GetObjectRef()) : nullptr;
  }

  static std::vector<std::string> Members(LineSet* set) {
    std::vector<std::string> names;
    IParamBlock2* pb = set->MainBlock();
    for (int i = 0; i < pb->Count(tarnis::kLineSetObjects); ++i) {
      auto* node = dynamic_cast<INode*>(pb->GetReferenceTarget(tarnis::kLineSetObjects, 0, i));
      names.push_back(node ? node->GetName() : "(empty)");
    }
    return names;
  }

  ScratchDir dir;
  host::HostInterface ip_;
  Interface* previous_;
  std::vector<MergeQuestion> questions;
  std::function<bool(const MergeQuestion&, MergeAnswer&)> chooser;
};

TEST_F(LineMerge, ASavedHelperHoldsTheSceneLineEffectsOnlyInTheFile) {
  auto scene = Load(Incoming({"Helper"}));
  LineMergeHelper* helper = HelperOf(*scene, "Helper");
  ASSERT_NE(helper, nullptr);
  EXPECT_EQ(helper->NumRefs(), 0);
  std::string error;
  ASSERT_TRUE(host::SaveSceneFile(*scene, dir.File("saved.tscene"), &error)) << error;
  EXPECT_EQ(helper->NumRefs(), 0) << "the list is emptied after the save";

  // Read back without the open notifications: the file's helper holds the
  // file's two line effects, in effect-list order.
  const std::string bytes = ReadBytes(dir.File("saved.tscene"));
  const std::vector<uint8_t> data(bytes.begin(), bytes.end());
  auto loaded = host::DeserializeScene(data, "saved.tscene", nullptr, &error);
  ASSERT_TRUE(loaded) << error;
  LineMergeHelper* saved = HelperOf(*loaded, "Helper");
  ASSERT_NE(saved, nullptr);
  const std::vector<LineManager*> effects = LineEffects(*loaded);
  ASSERT_EQ(effects.size(), 2u);
  ASSERT_EQ(saved->NumRefs(), 2);
  EXPECT_EQ(saved->GetReference(0), effects[0]);
  EXPECT_EQ(saved->GetReference(1), effects[1]);

  // Opening the file empties the lists again.
  auto opened = host::OpenSceneFile(dir.File("saved.tscene"), nullptr, &error);
  ASSERT_TRUE(opened) << error;
  EXPECT_EQ(HelperOf(*opened, "Helper")->NumRefs(), 0);
}

TEST_F(LineMerge, ASceneWithoutLineEffectsSavesEmptyHelpers) {
  auto scene = Load(Incoming({"Helper"}, false));
  std::string error;
  ASSERT_TRUE(host::SaveSceneFile(*scene, dir.File("saved.tscene"), &error)) << error;
  const std::string bytes = ReadBytes(dir.File("saved.tscene"));
  auto loaded = host::DeserializeScene(std::vector<uint8_t>(bytes.begin(), bytes.end()), "saved",
                                       nullptr, &error);
  ASSERT_TRUE(loaded) << error;
  EXPECT_EQ(HelperOf(*loaded, "Helper")->NumRefs(), 0);
}

TEST_F(LineMerge, AddingAsksForEachEffectUnlessApplyToRemainingIsChosen) {
  for (bool applyToRemaining : {false, true}) {
    SCOPED_TRACE(applyToRemaining);
    questions.clear();
    chooser = [&](const MergeQuestion&, MergeAnswer& a) {
      a.choice = MergeAnswer::kMergeInto;  // no effect to merge into: counts as adding
      a.applyToRemaining = applyToRemaining;
      return true;
    };
    auto scene = Load(Current(false, false));
    Merge(*scene, Incoming({"Helper"}));
    ASSERT_EQ(questions.size(), applyToRemaining ? 1u : 2u);
    EXPECT_EQ(questions[0].title, "Tarnis Line Merge ( 1 / 2 )");
    EXPECT_EQ(questions[0].count, 2);
    EXPECT_FALSE(questions[0].canChooseExisting);
    EXPECT_TRUE(questions[0].existingNames.empty());
    EXPECT_TRUE(questions[0].canApplyToRemaining);
    if (!applyToRemaining) {
      EXPECT_EQ(questions[1].position, 2);
      EXPECT_FALSE(questions[1].canApplyToRemaining) << "the last dialog";
    }
    const std::vector<LineManager*> effects = LineEffects(*scene);
    ASSERT_EQ(effects.size(), 2u);
    EXPECT_EQ(effects[0]->GetLineSet(0)->Name(), "セット1");
    EXPECT_EQ(Members(effects[0]->GetLineSet(0)), std::vector<std::string>{"Ball"});
    EXPECT_EQ(effects[1]->GetLineSet(0)->Name(), "Far");
    EXPECT_EQ(scene->FindNode("Helper"), nullptr);
    EXPECT_NE(scene->FindNode("Ball"), nullptr);
  }
}

TEST_F(LineMerge, MergingByNameJoinsASetOfTheSameNameAndAppendsTheOthers) {
  chooser = [](const MergeQuestion& q, MergeAnswer& a) {
    EXPECT_TRUE(q.canChooseExisting);
    EXPECT_EQ(q.existingNames.size(), 1u);
    a.choice = MergeAnswer::kMergeInto;
    a.existingIndex = 0;
    a.mergeByName = true;
    a.applyToRemaining = true;
    return true;
  };
  auto scene = Load(Current(true, false));
  Merge(*scene, Incoming({"Helper"}));
  EXPECT_EQ(questions.size(), 1u);
  const std::vector<LineManager*> effects = LineEffects(*scene);
  ASSERT_EQ(effects.size(), 1u);
  LineManager* effect = effects[0];
  ASSERT_EQ(effect->NumLineSets(), 2);
  EXPECT_EQ(effect->GetLineSet(0)->Name(), "セット1");
  EXPECT_EQ(Members(effect->GetLineSet(0)), (std::vector<std::string>{"Box", "Ball"}));
  EXPECT_EQ(effect->GetLineSet(1)->Name(), "Far");
  EXPECT_EQ(Members(effect->GetLineSet(1)), std::vector<std::string>{"Cone"});
}

TEST_F(LineMerge, MergingWithoutNamesAppendsEverySet) {
  chooser = [](const MergeQuestion&, MergeAnswer& a) {
    a.choice = MergeAnswer::kMergeInto;
    a.existingIndex = 7;  // outside the list: the one effect there is
    a.applyToRemaining = true;
    return true;
  };
  auto scene = Load(Current(true, false));
  Merge(*scene, Incoming({"Helper"}));
  const std::vector<LineManager*> effects = LineEffects(*scene);
  ASSERT_EQ(effects.size(), 1u);
  ASSERT_EQ(effects[0]->NumLineSets(), 3);
  EXPECT_EQ(effects[0]->GetLineSet(1)->Name(), "セット1");
  EXPECT_EQ(Members(effects[0]->GetLineSet(1)), std::vector<std::string>{"Ball"});
  EXPECT_EQ(effects[0]->GetLineSet(2)->Name(), "Far");
}

TEST_F(LineMerge, DroppingOrCancellingLeavesTheEffectOut) {
  // The first dialog is cancelled, the second answers a choice above 2.
  chooser = [](const MergeQuestion& q, MergeAnswer& a) {
    a.choice = 5;
    return q.position == 2;
  };
  auto scene = Load(Current(false, false));
  Merge(*scene, Incoming({"Helper"}));
  EXPECT_EQ(questions.size(), 2u);
  EXPECT_TRUE(LineEffects(*scene).empty());
  EXPECT_EQ(scene->FindNode("Helper"), nullptr);
}

TEST_F(LineMerge, IncomingHelpersGoAndTheSceneOwnStay) {
  auto scene = Load(Current(false, true));
  LineMergeHelper* mine = HelperOf(*scene, "Mine");
  ASSERT_NE(mine, nullptr);
  Merge(*scene, Incoming({"First", "Second"}));
  EXPECT_EQ(questions.size(), 2u) << "one sequence for two helpers";
  EXPECT_EQ(LineEffects(*scene).size(), 2u);
  EXPECT_EQ(scene->FindNode("First"), nullptr);
  EXPECT_EQ(scene->FindNode("Second"), nullptr);
  EXPECT_EQ(HelperOf(*scene, "Mine"), mine);
  const std::vector<LineMergeHelper*>& live = tarnis::LineMergeHelpers();
  EXPECT_EQ(std::count(live.begin(), live.end(), mine), 1);
  for (LineMergeHelper* h : live) EXPECT_EQ(h->NumRefs(), 0);

  // A second merge of the same file treats "Mine" as present again.
  questions.clear();
  Merge(*scene, Incoming({"Third"}));
  EXPECT_EQ(questions.size(), 2u);
  EXPECT_EQ(HelperOf(*scene, "Mine"), mine);
  EXPECT_EQ(scene->FindNode("Third"), nullptr);
}

TEST_F(LineMerge, AFileThatBringsNothingAsksNothing) {
  auto scene = Load(Current(false, true));
  const std::string paths[] = {dir.File("missing.tscene")};
  std::vector<std::string> errors;
  host::MergeSceneFiles(*scene, paths, nullptr, &errors);
  EXPECT_EQ(errors.size(), 1u);
  EXPECT_TRUE(questions.empty());
  EXPECT_NE(HelperOf(*scene, "Mine"), nullptr);
}

// The helper's count chunk holding 2 in a saved scene, replaced by `count`.
std::string WithHelperCount(const std::string& file, int32_t count) {
  const char pattern[] = {0x00, 0x40, 4, 0, 0, 0, 2, 0, 0, 0, 0x01, 0x40, 0, 0, 0, 0};
  const std::string needle(pattern, sizeof pattern);
  std::string bytes = file;
  const size_t at = bytes.find(needle);
  EXPECT_NE(at, std::string::npos);
  EXPECT_EQ(bytes.find(needle, at + 1), std::string::npos);
  if (at != std::string::npos) std::memcpy(bytes.data() + at + 6, &count, sizeof count);
  return bytes;
}

TEST_F(LineMerge, HelpersClaimingImpossibleCountsAreRefusedWithAMessage) {
  auto scene = Load(Incoming({"Helper"}));
  std::string error;
  ASSERT_TRUE(host::SaveSceneFile(*scene, dir.File("good.tscene"), &error)) << error;
  const std::string good = ReadBytes(dir.File("good.tscene"));
  for (int32_t count : {-1, 1 << 20, 2147483647}) {
    SCOPED_TRACE(count);
    WriteBytes(dir.File("bad.tscene"), WithHelperCount(good, count));
    error.clear();
    EXPECT_FALSE(host::OpenSceneFile(dir.File("bad.tscene"), nullptr, &error));
    EXPECT_NE(error.find("bad.tscene"), std::string::npos) << error;

    auto current = Load(Current(true, true));
    const std::string paths[] = {dir.File("bad.tscene")};
    std::vector<std::string> errors;
    EXPECT_EQ(host::MergeSceneFiles(*current, paths, nullptr, &errors), 0);
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(LineEffects(*current).size(), 1u);
    EXPECT_EQ(LineEffects(*current)[0]->NumLineSets(), 1);
    EXPECT_NE(HelperOf(*current, "Mine"), nullptr);
  }
  // Fewer slots than the file has references for also fails cleanly.
  WriteBytes(dir.File("bad.tscene"), WithHelperCount(good, 0));
  EXPECT_FALSE(host::OpenSceneFile(dir.File("bad.tscene"), nullptr, &error));
}

TEST_F(LineMerge, AHelperWithASpareEmptySlotStillBringsItsEffects) {
  auto scene = Load(Incoming({"Helper"}));
  std::string error;
  ASSERT_TRUE(host::SaveSceneFile(*scene, dir.File("good.tscene"), &error)) << error;
  WriteBytes(dir.File("spare.tscene"), WithHelperCount(ReadBytes(dir.File("good.tscene")), 3));
  auto current = Load(Current(false, false));
  const std::string paths[] = {dir.File("spare.tscene")};
  std::vector<std::string> errors;
  host::MergeSceneFiles(*current, paths, nullptr, &errors);
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(questions.size(), 2u);
  EXPECT_EQ(LineEffects(*current).size(), 2u);
}

TEST_F(LineMerge, NothingIsDrawnForAHelperNode) {
  auto scene = Load(Current(false, true));
  host::HostNode* node = scene->FindNode("Mine");
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->GetMesh(0), nullptr);
  EXPECT_EQ(node->GetObjectRef()->SuperClassID(), HELPER_CLASS_ID);
}

}  // namespace
