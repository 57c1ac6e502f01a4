// Tests of the mesh-aware shade context of maps along lines: channels
// interpolated along a segment (with their cache), the screen fallback,
// the normal, object box and the space transforms, and a map evaluated
// over the mapping data that detection computes for a mesh edge.
#include "tarnis/line/draw/sc_line3d.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tarnis/line/detect/edge_visibility.h"
#include "tarnis/line/engine/engine_test_scene.h"
#include "tarnis/line/frame/frame_view.h"

namespace tarnis {
namespace {

using engine_testing::PlaneMesh;
using engine_testing::TestRenderInstance;

void ExpectPoint(const Point3& p, const Point3& expected, const char* what = "") {
  EXPECT_NEAR(p.x, expected.x, 1e-5f) << what;
  EXPECT_NEAR(p.y, expected.y, 1e-5f) << what;
  EXPECT_NEAR(p.z, expected.z, 1e-5f) << what;
}

// An instance 10 units in front of the camera whose box spans
// (-2, -1, 0)..(2, 1, 4) and which retains channels 1 and 3 and the normal.
LineMapInstance TestInstance() {
  LineMapInstance m;
  m.index = 4;
  m.objectBox = Box3(Point3(-2, -1, 0), Point3(2, 1, 4));
  m.objToCam = TranslationMatrix(Point3(0, 0, -10));
  m.camToObj = Inverse(m.objToCam);
  m.channelSlot[1] = 0;
  m.channelSlot[3] = 1;
  m.channelSlot[SCLine3D::kNormalChannel] = 2;
  return m;
}

SegmentMapping TestMapping() {
  SegmentMapping s;
  s.instance = 4;
  s.start = {Point3(0, 0, 0), Point3(1, 1, 1), Point3(0, 0, 1)};
  s.end = {Point3(1, 2, -4), Point3(3, 5, 1), Point3(1, 0, 0)};
  return s;
}

class SCLine3DTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sc.Prepare(200, 100, PROJ_PERSPECTIVE, 0);
    sc.SetSegment(&mapping, &instance);
  }
  LineMapInstance instance = TestInstance();
  SegmentMapping mapping = TestMapping();
  SCLine3D sc;
};

TEST_F(SCLine3DTest, InterpolatesAChannelAtTheEdgeParameter) {
  sc.SetStep(Point2(20, 30), Point3(0, 0, -10), 0.25f);
  ExpectPoint(sc.UVW(1), Point3(0.25f, 0.5f, -1.0f), "channel 1 at 0.25");
  ExpectPoint(sc.UVW(3), Point3(1.5f, 2.0f, 1.0f), "channel 3 at 0.25");
  ExpectPoint(sc.DUVW(1), Point3(), "DUVW of a carried channel");
  // Moving on refreshes the cached values.
  sc.SetEdgeParam(1.0f);
  ExpectPoint(sc.UVW(1), Point3(1, 2, -4), "channel 1 at the end");
  // So does another segment at the same parameter.
  SegmentMapping other = mapping;
  other.end[0] = Point3(-1, 0, 0);
  sc.SetSegment(&other, &instance);
  ExpectPoint(sc.UVW(1), Point3(-1, 0, 0), "channel 1 of another segment");
}

TEST_F(SCLine3DTest, AChannelTheSegmentLacksAnswersTheScreenPosition) {
  sc.SetStep(Point2(50, 25), Point3(0, 0, -10), 0.5f);
  for (int channel : {0, 2, 99, -1, 250}) {
    EXPECT_FALSE(sc.HasChannel(channel)) << channel;
    ExpectPoint(sc.UVW(channel), Point3(0.25f, 0.25f, 0.0f), "screen position");
    ExpectPoint(sc.DUVW(channel), Point3(0.005f, 0.01f, 0.0f), "screen derivative");
  }
  // The normal entry is no mapping channel.
  ExpectPoint(sc.UVW(SCLine3D::kNormalChannel), Point3(0.25f, 0.25f, 0.0f), "normal entry");
  // Mapping data shorter than the instance's slots counts as lacking them.
  SegmentMapping shortData = mapping;
  shortData.start.resize(1);
  sc.SetSegment(&shortData, &instance);
  EXPECT_TRUE(sc.HasChannel(1));
  EXPECT_FALSE(sc.HasChannel(3));
  ExpectPoint(sc.UVW(3), Point3(0.25f, 0.25f, 0.0f), "slot beyond the data");
}

