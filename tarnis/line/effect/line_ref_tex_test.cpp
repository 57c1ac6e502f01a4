// The reflection map: its blocks and draw options, the lines it draws into
// the sub-views its base map renders (seen from the sub-view, without the
// object being mapped, per edge kind, never in a material-editor sample),
// loading maps saved before the colour-range block, and the users'
// colour-range defaults.
#include "tarnis/line/effect/line_ref_tex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>

#include "sdk/hold.h"
#include "sdk/ref_graph.h"
#include "sdk/testing/fake_interface.h"
#include "sdk/testing/fake_shade_context.h"
#include "sdk/testing/scratch_dir.h"
#include "tarnis/common/ini_handler.h"
#include "tarnis/line/brush/brush_test_helpers.h"
#include "tarnis/line/effect/line_ref_context.h"
#include "tarnis/line/effect/line_ref_tex_class_desc.h"
#include "tarnis/line/engine/engine_test_scene.h"
#include "tarnis/line/output/vector_sinks.h"

namespace tarnis {
namespace {

using namespace engine_testing;

// Stands in for the host's context: "renders" a white sub-view and
// remembers what it was asked.
class WhiteMapsContext : public RenderMapsContext {
 public:
  INode* GetNode() override { return nullptr; }
  int NodeRenderID() override { return nodeId; }
  TimeValue CurrentTime() override { return 0; }
  RenderGlobalContext* GetGlobalContext() override { return gc; }
  bool Render(Bitmap* bm, ViewParams&, SubRendParams& srp, const Point4*, int) override {
    ++renders;
    if (bm->Width() < 1) bm->Resize(srp.devWidth, srp.devHeight);
    bm->Fill(ToColor64(AColor(1, 1, 1, 1)));
    return !cancel;
  }
  RenderGlobalContext* gc = nullptr;
  int nodeId = -1;
  int renders = 0;
  bool cancel = false;
};

// Counts the strokes a vector output would be handed.
class CountingSink : public LineVectorSink {
 public:
  void FrameStart(TimeValue, int, int) override {}
  void LineSetStart(LineSet*, const std::string&, LineSetting*, int) override {}
  void StrokeStart(int, float, const Color&, float, bool, float, float) override { ++strokes; }
  void Segment(float, float, float, float) override {}
  void StrokeEnd() override {}
  void PassEnd() override {}
  int strokes = 0;
};

// A sub-view of 96 x 96 pixels looking from `eye` at `target`, 60 degrees wide.
struct SubView {
  SubView(Point3 eye, Point3 target) {
    vp.affineTM = Inverse(LookAtMatrix(eye, target, Point3(0, 0, 1)));
    vp.projType = PROJ_PERSPECTIVE;
    vp.fov = 1.0471976f;
    vp.hither = 0.001f;
    srp.devWidth = srp.devHeight = kSize;
    srp.fov = vp.fov;
    image.Resize(kSize, kSize);
  }
  // The device point of world point p.
  Point2 Project(const Point3& p) const {
    const Point3 c = p * vp.affineTM;
    const float xscale = -0.5f * kSize / std::tan(0.5f * vp.fov);
    return {kSize * 0.5f + c.x * xscale / c.z, kSize * 0.5f - c.y * xscale / c.z};
  }
  static constexpr int kSize = 96;
  ViewParams vp;
  SubRendParams srp;
  Bitmap image;
};

bool Dark(const Bitmap& bm, int x, int y) {
  const AColor c = FromColor64(bm.GetPixel(x, y));
  return c.r + c.g + c.b < 1.5f;
}

int DarkPixels(const Bitmap& bm) {
  int n = 0;
  for (int y = 0; y < bm.Height(); ++y) {
    for (int x = 0; x < bm.Width(); ++x) n += Dark(bm, x, y);
  }
  return n;
}

// Dark pixels inside the device box of a world box (grown by `margin`).
int DarkPixelsIn(const Bitmap& bm, const SubView& view, const Box3& box, float margin) {
  Box2 screen;
  for (int i = 0; i < 8; ++i) {
    screen +=
        view.Project(Point3((i & 1) ? box.pmax.x : box.pmin.x, (i & 2) ? box.pmax.y : box.pmin.y,
                            (i & 4) ? box.pmax.z : box.pmin.z));
  }
  int n = 0;
  for (int y = 0; y < bm.Height(); ++y) {
    for (int x = 0; x < bm.Width(); ++x) {
      const float px = x + 0.5f, py = y + 0.5f;
      const bool inside = px >= screen.pmin.x - margin && px <= screen.pmax.x + margin &&
                          py >= screen.pmin.y - margin && py <= screen.pmax.y + margin;
      n += inside && Dark(bm, x, y);
    }
  }
  return n;
}

// Two boxes, both members of one line set, in a frame seen from far above;
// the sub-views look at them from the front.
class LineRefContextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    theHold.Reset();
    lmHolder.Set(new LineManager);
    lm = lmHolder.GetAs<LineManager>();
    set = lm->AddLineSet();
    AllEdgesOff(set);
    ip.effects.push_back(lm);
    for (ReferenceHolder* n : {&nodeA, &nodeB}) {
      n->Set(new TestNode);
      set->MainBlock()->Append(kLineSetObjects, n->GetAs<INode>());
    }
    mtl.Set(new TestMtl);
  }
  void TearDown() override { theHold.Reset(); }

