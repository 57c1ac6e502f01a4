// Tests of the settings handlers: parameter blocks, descriptor defaults,
// curves and texture coordinates through keys (on a file and in memory), the
// settings directory and its fallback, and the save-as-default step.
#include "tarnis/common/ini_handler.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "sdk/inode.h"
#include "sdk/testing/fake_interface.h"
#include "tarnis/common/mem_ini_handler.h"
#include "sdk/testing/scratch_dir.h"

namespace tarnis {
namespace {


enum : ParamID { kSize, kAngle, kCount, kEnabled, kColor, kPos, kName, kFloats, kNode };

// A fresh descriptor per test, since LoadDefaults changes descriptors.
std::unique_ptr<ParamBlockDesc2> MakeDesc() {
  return std::make_unique<ParamBlockDesc2>(
      ParamBlockHeader{.id = 0, .internalName = "main"},
      std::vector<ParamDef>{
          {.id = kSize, .internalName = "size", .def = 1.0f, .range = {0.0f, 100.0f}},
          {.id = kAngle, .internalName = "angle", .type = TYPE_ANGLE, .def = 30.0f},
          {.id = kCount, .internalName = "count", .type = TYPE_INT, .def = 3, .range = {1, 10}},
          {.id = kEnabled, .internalName = "enabled", .type = TYPE_BOOL, .def = true},
          {.id = kColor,
           .internalName = "color",
           .type = TYPE_RGBA,
           .flags = P_ANIMATABLE,
           .def = Color(0.1f, 0.2f, 0.3f)},
          {.id = kPos, .internalName = "pos", .type = TYPE_POINT3},
          {.id = kName, .internalName = "name", .type = TYPE_STRING, .def = "x"},
          {.id = kFloats, .internalName = "floats", .type = TYPE_FLOAT_TAB, .tabSize = 2},
          {.id = kNode, .internalName = "node", .type = TYPE_INODE},
      });
}

// A node that only has a name.
class FakeNode : public INode {
 public:
  explicit FakeNode(std::string name) : name_(std::move(name)) {}
  const char* GetName() override { return name_.c_str(); }
  void SetName(const char* name) override { name_ = name; }
  bool IsRootNode() override { return false; }
  INode* GetParentNode() override { return nullptr; }
  int NumberOfChildren() override { return 0; }
  INode* GetChildNode(int) override { return nullptr; }
  Matrix3 GetNodeTM(TimeValue, Interval*) override { return {}; }
  Matrix3 GetObjectTM(TimeValue, Interval*) override { return {}; }
  Mesh* GetMesh(TimeValue) override { return nullptr; }
  ReferenceTarget* GetObjectRef() override { return nullptr; }
  Mtl* GetMtl() override { return nullptr; }
  void SetMtl(Mtl*) override {}
  Color GetWireColor() override { return {}; }
  int GetGBufID() override { return 0; }
  bool Renderable() override { return true; }
  bool GetPrimaryVisibility() override { return true; }
  bool GetSecondaryVisibility() override { return true; }
  float GetVisibility(TimeValue) override { return 1.0f; }
  bool IsGroupHead() override { return false; }
  bool IsGroupMember() override { return false; }

 private:
  std::string name_;
};

// The fake host with a scene of named nodes.
class SceneInterface : public FakeInterface {
 public:
  INode* GetINodeByName(const char* name) override {
    auto it = nodes.find(name);
    return it == nodes.end() ? nullptr : it->second;
  }
  std::map<std::string, INode*> nodes;
};

// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// A host whose settings directory is a scratch directory, and a block.
class Settings : public ::testing::Test {
 protected:
  void SetUp() override {
    ForgetSettingsDirectory();
    ip.settingsDir = dir.Path().string();
    block.Set(CreateParameterBlock2(desc.get(), nullptr));
  }
  void TearDown() override { ForgetSettingsDirectory(); }

  IParamBlock2& Block() { return *block.GetAs<IParamBlock2>(); }
  // Both kinds of handler, for checks that must hold on each.
  std::vector<std::unique_ptr<IniHandler>> Handlers() {
    std::vector<std::unique_ptr<IniHandler>> handlers;
    handlers.push_back(std::make_unique<IniHandler>(dir.File("file.ini")));
    handlers.push_back(std::make_unique<MemIniHandler>());
    return handlers;
  }
  static std::string Read(IniHandler& h, const char* section, const char* key) {
    return h.ReadValue(section, key).value_or("<missing>");
  }

