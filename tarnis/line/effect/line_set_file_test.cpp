// Tests of line-set files: the instances and sections a line set writes,
// sharing through a write and a read, what a read carries over and what it
// keeps, links the reader skips, the file parameters, and files that are
// missing, damaged, cut short or cannot be written.
#include "tarnis/line/effect/line_set_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "sdk/testing/fake_interface.h"
#include "sdk/testing/scratch_dir.h"
#include "tarnis/common/mem_ini_handler.h"
#include "tarnis/line/brush/brush.h"
#include "tarnis/line/effect/line_set.h"
#include "tarnis/line/effect/line_set_test_helpers.h"

namespace tarnis {
namespace {

using testing::TestNode;

class SceneInterface : public FakeInterface {
 public:
  INode* GetINodeByName(const char* name) override {
    auto it = nodes.find(name);
    return it == nodes.end() ? nullptr : it->second;
  }
  void OutputFailed(const char* path, const char* reason) override {
    failed.push_back(std::string(path) + ": " + reason);
  }
  std::map<std::string, INode*> nodes;
  std::vector<std::string> failed;
};

class LineSetFile : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::RegisterLineSetTestClasses(); }

  template <class T>
  T* Keep(T* object) {
    kept_.push_back(std::make_unique<ReferenceHolder>(object));
    return object;
  }
  INode* SceneNode(const char* name) {
    auto* node = Keep(new TestNode);
    node->SetName(name);
    ip.nodes[name] = node;
    return node;
  }
  std::string Write(LineSet* set, const std::string& name = "set.tln") {
    const std::string path = dir.File(name);
    LineSetFileResult r = WriteLineSetFile(set, path.c_str());
    EXPECT_TRUE(r) << r.problem;
    return path;
  }
  // The whole look of a line set (blocks, curves, settings, brushes, how
  // they are shared), as the text of its file.
  std::string Look(LineSet* set) { return ReadBytes(Write(set, "look.tln")); }
  MemIniHandler Sections(const std::string& path) {
    MemIniHandler ini;
    EXPECT_TRUE(ini.Load(path));
    return ini;
  }

  SceneInterface ip;
  ScratchDir dir;

 private:
  std::vector<std::unique_ptr<ReferenceHolder>> kept_;
};

std::string ClassText(const Class_ID& id) {
  return std::to_string(id.PartA()) + " " + std::to_string(id.PartB());
}

TEST_F(LineSetFile, AFreshSetListsItselfThenEachSettingFollowedByItsBrush) {
  LineSet* set = Keep(new LineSet);
  MemIniHandler ini = Sections(Write(set));
  EXPECT_EQ(ini.ReadValue("Params", "NumInstance"), "37");
  EXPECT_EQ(ini.ReadValue("Instance0", "SClass_ID"), std::to_string(RENDER_EFFECT_CLASS_ID));
  EXPECT_EQ(ini.ReadValue("Instance0", "Class_ID"), ClassText(kLineSetClassID));
  for (int k = 0; k < 18; ++k) {
    const std::string setting = "Instance" + std::to_string(1 + 2 * k);
    const std::string brush = "Instance" + std::to_string(2 + 2 * k);
    LineSetting* s = set->Setting(1 + k / 6, k % 6);
    EXPECT_EQ(ini.ReadValue("Instance0", ("SubInstance" + std::to_string(13 + k)).c_str()),
              std::to_string(1 + 2 * k));
    EXPECT_EQ(ini.ReadValue(setting.c_str(), "Class_ID"), ClassText(kLineSettingClassID));
    EXPECT_EQ(ini.ReadValue(setting.c_str(), "SClass_ID"), "3088");
    EXPECT_EQ(ini.ReadValue(setting.c_str(), "Name"), s->GetName());
    EXPECT_EQ(ini.ReadValue(setting.c_str(), "SubInstance2"), std::to_string(2 + 2 * k));
    EXPECT_EQ(ini.ReadValue(brush.c_str(), "Class_ID"), ClassText(kBrushClassID));
    EXPECT_EQ(ini.ReadValue(brush.c_str(), "Name"), s->GetBrush()->GetName());
  }
  // The sections of the set and of the first setting, in the order written.
  std::vector<std::string> expected = {"Params", "Instance0"};
  for (int j = 0; j < 7; ++j) expected.push_back("Instance0 PB" + std::to_string(j));
  for (int n = 0; n < 6; ++n) expected.push_back("Instance0 CC" + std::to_string(n));
  for (const char* s : {"Instance1", "Instance1 PB0", "Instance2", "Instance2 PB0"}) {
    expected.push_back(s);
  }
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(ini.Sections()[i].name, expected[i]);
  EXPECT_TRUE(ini.ReadValue("Instance2 CC1", "0px"));
  EXPECT_FALSE(ini.ReadValue("Instance2 CC2", "num"));
  EXPECT_EQ(ini.ReadValue("Instance0 CC0", "num"), "2");
  EXPECT_EQ(ini.ReadValue("Instance0 PB1", "lineColor1"), "0.000000 0.000000 0.000000");
  EXPECT_EQ(ini.ReadValue("Instance0 PB4", "lineZMin1"), "100.000000");
  EXPECT_EQ(ini.ReadValue("Instance0 PB0", "enable"), "1");
  // Texts, tables and empty nodes are not written.
  for (const char* key : {"name", "objects", "mtls", "lineSetLoad"}) {
    EXPECT_FALSE(ini.ReadValue("Instance0 PB0", key)) << key;
  }
  EXPECT_FALSE(ini.ReadValue("Instance0 PB4", "lineZScaleObjectNode1"));
}