  void Draw(int kind, bool on = true) {
    const ParamID ids[] = {kTypeEdgeObject, kTypeEdgeNormal, kTypeEdgeMatID, kTypeEdgeSmooth,
                           kTypeEdgeIsect};
    set->TypeBlock(1)->SetValue(ids[kind], 0, on ? 1 : 0);
  }
  // Box A left of box B, apart.
  void TwoBoxesApart() {
    gc.Add(BoxMesh(), nodeA.GetAs<INode>(), mtl.GetAs<Mtl>(), TranslationMatrix(Point3(-2, 0, 0)));
    gc.Add(BoxMesh(), nodeB.GetAs<INode>(), mtl.GetAs<Mtl>(), TranslationMatrix(Point3(2, 0, 0)));
    boxA = Box3(Point3(-3, -1, -1), Point3(-1, 1, 1));
    boxB = Box3(Point3(1, -1, -1), Point3(3, 1, 1));
  }
  // Box B pushed half into box A, turned so that all their edges differ.
  void TwoBoxesCrossing() {
    gc.Add(BoxMesh(), nodeA.GetAs<INode>(), mtl.GetAs<Mtl>());
    Matrix3 tm = RotateZMatrix(0.5f) * RotateXMatrix(0.4f);
    tm.SetTrans(Point3(0.9f, 0.3f, 0.4f));
    gc.Add(BoxMesh(Point3(-0.6f, -0.6f, -0.6f), Point3(0.6f, 0.6f, 0.6f)), nodeB.GetAs<INode>(),
           mtl.GetAs<Mtl>(), tm);
  }
  // One sub-view rendered through a LineRefContext with `options`.
  Bitmap Render(const SubView& view, const LineDrawOptions& options, int nodeId = -1,
                LineRefContext** keep = nullptr) {
    inner.gc = &gc;
    inner.nodeId = nodeId;
    SubView v = view;
    ctx = std::make_unique<LineRefContext>(inner, &options);
    EXPECT_TRUE(ctx->Render(&v.image, v.vp, v.srp));
    if (keep) *keep = ctx.get();
    return v.image;
  }

  FakeInterface ip;
  ReferenceHolder lmHolder, nodeA, nodeB, mtl;
  LineManager* lm = nullptr;
  LineSet* set = nullptr;
  TestRenderContext gc{Point3(0, 0, 30), Point3(0, 0, 0), 64, 64};
  WhiteMapsContext inner;
  std::unique_ptr<LineRefContext> ctx;
  Box3 boxA, boxB;
};

