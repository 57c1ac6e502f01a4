// Tests of the screen-space shade context of maps along lines.
#include "tarnis/line/draw/sc_line.h"

#include <gtest/gtest.h>

#include <vector>

#include "sdk/render.h"

namespace tarnis {
namespace {

void ExpectPoint(const Point3& p, const Point3& expected, const char* what = "") {
  EXPECT_NEAR(p.x, expected.x, 1e-6f) << what;
  EXPECT_NEAR(p.y, expected.y, 1e-6f) << what;
  EXPECT_NEAR(p.z, expected.z, 1e-6f) << what;
}

TEST(SCLine, AnswersScreenDataForEveryMappingChannel) {
  SCLine sc;
  sc.Prepare(200, 100, PROJ_PERSPECTIVE, 480);
  sc.SetScreenPoint(Point2(50.5f, 25.25f));
  for (int channel : {0, 1, 2, 99}) {
    ExpectPoint(sc.UVW(channel), Point3(0.2525f, 0.2525f, 0.0f), "UVW");
    ExpectPoint(sc.DUVW(channel), Point3(0.005f, 0.01f, 0.0f), "DUVW");
  }
  Point2 uv, duv;
  sc.ScreenUV(uv, duv);
  EXPECT_FLOAT_EQ(uv.x, 0.2525f);
  EXPECT_FLOAT_EQ(uv.y, 0.2525f);
  EXPECT_FLOAT_EQ(duv.x, 0.005f);
  EXPECT_FLOAT_EQ(duv.y, 0.01f);
  EXPECT_EQ(sc.ScreenCoord().x, 50);
  EXPECT_EQ(sc.ScreenCoord().y, 25);
  EXPECT_EQ(sc.CurTime(), 480);
  ExpectPoint(sc.DP(), Point3(0.005f, 0.01f, 0.0f), "DP");
}

TEST(SCLine, PixelsOfPointsLeftOfAndAboveTheImageAreNegative) {
  SCLine sc;
  sc.Prepare(64, 64, PROJ_PARALLEL, 0);
  sc.SetScreenPoint(Point2(-0.5f, -3.2f));
  EXPECT_EQ(sc.ScreenCoord().x, -1);
  EXPECT_EQ(sc.ScreenCoord().y, -4);
  sc.SetScreenPoint(Point2(1e20f, -1e20f));
  EXPECT_GT(sc.ScreenCoord().x, 0);
  EXPECT_LT(sc.ScreenCoord().y, 0);
}

TEST(SCLine, ObjectQueriesUseTheUnitBox) {
  SCLine sc;
  sc.Prepare(10, 10, PROJ_PERSPECTIVE, 0);
  const Box3 box = sc.ObjectBox();
  ExpectPoint(box.pmin, Point3(0, 0, 0), "min");
  ExpectPoint(box.pmax, Point3(1, 1, 1), "max");
  struct Case {
    Point3 p, rel;
  } cases[] = {{{0.5f, 0.5f, 0.5f}, {0, 0, 0}},
               {{0, 0, 0}, {-1, -1, -1}},
               {{1.0f, 0.25f, 0.75f}, {1.0f, -0.5f, 0.5f}}};
  for (const Case& c : cases) {
    sc.SetPoint(c.p);
    ExpectPoint(sc.PObj(), c.p, "PObj");
    ExpectPoint(sc.PObjRelBox(), c.rel, "PObjRelBox");
  }
}

TEST(SCLine, RelativeToBoxIsZeroOnFlatAxes) {
  const Box3 flat(Point3(-1, 2, 5), Point3(1, 2, 9));
  ExpectPoint(RelativeToBox(Point3(0, 7, 9), flat), Point3(0, 0, 1));
  ExpectPoint(RelativeToBox(Point3(0, 7, 9), Box3()), Point3(0, 0, 0), "empty box");
}

TEST(SCLine, LeavesSpacesAndDirectionsAsTheyAre) {
  SCLine sc;
  sc.Prepare(10, 10, PROJ_PERSPECTIVE, 0);
  const Point3 p(1, -2, 3);
  for (RefFrame f : {REF_CAMERA, REF_WORLD, REF_OBJECT}) {
    ExpectPoint(sc.PointTo(p, f), p);
    ExpectPoint(sc.PointFrom(p, f), p);
    ExpectPoint(sc.VectorTo(p, f), p);
    ExpectPoint(sc.VectorFrom(p, f), p);
  }
  ExpectPoint(sc.Normal(), Point3(0, 0, 1), "normal");
  ExpectPoint(sc.V(), Point3(0, 0, -1), "view");
  sc.SetNormal(Point3(1, 0, 0));
  sc.SetView(Point3(0, 1, 0));
  ExpectPoint(sc.Normal(), Point3(1, 0, 0), "set normal");
  ExpectPoint(sc.V(), Point3(0, 1, 0), "set view");
  ExpectPoint(sc.ReflectVector(), Point3(0, 0, 1), "reflect");
  ExpectPoint(sc.RefractVector(1.5f), Point3(0, 0, 1), "refract");
  // A new frame starts from the defaults again.
  sc.Prepare(10, 10, PROJ_PERSPECTIVE, 0);
  ExpectPoint(sc.Normal(), Point3(0, 0, 1), "normal after prepare");
  Point3 dpdx(5, 5, 5), dpdy(5, 5, 5);
  sc.DP(dpdx, dpdy);
  ExpectPoint(dpdx, Point3(), "dpdx");
  ExpectPoint(dpdy, Point3(), "dpdy");
  Point3 axes[3] = {Point3(1, 1, 1), Point3(1, 1, 1), Point3(1, 1, 1)};
  sc.DPdUVW(axes, 1);
  for (const Point3& a : axes) ExpectPoint(a, Point3(), "DPdUVW");
}

class FixedLight : public LightDesc {
 public:
  bool Illuminate(ShadeContext&, const Point3&, Color&, Point3&, float&, float&) override {
    return true;
  }
};

TEST(SCLine, HandsOutItsLightsAndABlackOpaqueBackground) {
  FixedLight a, b;
  const std::vector<LightDesc*> lights = {&a, &b};
  SCLine sc;
  sc.Prepare(10, 10, PROJ_PERSPECTIVE, 0);
  sc.SetLights(lights);
  EXPECT_EQ(sc.nLights, 2);
  EXPECT_EQ(sc.Light(0), &a);
  EXPECT_EQ(sc.Light(1), &b);
  EXPECT_EQ(sc.Light(2), nullptr);
  EXPECT_EQ(sc.Light(-1), nullptr);
  Color bg(1, 1, 1), transp(1, 1, 1);
  sc.GetBGColor(bg, transp);
  EXPECT_EQ(bg, Color(0, 0, 0));
  EXPECT_EQ(transp, Color(0, 0, 0));
}

TEST(SCLine, ZeroImageSizeStillGivesFiniteScreenData) {
  SCLine sc;
  sc.Prepare(0, -5, PROJ_PERSPECTIVE, 0);
  sc.SetScreenPoint(Point2(0.5f, 0.5f));
  ExpectPoint(sc.UVW(1), Point3(0.5f, 0.5f, 0.0f));
  ExpectPoint(sc.DUVW(1), Point3(1.0f, 1.0f, 0.0f));
}

}  // namespace
}  // namespace tarnis