TEST_F(LineSetFile, SharedSettingsAndBrushesAreWrittenOnceAndSharedAgainWhenRead) {
  LineSet* a = Keep(new LineSet);
  a->ReplaceReference(LineSetSettingRef(1, 1), a->Setting(1, 0));
  a->Setting(2, 0)->ReplaceReference(kSettingBrushRef, a->Setting(2, 1)->GetBrush());
  const std::string path = Write(a);
  MemIniHandler ini = Sections(path);
  EXPECT_EQ(ini.ReadValue("Params", "NumInstance"), "34");
  EXPECT_EQ(ini.ReadValue("Instance0", "SubInstance13"), "1");
  EXPECT_EQ(ini.ReadValue("Instance0", "SubInstance14"), "1");

  LineSet* b = Keep(new LineSet);
  LineSetFileResult r = ReadLineSetFile(b, path.c_str());
  ASSERT_TRUE(r) << r.problem;
  EXPECT_EQ(b->Setting(1, 0), b->Setting(1, 1));
  EXPECT_NE(b->Setting(1, 0), b->Setting(1, 2));
  EXPECT_NE(b->Setting(1, 0), a->Setting(1, 0));
  EXPECT_EQ(b->Setting(2, 0)->GetBrush(), b->Setting(2, 1)->GetBrush());
  EXPECT_NE(b->Setting(2, 0)->GetBrush(), b->Setting(2, 2)->GetBrush());
  EXPECT_EQ(Look(b), Look(a));
}

TEST_F(LineSetFile, ReadingCarriesTheLookAndKeepsNameMembersAndEnable) {
  LineSet* a = Keep(new LineSet);
  const Color red(1, 0, 0);
  a->TypeBlock(1)->SetValue(kTypeLineColor, 0, red);
  a->TypeBlock(1)->SetValue(kTypeEdgeNormal, 0, 1);
  a->Setting(2, 3)->Block()->SetValue(kLineSize, 0, 4.5f);
  a->Setting(1, 0)->GetBrush()->Block(kBrushBlockStroke)->SetValue(kBrushMapStrokeType, 0, 1);
  a->DepthBlock(1)->SetValue(kDepthZMin, 0, 250.0f);
  a->MainBlock()->SetValue(kLineSetCombineBetweemObjects, 0, 1);
  a->SizeCurve(1)->GetControlCurve(0)->SetNumPts(3);
  a->Setting(1, 0)->GetBrush()->SizeCurve()->GetControlCurve(0)->SetNumPts(5);

  LineSet* b = Keep(new LineSet);
  IParamBlock2* main = b->MainBlock();
  main->SetValue(kLineSetName, 0, "Keep");
  INode* member = SceneNode("Box");
  main->Append(kLineSetObjects, member);
  Mtl* mtl = Keep(new SettingHolder);
  main->Append(kLineSetMtls, mtl);
  main->SetValue(kLineSetEnable, 0, 0);
  LineSetting* old = b->Setting(1, 0);

  LineSetFileResult r = ReadLineSetFile(b, Write(a).c_str());
  ASSERT_TRUE(r) << r.problem;
  EXPECT_EQ(b->Name(), "Keep");
  ASSERT_EQ(main->Count(kLineSetObjects), 1);
  EXPECT_EQ(main->GetReferenceTarget(kLineSetObjects, 0, 0), member);
  ASSERT_EQ(main->Count(kLineSetMtls), 1);
  EXPECT_EQ(main->GetReferenceTarget(kLineSetMtls, 0, 0), mtl);
  EXPECT_FALSE(b->Enabled(0));
  EXPECT_NE(b->Setting(1, 0), old);
  EXPECT_EQ(b->Setting(1, 0)->Block()->GetColor(kLineColor), red);
  // Apart from `enable`, the two sets now look the same in every value.
  std::string look = Look(b);
  const size_t enable = look.find("\nenable = 0\n");
  ASSERT_NE(enable, std::string::npos);
  look.replace(enable, 12, "\nenable = 1\n");
  EXPECT_EQ(look, Look(a));
}