TEST_F(LineRefContextTest, SubViewsShowTheOthersLinesButNeverTheMappedObjectsOwn) {
  TwoBoxesApart();
  Draw(0);
  const SubView front(Point3(0, -9, 0.5f), Point3(0, 0, 0));
  LineDrawOptions options;

  const Bitmap both = Render(front, options);
  EXPECT_GT(DarkPixelsIn(both, front, boxA, 2), 40);
  EXPECT_GT(DarkPixelsIn(both, front, boxB, 2), 40);
  // Every line lies where the sub-view (not the frame's camera) sees a box.
  EXPECT_EQ(DarkPixelsIn(both, front, boxA, 2) + DarkPixelsIn(both, front, boxB, 2),
            DarkPixels(both));

  const Bitmap fromA = Render(front, options, 0);
  EXPECT_EQ(DarkPixelsIn(fromA, front, boxA, 2), 0);
  EXPECT_EQ(DarkPixelsIn(fromA, front, boxB, 2), DarkPixelsIn(both, front, boxB, 2));
  const Bitmap fromB = Render(front, options, 1);
  EXPECT_EQ(DarkPixelsIn(fromB, front, boxB, 2), 0);
  EXPECT_GT(DarkPixelsIn(fromB, front, boxA, 2), 40);

  // The frame's own line pass is untouched: its engine holds no sub-view data.
  EXPECT_TRUE(lm->RenderState().engine->Jobs().empty());
  EXPECT_EQ(gc.devWidth, 64);
}

TEST_F(LineRefContextTest, SubViewsFeedNoVectorOutputOnlyTheFramesPassDoes) {
  TwoBoxesApart();
  Draw(0);
  CountingSink sink;
  RegisterVectorSink(&sink);
  const SubView front(Point3(0, -9, 0.5f), Point3(0, 0, 0));
  EXPECT_GT(DarkPixels(Render(front, LineDrawOptions())), 0);
  EXPECT_EQ(sink.strokes, 0);
  // The frame's own pass does feed them.
  Bitmap frame(64, 64);
  ApplyLines(*lm, 0, &frame, &gc, nullptr, false);
  EXPECT_GT(sink.strokes, 0);
  UnregisterVectorSink(&sink);
}

TEST_F(LineRefContextTest, EachEdgeSwitchRemovesItsOwnKindOnly) {
  TwoBoxesCrossing();
  const SubView view(Point3(5, -7, 4), Point3(0.3f, 0, 0));
  auto withSwitch = [](int kind, bool off) {
    LineDrawOptions o;
    bool* switches[] = {&o.disableObject, &o.disableNormal, &o.disableMaterial, &o.disableSmooth,
                        &o.disableIntersection};
    *switches[kind] = off;
    return o;
  };
  auto allButOne = [](int kind) {
    LineDrawOptions o;
    bool* switches[] = {&o.disableObject, &o.disableNormal, &o.disableMaterial, &o.disableSmooth,
                        &o.disableIntersection};
    for (int k = 0; k < 5; ++k) *switches[k] = k != kind;
    return o;
  };
  const char* names[] = {"object", "normal", "material", "smooth", "intersection"};
  for (int kind = 0; kind < 5; ++kind) {
    for (int k = 0; k < 5; ++k) Draw(k, k == kind);
    LineRefContext* used = nullptr;
    const Bitmap drawn = Render(view, LineDrawOptions(), -1, &used);
    const int pairs = used->Stats().instancePairs;
    const int lines = DarkPixels(drawn);
    EXPECT_GT(lines, 10) << names[kind];
    // The other four switches leave this kind alone...
    EXPECT_EQ(DarkPixels(Render(view, allButOne(kind))), lines) << names[kind];
    // ... and its own takes it away.
    EXPECT_EQ(DarkPixels(Render(view, withSwitch(kind, true), -1, &used)), 0) << names[kind];
    if (kind == 4) {
      EXPECT_GT(pairs, 0);
      EXPECT_EQ(used->Stats().instancePairs, 0) << "intersections are not even looked for";
    }
  }
}