  SceneInterface ip;
  ScratchDir dir;
  std::unique_ptr<ParamBlockDesc2> desc = MakeDesc();
  ReferenceHolder block;
};

TEST_F(Settings, BlocksAreWrittenInTheirFormatsAndReadBackOnEveryHandler) {
  ReferenceHolder node(new FakeNode("Box01"));
  ip.nodes["Box01"] = node.GetAs<INode>();
  IParamBlock2& pb = Block();
  pb.SetValue(kSize, 0, 2.5f);
  pb.SetValue(kAngle, 0, 45.0f);
  pb.SetValue(kCount, 0, 7);
  pb.SetValue(kEnabled, 0, 0);
  pb.SetValue(kColor, 0, Color(0.5f, 0.25f, 1.0f));
  pb.SetValue(kNode, 0, node.Get());
  for (auto& h : Handlers()) {
    h->WriteBlock("S", pb);
    EXPECT_EQ(Read(*h, "S", "size"), "2.500000");
    EXPECT_EQ(Read(*h, "S", "angle"), "45.000000");
    EXPECT_EQ(Read(*h, "S", "count"), "7");
    EXPECT_EQ(Read(*h, "S", "enabled"), "0");
    EXPECT_EQ(Read(*h, "S", "color"), "0.500000 0.250000 1.000000");
    EXPECT_EQ(Read(*h, "S", "node"), "Box01");
    for (const char* unwritten : {"pos", "name", "floats"}) {
      EXPECT_EQ(Read(*h, "S", unwritten), "<missing>") << unwritten;
    }
    ReferenceHolder copy(CreateParameterBlock2(desc.get(), nullptr));
    auto* other = copy.GetAs<IParamBlock2>();
    EXPECT_TRUE(h->ReadBlock("S", *other));
    EXPECT_EQ(other->GetFloat(kSize), 2.5f);
    EXPECT_EQ(other->GetFloat(kAngle), 45.0f);
    EXPECT_EQ(other->GetInt(kCount), 7);
    EXPECT_EQ(other->GetInt(kEnabled), 0);
    EXPECT_EQ(other->GetColor(kColor), Color(0.5f, 0.25f, 1.0f));
    EXPECT_EQ(other->GetReferenceTarget(kNode), node.Get());
  }
}

TEST_F(Settings, AKeyWithAnEmptyValueCountsAsMissing) {
  for (auto& h : Handlers()) {
    h->WriteString("S", "size", "");
    h->WriteString("S", "count", "4");
    char buffer[16] = "garbage";
    EXPECT_FALSE(h->ReadString("S", "size", buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "");
    EXPECT_FALSE(
        h->ReadBlock("S", Block(), [](ParamID id) { return id == kSize || id == kCount; }));
    EXPECT_EQ(Block().GetFloat(kSize), 1.0f);
    EXPECT_EQ(Block().GetInt(kCount), 4);
  }
}

TEST_F(Settings, ReadBlockAnswersFalseWhenAWrittenKeyIsMissingOrBroken) {
  IniHandler h(dir.File("file.ini"));
  h.WriteString("S", "size", "abc");  // does not parse: missing
  h.WriteString("S", "angle", "+12.5 degrees");
  h.WriteString("S", "count", "5");
  h.WriteString("S", "color", "1 0.5");  // one channel short
  // "enabled" is not there at all; "node" neither, which does not count.
  EXPECT_FALSE(h.ReadBlock("S", Block()));
  EXPECT_EQ(Block().GetFloat(kSize), 1.0f);
  EXPECT_EQ(Block().GetFloat(kAngle), 12.5f);
  EXPECT_EQ(Block().GetInt(kCount), 5);
  EXPECT_EQ(Block().GetColor(kColor), Color(0.1f, 0.2f, 0.3f));

  // With a filter, only the chosen keys must be there.
  EXPECT_TRUE(h.ReadBlock("S", Block(), [](ParamID id) { return id == kCount || id == kNode; }));
  // Values are clamped into the range like any set.
  h.WriteString("S", "count", "99");
  EXPECT_TRUE(h.ReadBlock("S", Block(), [](ParamID id) { return id == kCount; }));
  EXPECT_EQ(Block().GetInt(kCount), 10);
}

TEST_F(Settings, AHandlerSeesWhatOthersWroteToItsFile) {
  IniHandler first(dir.File("tarnis.ini"));
  IniHandler second(dir.File("tarnis.ini"));
  EXPECT_TRUE(first.WriteString("General", "LineDlgX", "10"));
  EXPECT_EQ(first.ReadValue("General", "LineDlgX"), "10");
  EXPECT_TRUE(second.WriteString("General", "LineDlgX", "20"));
  EXPECT_TRUE(second.WriteString("General", "LineDlgY", "30"));
  EXPECT_EQ(first.ReadValue("General", "LineDlgX"), "20");
  EXPECT_TRUE(first.WriteString("General", "LineDlgX", "40"));  // keeps the other's key
  EXPECT_EQ(ReadBytes(dir.File("tarnis.ini")), "[General]\nLineDlgX=40\nLineDlgY=30\n");
}

TEST_F(Settings, AnOversizedFileReadsAsEmptyAndIsNotOverwritten) {
  const std::string path = dir.File("tarnis_line.ini");
  WriteBytes(path, "[S]\nsize=5\n");
  ASSERT_EQ(::truncate(path.c_str(), 100'000'000), 0);
  IniHandler h(path);
  EXPECT_FALSE(h.ReadBlock("S", Block()));
  EXPECT_EQ(Block().GetFloat(kSize), 1.0f);
  h.WriteBlock("S", Block());
  EXPECT_EQ(std::filesystem::file_size(path), 100'000'000u);
}

TEST_F(Settings, NodeKeysAreLookedUpByNameInTheScene) {
  ReferenceHolder node(new FakeNode("Sphere"));
  ip.nodes["Sphere"] = node.GetAs<INode>();
  MemIniHandler h;
  h.WriteString("S", "node", "Sphere");
  h.ReadBlock("S", Block());
  EXPECT_EQ(Block().GetReferenceTarget(kNode), node.Get());
  // No key: the node stays. A name the scene lacks: no node.
  h.WriteString("T", "size", "2");
  h.ReadBlock("T", Block());
  EXPECT_EQ(Block().GetReferenceTarget(kNode), node.Get());
  h.WriteString("T", "node", "Gone");
  h.ReadBlock("T", Block());
  EXPECT_EQ(Block().GetReferenceTarget(kNode), nullptr);
  // An empty node is left out when writing.
  h.WriteBlock("U", Block());
  EXPECT_FALSE(h.ReadValue("U", "node"));
}

TEST_F(Settings, LoadDefaultsChangesOnlyBlocksCreatedAfterwards) {
  MemIniHandler h;
  h.WriteString("S", "size", "7.5");
  h.WriteString("S", "count", "40");  // clamped like a set: 10
  h.WriteString("S", "color", "0.5 0.25 1");
  h.WriteString("S", "pos", "1 2 3");  // not a type the files hold
  h.LoadDefaults("S", *desc);
  EXPECT_EQ(Block().GetFloat(kSize), 1.0f);  // made before: unchanged
  ReferenceHolder later(CreateParameterBlock2(desc.get(), nullptr));
  auto* pb = later.GetAs<IParamBlock2>();
  EXPECT_EQ(pb->GetFloat(kSize), 7.5f);
  EXPECT_EQ(pb->GetInt(kCount), 10);
  EXPECT_EQ(pb->GetColor(kColor), Color(0.5f, 0.25f, 1.0f));
  EXPECT_EQ(pb->GetFloat(kAngle), 30.0f);  // no key: default kept
  EXPECT_EQ(pb->GetPoint3(kPos), Point3(0, 0, 0));
  EXPECT_EQ(desc->GetParamDef(kSize)->scriptDef, PB2Value(7.5f));
}

TEST_F(Settings, CurvesAreWrittenAndReadPointByPointAsStored) {
  ReferenceHolder written(new CurveControl);
  ICurve* curve = written.GetAs<CurveControl>()->GetControlCurve(0);
  // Out of x order on purpose: reading must not reorder or clamp.
  curve->SetNumPts(3);
  const CurvePoint points[] = {{{0.0f, 0.0f}, {-0.1f, 0.0f}, {0.1f, 0.2f}, CURVEP_BEZIER},
                               {{0.7f, 0.25f}, {-0.2f, 0.0f}, {0.2f, 0.0f}, CURVEP_CORNER},
                               {{0.5f, 1.0f}, {-0.1f, -0.1f}, {0.1f, 0.1f}, CURVEP_ENDPOINT}};
  for (int i = 0; i < 3; ++i) curve->SetPoint(0, i, points[i], false);
  for (auto& h : Handlers()) {
    h->WriteCurve("C", *curve, "size_curve_");
    EXPECT_EQ(Read(*h, "C", "size_curve_num"), "3");
    EXPECT_EQ(Read(*h, "C", "size_curve_1px"), "0.700000");
    EXPECT_EQ(Read(*h, "C", "size_curve_0f"), std::to_string(CURVEP_BEZIER));
    ReferenceHolder read(new CurveControl);
    ICurve* back = read.GetAs<CurveControl>()->GetControlCurve(0);
    EXPECT_TRUE(h->ReadCurve("C", *back, "size_curve_"));
    EXPECT_EQ(back->Points(), curve->Points());
  }
}

TEST_F(Settings, ACurveReadStopsAtTheFirstMissingKeyKeepingWhatWasRead) {
  ReferenceHolder source(new CurveControl);
  ICurve* three = source.GetAs<CurveControl>()->GetControlCurve(0);
  three->SetNumPts(3);
  // Values that "%f" keeps exactly.
  three->SetPoint(0, 0, {{0.0f, 0.25f}, {-0.5f, 0.0f}, {0.5f, 0.125f}, CURVEP_BEZIER}, false);
  three->SetPoint(0, 1, {{0.5f, 0.75f}, {}, {}, CURVEP_CORNER}, false);
  MemIniHandler written;
  written.WriteCurve("C", *three);
  MemIniHandler h;  // the same keys without the third point's out-tangent y
  for (const MemIniHandler::Entry& e : written.Sections()[0].entries) {
    if (e.key != "2oy") h.WriteString("C", e.key.c_str(), e.value.c_str());
  }
  ASSERT_EQ(h.Sections()[0].entries.size(), 1u + 3 * 7 - 1);

  ReferenceHolder target(new CurveControl);
  ICurve* curve = target.GetAs<CurveControl>()->GetControlCurve(0);
  const std::vector<CurvePoint> before = curve->Points();  // two points
  EXPECT_FALSE(h.ReadCurve("C", *curve));
  ASSERT_EQ(curve->GetNumPts(), 3);
  EXPECT_EQ(curve->GetPoint(0, 0), three->GetPoint(0, 0));
  EXPECT_EQ(curve->GetPoint(0, 1), three->GetPoint(0, 1));
  // The third point is the copy of the old last point the count made.
  EXPECT_EQ(curve->GetPoint(0, 2), before.back());

  MemIniHandler empty;
  EXPECT_FALSE(empty.ReadCurve("C", *curve));
  EXPECT_EQ(curve->GetNumPts(), 3);
}

// A standard texture-coordinate generator that only holds its settings.
class FakeUVGen : public StdUVGen {
 public:
  void Update(TimeValue, Interval&) override {}
  Interval Validity(TimeValue) override { return FOREVER; }
  void GetUV(ShadeContext&, Point2&, Point2&) override {}
  Point3 GetUVW(ShadeContext&) override { return {}; }
  int GetCoordMapping(int) override { return mapping; }
  void SetCoordMapping(int v) override { mapping = v; }
  float GetUOffs(TimeValue) override { return f[0]; }
  float GetVOffs(TimeValue) override { return f[1]; }
  float GetUScl(TimeValue) override { return f[2]; }
  float GetVScl(TimeValue) override { return f[3]; }
  float GetAng(TimeValue) override { return f[4]; }
  float GetUAng(TimeValue) override { return f[5]; }
  float GetVAng(TimeValue) override { return f[6]; }
  float GetWAng(TimeValue) override { return f[7]; }
  float GetBlur(TimeValue) override { return f[8]; }
  float GetBlurOffs(TimeValue) override { return f[9]; }
  float GetNoiseAmt(TimeValue) override { return f[10]; }
  float GetNoiseSize(TimeValue) override { return f[11]; }
  int GetNoiseLev(TimeValue) override { return noiseLev; }
  float GetNoisePhs(TimeValue) override { return f[12]; }
  void SetUOffs(float v, TimeValue) override { f[0] = v; }
  void SetVOffs(float v, TimeValue) override { f[1] = v; }
  void SetUScl(float v, TimeValue) override { f[2] = v; }
  void SetVScl(float v, TimeValue) override { f[3] = v; }
  void SetAng(float v, TimeValue) override { f[4] = v; }
  void SetUAng(float v, TimeValue) override { f[5] = v; }
  void SetVAng(float v, TimeValue) override { f[6] = v; }
  void SetWAng(float v, TimeValue) override { f[7] = v; }
  void SetBlur(float v, TimeValue) override { f[8] = v; }
  void SetBlurOffs(float v, TimeValue) override { f[9] = v; }
  void SetNoiseAmt(float v, TimeValue) override { f[10] = v; }
  void SetNoiseSize(float v, TimeValue) override { f[11] = v; }
  void SetNoiseLev(int v, TimeValue) override { noiseLev = v; }
  void SetNoisePhs(float v, TimeValue) override { f[12] = v; }
  int GetTextureTiling() override { return tiling; }
  void SetTextureTiling(int v) override { tiling = v; }
  int GetMapChannel() override { return channel; }
  void SetMapChannel(int v) override { channel = v; }
  int GetFlag(int flag) override { return flags & flag; }
  void SetFlag(int flag, int v) override { flags = v ? flags | flag : flags & ~flag; }
  int GetSymFlags() override { return sym; }
  void SetSymFlags(int v) override { sym = v; }
  bool GetHideMapBackFlag() override { return hideBack; }
  void SetHideMapBackFlag(bool v) override { hideBack = v; }
  int GetUVWSource() override { return source; }
  void SetUVWSource(int v) override { source = v; }
  int GetSlotType() override { return slot; }
  void SetSlotType(int v) override { slot = v; }
  int GetAxis() override { return axis; }
  void SetAxis(int v) override { axis = v; }
  int GetClipFlag() override { return clip; }
  void SetClipFlag(int v) override { clip = v; }

  bool operator==(const FakeUVGen& o) const {
    return mapping == o.mapping && std::equal(f, f + 13, o.f) && noiseLev == o.noiseLev &&
           tiling == o.tiling && channel == o.channel && flags == o.flags && sym == o.sym &&
           hideBack == o.hideBack && source == o.source && slot == o.slot && axis == o.axis &&
           clip == o.clip;
  }

  int mapping = UVMAP_EXPLICIT;
  float f[13] = {0, 0, 1, 1, 0, 0, 0, 0, 1, 0, 1, 1, 0};
  int noiseLev = 1, tiling = U_WRAP | V_WRAP, channel = 1, flags = 0, sym = 0;
  bool hideBack = false;
  int source = UVWSRC_EXPLICIT, slot = MAPSLOT_TEXTURE, axis = 0, clip = 0;
};

TEST_F(Settings, TextureCoordinatesRoundTripWithTheNoiseFlagsAsBits) {
  FakeUVGen uv;
  uv.mapping = UVMAP_SCREEN_ENV;
  uv.slot = MAPSLOT_ENVIRON;
  for (int i = 0; i < 13; ++i) uv.f[i] = 0.25f * static_cast<float>(i + 1);
  uv.noiseLev = 4;
  uv.tiling = U_MIRROR;
  uv.channel = 3;
  uv.flags = UV_NOISE | UV_NOISE_ANI | 1;  // bit 1 is not one of the noise flags
  uv.sym = 2;
  uv.hideBack = true;
  uv.source = UVWSRC_WORLDXYZ;
  uv.axis = 2;
  uv.clip = 1;
  MemIniHandler h;
  h.WriteCoords("P", uv);
  EXPECT_EQ(h.Sections()[0].entries.size(), 25u);
  EXPECT_EQ(Read(h, "P", "StdUV_Noize"), "1");
  EXPECT_EQ(Read(h, "P", "StdUV_NoizeAni"), "1");
  EXPECT_EQ(Read(h, "P", "StdUV_UOffs"), "0.250000");
  EXPECT_EQ(Read(h, "P", "StdUV_CoordMapping"), std::to_string(UVMAP_SCREEN_ENV));
  FakeUVGen back;
  back.flags = 1;
  h.ReadCoords("P", back);
  EXPECT_TRUE(back == uv);
}

TEST_F(Settings, ReadCoordsReadsTheMappingOnlyForEnvironmentSlots) {
  MemIniHandler h;
  h.WriteString("P", "StdUV_CoordMapping", "2");
  h.WriteString("P", "StdUV_SlotType", "0");
  h.WriteString("P", "StdUV_NoiseLev", "3.7");  // written as an int, read as a number
  h.WriteString("P", "StdUV_Noize", "1");
  FakeUVGen uv;
  uv.slot = MAPSLOT_ENVIRON;
  h.ReadCoords("P", uv);
  EXPECT_EQ(uv.slot, MAPSLOT_TEXTURE);
  EXPECT_EQ(uv.mapping, UVMAP_EXPLICIT);
  EXPECT_EQ(uv.noiseLev, 3);
  EXPECT_EQ(uv.flags, UV_NOISE);
  EXPECT_EQ(uv.f[2], 1.0f);  // no key: unchanged

  h.WriteString("P", "StdUV_SlotType", "1");
  h.ReadCoords("P", uv);
  EXPECT_EQ(uv.mapping, 2);
  // Without a slot type key the mapping is not read either.
  MemIniHandler noSlot;
  noSlot.WriteString("P", "StdUV_CoordMapping", "4");
  noSlot.ReadCoords("P", uv);
  EXPECT_EQ(uv.mapping, 2);
}

TEST_F(Settings, ReadStringCopiesAtMostSizeMinusOneBytesWithoutCuttingCharacters) {
  for (auto& h : Handlers()) {
    h->WriteString("S", "ascii", "abcdef");
    h->WriteString("S", "kana", "あい");  // three bytes each
    char buffer[8];
    EXPECT_TRUE(h->ReadString("S", "ascii", buffer, 4));
    EXPECT_STREQ(buffer, "abc");
    EXPECT_TRUE(h->ReadString("S", "kana", buffer, 6));
    EXPECT_STREQ(buffer, "あ");
    EXPECT_FALSE(h->ReadString("S", "absent", buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "");
  }
}

TEST_F(Settings, TheSettingsDirectoryIsComputedOnceUnderPlugcfg) {
  const std::string expected = dir.File("plugcfg");
  EXPECT_EQ(SettingsDirectory(), expected);
  EXPECT_TRUE(std::filesystem::is_directory(expected));
  ip.settingsDir = dir.File("elsewhere");
  EXPECT_EQ(SettingsDirectory(), expected);
  EXPECT_EQ(SettingsFilePath("tarnis.ini"), expected + "/tarnis.ini");
  ForgetSettingsDirectory();
  EXPECT_EQ(SettingsDirectory(), dir.File("elsewhere/plugcfg"));
}

TEST_F(Settings, WithoutAHostDirectoryNothingIsKeptAndNoFileIsNamed) {
  ip.settingsDir.clear();
  EXPECT_EQ(SettingsDirectory(), "");
  TarnisIni ini;
  EXPECT_EQ(ini.Path(), "");
  EXPECT_FALSE(ini.WriteString("General", "LineDlgX", "1"));
  EXPECT_FALSE(ini.ResolvePath());
  // The empty answer was not kept: a host directory that appears counts.
  ip.settingsDir = dir.Path().string();
  EXPECT_EQ(SettingsDirectory(), dir.File("plugcfg"));
}

TEST_F(Settings, EachSettingsFileHasItsHandler) {
  const std::string base = dir.File("plugcfg/");
  EXPECT_EQ(TarnisIni().Path(), base + "tarnis.ini");
  EXPECT_EQ(BrushIniHandler().Path(), base + "tarnis_line.ini");
  EXPECT_EQ(StrokeIniHandler().Path(), base + "tarnis_stroke.ini");
  EXPECT_EQ(LineRefTexIniHandler().Path(), base + "tarnis_line_ref_tex.ini");
  EXPECT_EQ(SettingsFilePath(kGradIniFile), base + "tarnis_grad.ini");
}

TEST_F(Settings, PathsThatDoNotFitAreDropped) {
  IniHandler h(std::string(IniHandler::kMaxPath - 1, 'a'));
  EXPECT_EQ(h.Path().size(), IniHandler::kMaxPath - 1);
  EXPECT_FALSE(h.SetPath(std::string(IniHandler::kMaxPath, 'a')));
  EXPECT_EQ(h.Path(), "");
  EXPECT_FALSE(h.WriteString("S", "k", "v"));
}

TEST_F(Settings, ResolvePathKeepsAWritablePathAndCreatesTheFile) {
  IniHandler empty;
  EXPECT_FALSE(empty.ResolvePath());
  StrokeIniHandler h;
  const std::string path = h.Path();
  EXPECT_FALSE(h.ResolvePath());
  EXPECT_EQ(h.Path(), path);
  EXPECT_TRUE(std::filesystem::is_regular_file(path));
  EXPECT_EQ(std::filesystem::file_size(path), 0u);
}

TEST_F(Settings, AnUnwritableSettingsDirectoryFallsBackToTheDataFolder) {
  // A file where the host directory should be: nothing can be made under it,
  // whoever runs the test.
  WriteBytes(dir.File("host"), "not a directory");
  ip.settingsDir = dir.File("host");
  ScopedEnv data("XDG_DATA_HOME", dir.File("data"));
  BrushIniHandler h;
  EXPECT_TRUE(h.ResolvePath());
  const std::string fallback = dir.File("data/KORVO/Tarnis/tarnis_line.ini");
  EXPECT_EQ(h.Path(), fallback);
  EXPECT_EQ(FallbackSettingsDirectory(), dir.File("data/KORVO/Tarnis"));
  EXPECT_TRUE(h.WriteString("BrushBaseDefault", "size", "2.000000"));
  EXPECT_EQ(ReadBytes(fallback), "[BrushBaseDefault]\nsize=2.000000\n");
}

TEST_F(Settings, AReadOnlySettingsDirectoryIsCopiedToTheDataFolderOnce) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not stop root from writing";
  const std::string plugcfg = SettingsDirectory();
  // The file itself stays writable: our writes also need the directory.
  WriteBytes(plugcfg + "/tarnis_stroke.ini", "[StrokeColorRange]\nmin=1\n");
  std::filesystem::permissions(
      plugcfg, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  ScopedEnv data("XDG_DATA_HOME", dir.File("data"));
  const std::string fallback = dir.File("data/KORVO/Tarnis/tarnis_stroke.ini");
  StrokeIniHandler h;
  EXPECT_TRUE(h.ResolvePath());
  EXPECT_EQ(h.Path(), fallback);
  EXPECT_EQ(ReadBytes(fallback), "[StrokeColorRange]\nmin=1\n");
  EXPECT_TRUE(h.WriteString("StrokeColorRange", "min", "2"));
  // A later save finds the copy and does not overwrite it with the old file.
  StrokeIniHandler again;
  EXPECT_TRUE(again.ResolvePath());
  EXPECT_EQ(again.ReadValue("StrokeColorRange", "min"), "2");
}

TEST_F(Settings, SaveAsDefaultWritesTheFileAndTheDefaultsOfNewBlocks) {
  Block().SetValue(kSize, 0, 12.0f);
  Block().SetValue(kColor, 0, Color(1.0f, 0.5f, 0.0f));
  ReferenceHolder control(new CurveControl);
  ICurve* curve = control.GetAs<CurveControl>()->GetControlCurve(0);
  StrokeIniHandler h;
  SaveAsDefault(h, "StrokeDampSize", Block(), "StrokeDampSizeCurve", curve);
  const std::string text = ReadBytes(dir.File("plugcfg/tarnis_stroke.ini"));
  EXPECT_NE(text.find("[StrokeDampSize]\nsize=12.000000\n"), std::string::npos) << text;
  EXPECT_NE(text.find("[StrokeDampSizeCurve]\nnum=2\n0px=0.000000\n"), std::string::npos) << text;
  ReferenceHolder fresh(CreateParameterBlock2(desc.get(), nullptr));
  EXPECT_EQ(fresh.GetAs<IParamBlock2>()->GetFloat(kSize), 12.0f);
  EXPECT_EQ(fresh.GetAs<IParamBlock2>()->GetColor(kColor), Color(1.0f, 0.5f, 0.0f));
}

TEST_F(Settings, ValuesAreWrittenWithAPointWhateverTheLocale) {
  // A locale with a decimal comma, when the machine has one.
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  std::string saved = previous ? previous : "C";
  if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "fr_FR.UTF-8")) {
    GTEST_SKIP() << "no locale with a decimal comma installed";
  }
  MemIniHandler h;
  Block().SetValue(kSize, 0, 0.5f);
  h.WriteBlock("S", Block());
  std::string written = Read(h, "S", "size");
  h.WriteString("S", "size", "0.25");
  h.ReadBlock("S", Block());
  float read = Block().GetFloat(kSize);
  std::setlocale(LC_NUMERIC, saved.c_str());
  EXPECT_EQ(written, "0.500000");
  EXPECT_EQ(read, 0.25f);
}

}  // namespace
}  // namespace tarnis