TEST_F(LineSetFile, DepthNodesAreFoundByNameInTheReadingScene) {
  LineSet* a = Keep(new LineSet);
  INode* target = SceneNode("Target");
  a->DepthBlock(1)->SetValue(kDepthZScaleObjectNode, 0, target);
  const std::string path = Write(a);
  EXPECT_EQ(Sections(path).ReadValue("Instance0 PB4", "lineZScaleObjectNode1"), "Target");

  LineSet* found = Keep(new LineSet);
  ASSERT_TRUE(ReadLineSetFile(found, path.c_str()));
  EXPECT_EQ(found->DepthBlock(1)->GetReferenceTarget(kDepthZScaleObjectNode), target);

  ip.nodes.erase("Target");
  LineSet* missing = Keep(new LineSet);
  missing->DepthBlock(1)->SetValue(kDepthZScaleObjectNode, 0, SceneNode("Other"));
  ASSERT_TRUE(ReadLineSetFile(missing, path.c_str()));
  EXPECT_EQ(missing->DepthBlock(1)->GetReferenceTarget(kDepthZScaleObjectNode), nullptr);
}

class RecordingListener : public LineSetReadListener {
 public:
  RecordingListener() { AddLineSetReadListener(this); }
  ~RecordingListener() { RemoveLineSetReadListener(this); }
  void BeforeLineSetRead(LineSet& set) override { events.push_back("before " + set.Name()); }
  void AfterLineSetRead(LineSet& set) override { events.push_back("after " + set.Name()); }
  std::vector<std::string> events;
};

TEST_F(LineSetFile, ACountOfNoInstancesChangesNothingButTellsTheListeners) {
  LineSet* b = Keep(new LineSet);
  b->SetNameNumber(4);
  const std::string before = Look(b);
  LineSetting* first = b->Setting(1, 0);
  WriteBytes(dir.File("empty.tln"), "[Params]\nNumInstance = 0\n");
  RecordingListener listener;
  ASSERT_TRUE(ReadLineSetFile(b, dir.File("empty.tln").c_str()));
  EXPECT_EQ(listener.events, (std::vector<std::string>{"before セット4", "after セット4"}));
  EXPECT_EQ(b->Setting(1, 0), first);
  EXPECT_EQ(Look(b), before);
}