TEST_F(SCLine3DTest, TheNormalIsInterpolatedAndNormalised) {
  sc.SetStep(Point2(0, 0), Point3(0, 0, -10), 0.5f);
  const float h = std::sqrt(0.5f);
  ExpectPoint(sc.Normal(), Point3(h, 0, h), "halfway");
  ExpectPoint(sc.GNormal(), Point3(h, 0, h), "geometric");
  // Without normal data the stored normal answers.
  instance.channelSlot[SCLine3D::kNormalChannel] = -1;
  sc.SetSegment(&mapping, &instance);
  sc.SetNormal(Point3(0, 1, 0));
  ExpectPoint(sc.Normal(), Point3(0, 1, 0), "stored");
  // So it does when the normals cancel out.
  instance.channelSlot[SCLine3D::kNormalChannel] = 0;
  mapping.start[0] = Point3(0, 0, 1);
  mapping.end[0] = Point3(0, 0, -1);
  sc.SetSegment(&mapping, &instance);
  ExpectPoint(sc.Normal(), Point3(0, 1, 0), "cancelled");
}

TEST_F(SCLine3DTest, PObjRelBoxIsZeroAtTheBoxCentreAndMinusOneAtItsMinimum) {
  // Camera z = object z - 10.
  struct Case {
    Point3 cam, rel;
  } cases[] = {{{0, 0, -8}, {0, 0, 0}}, {{-2, -1, -10}, {-1, -1, -1}}, {{2, 1, -6}, {1, 1, 1}}};
  for (const Case& c : cases) {
    sc.SetPoint(c.cam);
    ExpectPoint(sc.PObj(), c.cam + Point3(0, 0, 10), "PObj");
    ExpectPoint(sc.PObjRelBox(), c.rel, "PObjRelBox");
  }
  ExpectPoint(sc.ObjectBox().pmin, Point3(-2, -1, 0), "box min");
  // Without a segment the point stays in camera space and the box is the unit box.
  sc.SetSegment(nullptr, nullptr);
  sc.SetPoint(Point3(0.5f, 0.5f, 0.5f));
  ExpectPoint(sc.PObj(), Point3(0.5f, 0.5f, 0.5f), "PObj without a segment");
  ExpectPoint(sc.PObjRelBox(), Point3(0, 0, 0), "unit box centre");
}

TEST_F(SCLine3DTest, ViewReflectionAndRefractionFollowThePoint) {
  mapping.start[2] = mapping.end[2] = Point3(0, 0, 1);
  sc.SetStep(Point2(0, 0), Point3(3, 0, -4), 0.0f);
  ExpectPoint(sc.V(), Point3(0.6f, 0, -0.8f), "view");
  ExpectPoint(sc.ReflectVector(), Point3(0.6f, 0, 0.8f), "reflect");
  ExpectPoint(sc.RefractVector(1.0f), Point3(0.6f, 0, -0.8f), "refract at ior 1");
  // Into a denser medium the ray bends towards the normal's opposite.
  const Point3 bent = sc.RefractVector(1.5f);
  EXPECT_NEAR(bent.x, 0.6f / 1.5f, 1e-5f);
  EXPECT_LT(bent.z, -0.8f);
  sc.SetIOR(1.33f);
  EXPECT_FLOAT_EQ(sc.GetIOR(), 1.33f);
  sc.Prepare(200, 100, PROJ_PARALLEL, 0);
  sc.SetPoint(Point3(3, 0, -4));
  ExpectPoint(sc.V(), Point3(0, 0, -1), "parallel view");
  EXPECT_FLOAT_EQ(sc.GetIOR(), 1.0f);
}

TEST_F(SCLine3DTest, TransformsBetweenCameraObjectAndWorldSpace) {
  FrameView view;
  view.width = 200;
  view.height = 100;
  view.camToWorld = ScaleMatrix(Point3(2, 2, 2)) * TranslationMatrix(Point3(5, 0, 0));
  view.worldToCam = Inverse(view.camToWorld);
  sc.Prepare(view);
  sc.SetSegment(&mapping, &instance);
  const Point3 p(1, 0, -3);
  ExpectPoint(sc.PointTo(p, REF_WORLD), Point3(7, 0, -6), "point to world");
  ExpectPoint(sc.VectorTo(p, REF_WORLD), Point3(2, 0, -6), "vector to world");
  ExpectPoint(sc.PointTo(p, REF_OBJECT), Point3(1, 0, 7), "point to object");
  ExpectPoint(sc.VectorTo(p, REF_OBJECT), p, "vector to object");
  for (RefFrame f : {REF_CAMERA, REF_WORLD, REF_OBJECT}) {
    ExpectPoint(sc.PointFrom(sc.PointTo(p, f), f), p, "point round trip");
    ExpectPoint(sc.VectorFrom(sc.VectorTo(p, f), f), p, "vector round trip");
  }
}