TEST_F(LineRefContextTest, NoLinesInMaterialSamplesWithoutOptionsOrAfterACancel) {
  TwoBoxesApart();
  Draw(0);
  const SubView front(Point3(0, -9, 0.5f), Point3(0, 0, 0));
  LineDrawOptions options;
  ASSERT_GT(DarkPixels(Render(front, options)), 0);

  gc.inMtlEdit = true;
  EXPECT_EQ(DarkPixels(Render(front, options)), 0);
  EXPECT_EQ(ctx->LinePasses(), 0);
  gc.inMtlEdit = false;

  inner.cancel = true;
  SubView v = front;
  LineRefContext cancelled(inner, &options);
  EXPECT_FALSE(cancelled.Render(&v.image, v.vp, v.srp)) << "the host's answer is passed on";
  EXPECT_EQ(DarkPixels(v.image), 0);
  inner.cancel = false;

  LineRefContext none(inner, nullptr);
  EXPECT_TRUE(none.Render(&v.image, v.vp, v.srp));
  EXPECT_EQ(DarkPixels(v.image), 0);
  inner.gc = nullptr;
  LineRefContext noFrame(inner, &options);
  EXPECT_TRUE(noFrame.Render(&v.image, v.vp, v.srp));
  EXPECT_EQ(DarkPixels(v.image), 0);
}

TEST_F(LineRefContextTest, ClipPlanesCutTheLinesOfTheSubView) {
  TwoBoxesApart();
  Draw(0);
  const SubView front(Point3(0, -9, 0.5f), Point3(0, 0, 0));
  LineDrawOptions options;
  const Bitmap whole = Render(front, options);
  // Keep camera-space x > 0: the right half, where box B is.
  const Point4 plane(1, 0, 0, 0);
  SubView v = front;
  inner.gc = &gc;
  LineRefContext cut(inner, &options);
  ASSERT_TRUE(cut.Render(&v.image, v.vp, v.srp, &plane, 1));
  EXPECT_EQ(DarkPixelsIn(v.image, front, boxA, 2), 0);
  EXPECT_EQ(DarkPixelsIn(v.image, front, boxB, 2), DarkPixelsIn(whole, front, boxB, 2));
}

TEST(LineRefTex, DrawOptionsComeFromBothBlocks) {
  theHold.Reset();
  ReferenceHolder holder(new LineRefTex);
  auto* map = holder.GetAs<LineRefTex>();
  LineDrawOptions o = map->DrawOptions(0);
  EXPECT_EQ(o.mapMode, 0);
  EXPECT_EQ(o.excludedInstance, -1);
  EXPECT_FLOAT_EQ(o.sizeScale, 1.0f);
  EXPECT_FALSE(o.alphaOverride || o.tintEnable || o.colorModEnable || o.disableObject ||
               o.disableNormal || o.disableMaterial || o.disableSmooth || o.disableIntersection);
  EXPECT_NEAR(o.colorModValues.x, 0.06f, 1e-6f);

  IParamBlock2* main = map->MainBlock();
  main->SetValue(kRefTexSizeScaling, 0, 250.0f);
  main->SetValue(kRefTexLineBlendEnable, 0, 1);
  main->SetValue(kRefTexLineBlendAlpha, 0, 40.0f);
  main->SetValue(kRefTexLineBlendType, 0, 3);
  main->SetValue(kRefTexLineColorReplaceEnable, 0, 1);
  main->SetValue(kRefTexLineColorReplaceColor, 0, Color(1, 0.5f, 0));
  main->SetValue(kRefTexLineColorReplaceAmount, 0, 30.0f);
  main->SetValue(kRefTexEdgeSmoothDisable, 0, 1);
  main->SetValue(kRefTexEdgeISectDisable, 0, 1);
  IParamBlock2* mod = map->ColorModBlock();
  mod->SetValue(kRefTexLineColorModEnable, 0, 1);
  mod->SetValue(kRefTexColorModType, 0, 1);
  mod->SetValue(kRefTexColorModG, 0, 50.0f);
  o = map->DrawOptions(0);
  EXPECT_FLOAT_EQ(o.sizeScale, 2.5f);
  EXPECT_TRUE(o.alphaOverride);
  EXPECT_FLOAT_EQ(o.alpha, 0.4f);
  EXPECT_EQ(o.blend, 3);
  EXPECT_TRUE(o.tintEnable);
  EXPECT_EQ(o.tintColor, Color(1, 0.5f, 0));
  EXPECT_FLOAT_EQ(o.tintAmount, 0.3f);
  EXPECT_TRUE(o.disableSmooth && o.disableIntersection);
  EXPECT_FALSE(o.disableObject || o.disableNormal || o.disableMaterial);
  EXPECT_TRUE(o.colorModEnable);
  EXPECT_EQ(o.colorModMode, 1);
  EXPECT_FLOAT_EQ(o.colorModValues.y, 0.5f);
}