TEST_F(LineSetFile, LinksToNothingIntoBlocksOrIntoLoopsAreSkipped) {
  const std::string path = Write(Keep(new LineSet));
  MemIniHandler ini = Sections(path);
  ini.WriteString("Instance0", "SubInstance13", "-1");
  ini.WriteString("Instance0", "SubInstance14", "37");  // one past the last instance
  ini.WriteString("Instance0", "SubInstance15", "0");   // the set itself
  ini.WriteString("Instance0", "SubInstance0", "1");    // a setting for the main block
  ini.WriteString("Instance7", "SubInstance2", "9");    // a setting for a brush
  ini.WriteString("Instance9", "SubInstance1", "9");    // a setting as its own line map
  ini.WriteString("Instance11", "SubInstance1", "13");  // two settings as each other's map
  ini.WriteString("Instance13", "SubInstance1", "11");
  ini.WriteString("Instance17", "Class_ID", "1 2");  // a class no read makes
  std::string longName;
  for (int i = 0; i < 100; ++i) longName += "あ";  // 300 bytes
  ini.WriteString("Instance7", "Name", longName.c_str());
  ASSERT_TRUE(ini.Save(path));

  LineSet* b = Keep(new LineSet);
  IParamBlock2* main = b->MainBlock();
  std::vector<LineSetting*> old;
  for (int k = 0; k < 18; ++k) old.push_back(b->Setting(1 + k / 6, k % 6));
  RecordingListener listener;
  LineSetFileResult r = ReadLineSetFile(b, path.c_str());
  ASSERT_TRUE(r) << r.problem;
  EXPECT_EQ(b->MainBlock(), main);
  for (int k : {0, 1, 2, 8}) EXPECT_EQ(b->Setting(1 + k / 6, k % 6), old[k]) << "slot " << k;
  for (int k : {3, 4, 5, 6, 7, 9}) EXPECT_NE(b->Setting(1 + k / 6, k % 6), old[k]) << "slot " << k;
  EXPECT_TRUE(dynamic_cast<Brush*>(b->Setting(1, 3)->GetReference(kSettingBrushRef)));
  EXPECT_EQ(b->Setting(1, 4)->LineMap(), nullptr);
  EXPECT_EQ(b->Setting(1, 5)->LineMap(), b->Setting(2, 0));
  EXPECT_EQ(b->Setting(2, 0)->LineMap(), nullptr);
  // Names are cut to 255 bytes, between characters.
  EXPECT_EQ(std::string(b->Setting(1, 3)->GetName()), longName.substr(0, 255));
  EXPECT_EQ(listener.events.size(), 2u);
}

TEST_F(LineSetFile, DamagedMissingOrCutShortFilesLeaveTheSetAsItWas) {
  LineSet* a = Keep(new LineSet);
  a->TypeBlock(1)->SetValue(kTypeLineColor, 0, Color(1, 0, 0));
  const std::string good = ReadBytes(Write(a, "good.tln"));
  struct Case {
    std::string name;
    std::string text;  // what the file holds; "" for no file
    std::string problem;
  };
  std::vector<Case> cases = {
      {"no file", "", "no such file"},
      {"binary", std::string(good).insert(40, 1, '\0'), "binary data"},
      {"no count", "[Params]\nNumInstances = 3\n", "no NumInstance"},
      {"count text", "[Params]\nNumInstance = many\n", "not a count"},
      {"negative count", "[Params]\nNumInstance = -1\n", "not a count"},
      {"count too large", "[Params]\nNumInstance = 4097\n", "not a count"},
      {"garbage", "\x89PNG\r\n\x1a\n\xff\xfe[[[=\n===\n", "no NumInstance"},
  };
  // Cuts anywhere but in the last line (a cut there can leave a number that
  // still reads, as "1f = 12" cut to "1f = 1").
  for (size_t i = 1; i <= 12; ++i) {
    cases.push_back(
        {"cut " + std::to_string(i), good.substr(0, i * (good.size() - 64) / 12), "cut short"});
  }
  // Cuts between the sections of the last instance.
  for (const char* next : {"[Instance36 PB0]", "[Instance36 CC1]"}) {
    cases.push_back(
        {std::string("cut before ") + next, good.substr(0, good.rfind(next)), "cut short"});
  }
  LineSet* b = Keep(new LineSet);
  const std::string before = Look(b);
  LineSetting* first = b->Setting(1, 0);
  RecordingListener listener;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.File("bad.tln");
    std::filesystem::remove(path);
    if (!c.text.empty()) WriteBytes(path, c.text);
    LineSetFileResult r = ReadLineSetFile(b, path.c_str());
    EXPECT_FALSE(r);
    EXPECT_NE(r.problem.find(c.problem), std::string::npos) << r.problem;
    EXPECT_EQ(b->Setting(1, 0), first);
    EXPECT_EQ(Look(b), before);
  }
  EXPECT_TRUE(listener.events.empty());
  EXPECT_FALSE(ReadLineSetFile(b, dir.Path().c_str()));
  EXPECT_FALSE(ReadLineSetFile(b, ""));
  EXPECT_FALSE(ReadLineSetFile(nullptr, dir.File("good.tln").c_str()));
}