// A map whose colour is the mapping coordinates of one channel.
class ChannelMap : public Texmap {
 public:
  explicit ChannelMap(int channel) : channel_(channel) {}
  AColor EvalColor(ShadeContext& sc) override {
    const Point3 uvw = sc.UVW(channel_);
    return AColor(uvw.x, uvw.y, uvw.z, 1.0f);
  }
  void Update(TimeValue, Interval&) override {}
  Interval Validity(TimeValue) override { return FOREVER; }

 private:
  int channel_;
};

TEST(LineMapInstance, MapsReadTheMeshCoordinatesAlongAnEdgeAndTheScreenWhereChannelsLack) {
  // A plane 5 units in front of the camera with channel 1 equal to
  // ((x + 1) / 2, (y + 1) / 2, 0) and no channel 2.
  Mesh mesh = PlaneMesh(1.0f);
  mesh.setMapSupport(1, 4);
  for (size_t v = 0; v < 4; ++v) {
    mesh.Map(1).tv[v] = Point3((mesh.verts[v].x + 1) / 2, (mesh.verts[v].y + 1) / 2, 0);
  }
  for (size_t f = 0; f < 2; ++f) {
    for (int k = 0; k < 3; ++k) mesh.Map(1).tf[f].t[k] = mesh.faces[f].v[k];
  }
  mesh.buildNormals();
  TestRenderInstance ri(std::move(mesh), nullptr, nullptr, Matrix3(),
                        TranslationMatrix(Point3(0, 0, -5)), 0);
  DetectAndISectInstance record;
  record.index = 2;
  record.renderInstance = &ri;
  record.mesh = &ri.mesh;
  record.objToCam = ri.objToCam;
  record.camToObj = ri.camToObj;
  record.channelSlot.fill(-1);
  record.channelSlot[1] = 0;
  record.channelSlot[UVWInstance::kNormalChannel] = 1;
  record.channelCount = 2;
  for (int v = 0; v < 4; ++v) record.camVerts.push_back(ri.GetCamVert(v));

  const LineMapInstance inst = LineMapInstance::FromRecord(record);
  EXPECT_EQ(inst.index, 2);
  ExpectPoint(inst.objectBox.pmin, Point3(-1, -1, 0), "box min");
  ExpectPoint(inst.objectBox.pmax, Point3(1, 1, 0), "box max");
  EXPECT_EQ(inst.Slot(1), 0);
  EXPECT_EQ(inst.Slot(2), -1);
  EXPECT_EQ(inst.Slot(100), 1);

  // The edge from vertex 0 (-1, -1) to vertex 1 (1, -1) of face 0.
  const SegmentMapping m = ComputeSegmentMapping(record, 0, record.camVerts[0], record.camVerts[1]);
  SCLine3D sc;
  sc.Prepare(100, 50, PROJ_PERSPECTIVE, 0);
  sc.SetSegment(&m, &inst);
  sc.SetStep(Point2(40, 10), Point3(-0.5f, -1, -5), 0.25f);
  ChannelMap uv(1), missing(2);
  const AColor a = uv.EvalColor(sc);
  EXPECT_NEAR(a.r, 0.25f, 1e-5f);
  EXPECT_NEAR(a.g, 0.0f, 1e-5f);
  const AColor s = missing.EvalColor(sc);
  EXPECT_NEAR(s.r, 0.4f, 1e-6f);
  EXPECT_NEAR(s.g, 0.2f, 1e-6f);
  ExpectPoint(sc.Normal(), Point3(0, 0, 1), "surface normal");
  // The plain screen context shows screen coordinates on every channel.
  SCLine screen;
  screen.Prepare(100, 50, PROJ_PERSPECTIVE, 0);
  screen.SetScreenPoint(Point2(40, 10));
  EXPECT_NEAR(uv.EvalColor(screen).r, 0.4f, 1e-6f);
}

TEST(LineMapInstance, AnEmptyRecordKeepsTheUnitBoxAndNoChannels) {
  DetectAndISectInstance record;
  record.channelSlot.fill(-1);
  const LineMapInstance inst = LineMapInstance::FromRecord(record);
  ExpectPoint(inst.objectBox.pmin, Point3(0, 0, 0), "min");
  ExpectPoint(inst.objectBox.pmax, Point3(1, 1, 1), "max");
  for (int ch = 0; ch <= 100; ++ch) EXPECT_EQ(inst.Slot(ch), -1) << ch;
}

}  // namespace
}  // namespace tarnis