TEST(LineRefTex, ForwardsToItsBaseMapAndBuildsThroughTheWrapper) {
  theHold.Reset();
  ReferenceHolder holder(new LineRefTex(true));
  auto* map = holder.GetAs<LineRefTex>();
  map->Reset();
  ASSERT_NE(map->MainBlock(), nullptr);
  ASSERT_NE(map->ColorModBlock(), nullptr);
  // Without a base map: zero colour, and building succeeds at once.
  FakeShadeContext sc;
  WhiteMapsContext rmc;
  EXPECT_EQ(map->EvalColor(sc), AColor(0, 0, 0, 0));
  EXPECT_TRUE(map->BuildMaps(0, rmc));

  class BuildingMap : public testing::ProbeMap {
   public:
    using ProbeMap::ProbeMap;
    bool BuildMaps(TimeValue, RenderMapsContext& rmc) override {
      wrapped = dynamic_cast<LineRefContext*>(&rmc) != nullptr;
      return answer;
    }
    bool wrapped = false, answer = false;
  };
  auto* base = new BuildingMap(0.25f);
  map->SetSubTexmap(0, base);
  EXPECT_EQ(map->GetSubTexmap(0), base);
  EXPECT_EQ(map->GetReference(kRefTexBaseMapRef), base);
  EXPECT_FLOAT_EQ(map->EvalMono(sc), 0.25f);
  EXPECT_EQ(map->EvalColor(sc), AColor(0.25f, 0.25f, 0.25f, 1.0f));
  EXPECT_FALSE(map->BuildMaps(0, rmc)) << "the base map's answer is passed on";
  EXPECT_TRUE(base->wrapped);
  EXPECT_STREQ(map->GetSubTexmapSlotName(0).data(), "BASE REF MAP");
  // A block is refused in the base map's slot.
  EXPECT_EQ(map->TryReplaceReference(kRefTexBaseMapRef, map->MainBlock()), REF_FAIL);
  EXPECT_EQ(map->BaseMap(), base);
}

// A map laid out as before the colour-range block: the main block in slot 0
// and the base map in slot 1.
class OldLayoutRefTex : public Texmap {
 public:
  AColor EvalColor(ShadeContext&) override { return {}; }
  void Update(TimeValue, Interval&) override {}
  Interval Validity(TimeValue) override { return FOREVER; }
  Class_ID ClassID() override { return kLineRefTexClassID; }
  int NumRefs() override { return 2; }
  ReferenceTarget* GetReference(int i) override { return i >= 0 && i < 2 ? refs_[i] : nullptr; }
  ReferenceTarget* Clone(RemapDir&) override { return nullptr; }

 protected:
  void SetReference(int i, ReferenceTarget* t) override {
    if (i >= 0 && i < 2) refs_[i] = t;
  }

 private:
  ReferenceTarget* refs_[2] = {};
};