TEST_F(LineSetFile, AFileThatCannotBeWrittenIsNamedAndTheOldOneKept) {
  LineSet* a = Keep(new LineSet);
  LineSetFileResult r = WriteLineSetFile(a, dir.File("no/such/set.tln").c_str());
  EXPECT_FALSE(r);
  EXPECT_NE(r.problem.find("folder does not exist"), std::string::npos) << r.problem;
  EXPECT_FALSE(WriteLineSetFile(a, dir.Path().c_str()));
  EXPECT_FALSE(WriteLineSetFile(a, ""));
  EXPECT_FALSE(WriteLineSetFile(nullptr, dir.File("set.tln").c_str()));
  WriteBytes(dir.File("kept.tln"), "old");
  std::filesystem::permissions(dir.File("kept.tln"), std::filesystem::perms::owner_read);
  r = WriteLineSetFile(a, dir.File("kept.tln").c_str());
  EXPECT_FALSE(r);
  EXPECT_NE(r.problem.find("read-only"), std::string::npos) << r.problem;
  EXPECT_EQ(ReadBytes(dir.File("kept.tln")), "old");
  Write(a, "set.tln");
  Write(a, "set.tln");
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"kept.tln", "set.tln"}));
}

TEST_F(LineSetFile, TheFileParametersReadAndWriteThroughTheHostAndKeepNoName) {
  LineSet* a = Keep(new LineSet);
  a->TypeBlock(2)->SetValue(kTypeLineSize, 0, 7.0f);
  const std::string path = dir.File("param.tln");
  a->MainBlock()->SetValue(kLineSetLineSetSave, 0, path);
  EXPECT_EQ(a->MainBlock()->GetStr(kLineSetLineSetSave), "");
  LineSet* b = Keep(new LineSet);
  b->MainBlock()->SetValue(kLineSetLineSetLoad, 0, path);
  EXPECT_EQ(b->MainBlock()->GetStr(kLineSetLineSetLoad), "");
  EXPECT_EQ(Look(b), Look(a));
  EXPECT_TRUE(ip.messages.empty());
  EXPECT_TRUE(ip.failed.empty());

  b->MainBlock()->SetValue(kLineSetLineSetLoad, 0, dir.File("missing.tln"));
  ASSERT_EQ(ip.messages.size(), 1u);
  EXPECT_EQ(ip.messages[0].icon, MessageIcon::Warning);
  EXPECT_EQ(ip.messages[0].text.rfind(dir.File("missing.tln") + ": no such file", 0), 0u)
      << ip.messages[0].text;
  a->MainBlock()->SetValue(kLineSetLineSetSave, 0, dir.File("no/such.tln"));
  EXPECT_EQ(ip.failed, std::vector<std::string>{dir.File("no/such.tln") +
                                                ": cannot write (the folder does not exist)"});
}

TEST_F(LineSetFile, ReadingLeavesASettingSharedWithAnotherSetAlone) {
  LineSet* a = Keep(new LineSet);
  LineSet* c = Keep(new LineSet);
  LineSetting* shared = a->Setting(1, 0);
  c->ReplaceReference(LineSetSettingRef(1, 0), shared);
  const Color green(0, 1, 0), red(1, 0, 0);
  shared->Block()->SetValue(kLineColor, 0, green);
  LineSet* source = Keep(new LineSet);
  source->TypeBlock(1)->SetValue(kTypeLineColor, 0, red);

  ASSERT_TRUE(ReadLineSetFile(a, Write(source).c_str()));
  EXPECT_EQ(a->TypeBlock(1)->GetColor(kTypeLineColor), red);
  EXPECT_EQ(a->Setting(1, 0)->Block()->GetColor(kLineColor), red);
  EXPECT_EQ(c->Setting(1, 0), shared);
  EXPECT_EQ(shared->Block()->GetColor(kLineColor), green);
  EXPECT_EQ(c->TypeBlock(1)->GetColor(kTypeLineColor), green);
}

}  // namespace
}  // namespace tarnis