TEST(LineRefTex, MapsSavedBeforeTheColourRangeBlockLoadWithTheirBaseMap) {
  theHold.Reset();
  testing::RegisterBrushTestClasses();
  GetClassDirectory().AddClass(GetLineRefTexDesc());
  ReferenceHolder old(new OldLayoutRefTex);
  auto* saved = old.GetAs<OldLayoutRefTex>();
  saved->SetName("mirror");
  IParamBlock2* main = CreateParameterBlock2(LineRefTexBlockDesc(kRefTexBlockMain), saved);
  main->SetValue(kRefTexSizeScaling, 0, 300.0f);
  saved->ReplaceReference(0, main);
  saved->ReplaceReference(1, new testing::ProbeMap(0.75f));

  MemorySave out;
  ReferenceTarget* roots[] = {saved};
  std::string error;
  ASSERT_TRUE(SaveReferenceGraph(out, roots, &error)) << error;
  GraphLoadResult loaded = LoadReferenceGraph(out.Bytes());
  ASSERT_TRUE(loaded) << loaded.error;
  auto* back = dynamic_cast<LineRefTex*>(loaded.graph->Root(0));
  ASSERT_NE(back, nullptr);
  EXPECT_STREQ(back->GetName(), "mirror");
  ASSERT_NE(back->MainBlock(), nullptr);
  EXPECT_FLOAT_EQ(back->MainBlock()->GetFloat(kRefTexSizeScaling), 300.0f);
  auto* base = dynamic_cast<testing::ProbeMap*>(back->BaseMap());
  ASSERT_NE(base, nullptr);
  EXPECT_FLOAT_EQ(base->value, 0.75f);
  ASSERT_NE(back->ColorModBlock(), nullptr);
  EXPECT_FLOAT_EQ(back->ColorModBlock()->GetFloat(kRefTexColorModR), 6.0f);
  EXPECT_EQ(back->ColorModBlock()->GetInt(kRefTexLineColorModEnable), 0);

  // A map of today's layout round-trips as it is.
  back->ColorModBlock()->SetValue(kRefTexColorModB, 0, 12.0f);
  MemorySave again;
  ReferenceTarget* current[] = {back};
  ASSERT_TRUE(SaveReferenceGraph(again, current, &error)) << error;
  GraphLoadResult reloaded = LoadReferenceGraph(again.Bytes());
  ASSERT_TRUE(reloaded) << reloaded.error;
  auto* map = dynamic_cast<LineRefTex*>(reloaded.graph->Root(0));
  ASSERT_NE(map, nullptr);
  EXPECT_FLOAT_EQ(map->ColorModBlock()->GetFloat(kRefTexColorModB), 12.0f);
  EXPECT_FLOAT_EQ(map->MainBlock()->GetFloat(kRefTexSizeScaling), 300.0f);
  ASSERT_NE(dynamic_cast<testing::ProbeMap*>(map->BaseMap()), nullptr);
}

TEST(LineRefTex, SavedColourRangeIsTheDefaultOfNewMapsAndIsReadAtStartUp) {
  theHold.Reset();
  ScratchDir dir;
  FakeInterface ip;
  ip.settingsDir = dir.Path().string();
  ForgetSettingsDirectory();
  ParamBlockDesc2* desc = LineRefTexBlockDesc(kRefTexBlockColorMod);
  const float before = desc->GetParamDef(kRefTexColorModG)->def.Get<float>();
  {
    ReferenceHolder holder(new LineRefTex);
    auto* map = holder.GetAs<LineRefTex>();
    map->ColorModBlock()->SetValue(kRefTexColorModG, 0, 33.0f);
    map->ColorModBlock()->SetValue(kRefTexColorModType, 0, 1);
    map->SaveColorRangeAsDefault();
  }
  ReferenceHolder fresh(new LineRefTex);
  EXPECT_FLOAT_EQ(fresh.GetAs<LineRefTex>()->ColorModBlock()->GetFloat(kRefTexColorModG), 33.0f);
  EXPECT_EQ(fresh.GetAs<LineRefTex>()->ColorModBlock()->GetInt(kRefTexColorModType), 1);

  // Start-up reads the file into the descriptor.
  desc->SetDefault(kRefTexColorModG, before);
  IniHandler ini(SettingsFilePath(kLineRefTexIniFile));
  ASSERT_TRUE(std::filesystem::exists(ini.Path()));
  LoadLineRefTexDefaults(ini);
  EXPECT_FLOAT_EQ(desc->GetParamDef(kRefTexColorModG)->def.Get<float>(), 33.0f);
  // Put the built-in defaults back for the other tests.
  desc->SetDefault(kRefTexColorModG, before);
  desc->SetDefault(kRefTexColorModType, 0);
  ForgetSettingsDirectory();
}

}  // namespace
}  // namespace tarnis
