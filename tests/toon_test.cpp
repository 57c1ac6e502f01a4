// End-to-end tests of toon shading: a sphere facing its light shows the
// zones' colours in bands whose borders fall at the zone positions, the
// picture does not depend on the thread count, and the scene-level "toon"
// switch wraps every mesh's material.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "host/image_io.h"
#include "sdk/testing/scratch_dir.h"
#include "tests/tarnis_run.h"

namespace {

constexpr int kSize = 160;
constexpr float kHalfWidth = 1.2f;  // the orthographic view spans 2.4 units

// A unit sphere seen along -y by an orthographic camera, lit by a
// directional light from the camera: at the point seen through (x, z) the
// gradation is N·L = sqrt(1 - x² - z²).
std::string SphereScene(const std::string& materials, const std::string& nodeMaterial,
                        const std::string& extra = "", const std::string& threads = "0") {
  return R"({"tarnis": 1,
    "render": {"width": 160, "height": 160, "samples": 1, "threads": )" + threads + R"(},
    "environment": {"background": [1, 1, 1], "ambient": [0, 0, 0]},
    "camera": {"type": "orthographic", "position": [0, -10, 0], "target": [0, 0, 0],
               "up": [0, 0, 1], "width": 2.4},
    "lights": [{"name": "Key", "type": "directional", "position": [0, -10, 0],
                "target": [0, 0, 0], "color": [1, 1, 1], "multiplier": 1, "shadows": false}],
    "materials": [)" + materials + R"(],
    "nodes": [{"name": "Ball", "mesh": {"primitive": "sphere", "radius": 1, "segments": 96})" +
         nodeMaterial + "}]" + extra + "}";
}

// Zones 0-35, 35-60, 60-85, 85-100 in red, green, (off), yellow over a
// grey base, borders hard.
constexpr const char* kBandedToon = R"(
    {"name": "Base", "class": "Standard", "params": {"diffuse": [0.5, 0.5, 0.5]}},
    {"name": "Bands", "class": "Tarnis_MaterialExt", "params": {"zoneAntiEnable": false}},
    {"name": "Toon", "class": "Tarnis_Material",
     "params": {"main": {"baseMaterial": "Base", "extMaterial": "Bands"},
                "zone1": {"zoneMin1": 0, "zoneMax1": 35, "zoneColor1": [1, 0, 0]},
                "zone2": {"zoneMin2": 35, "zoneMax2": 60, "zoneColor2": [0, 1, 0]},
                "zone3": {"zoneMin3": 60, "zoneMax3": 85, "zoneEnable3": false},
                "zone4": {"zoneMin4": 85, "zoneMax4": 100, "zoneColor4": [1, 1, 0]}}})";

host::FloatImage Render(const ScratchDir& dir, const std::string& scene, const std::string& name,
                        const std::vector<std::string>& extraArgs = {}) {
  WriteBytes(dir.File(name + ".json"), scene);
  std::vector<std::string> args = {"render", name + ".json", "-o", name + ".png", "--quiet"};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  RunResult run = RunTarnis(args, dir.Path().string());
  EXPECT_EQ(run.status, 0) << run.output;
  host::FloatImage image;
  std::string error;
  EXPECT_TRUE(host::ReadImage(dir.File(name + ".png"), image, &error)) << error;
  return image;
}

// The gradation at the centre of pixel (px, py), or a negative value off the
// sphere (or too near its rim to tell).
float GradationAt(int px, int py) {
  const float x = ((px + 0.5f) / kSize * 2.0f - 1.0f) * kHalfWidth;
  const float z = (1.0f - (py + 0.5f) / kSize * 2.0f) * kHalfWidth;
  const float r2 = x * x + z * z;
  return r2 < 0.985f ? std::sqrt(1.0f - r2) : -1.0f;
}

bool NearAny(float w, std::initializer_list<float> borders, float margin) {
  for (float b : borders) {
    if (std::abs(w - b) < margin) return true;
  }
  return false;
}

void ExpectPixel(const host::FloatImage& image, int x, int y, float r, float g, float b) {
  const AColor c = image.At(x, y);
  const float tol = 1.5f / 255.0f;
  EXPECT_NEAR(c.r, r, tol) << "pixel " << x << "," << y;
  EXPECT_NEAR(c.g, g, tol) << "pixel " << x << "," << y;
  EXPECT_NEAR(c.b, b, tol) << "pixel " << x << "," << y;
}

TEST(ToonShading, ASphereShowsTheEnabledZonesInBandsAtTheirPositions) {
  ScratchDir dir;
  const host::FloatImage image = Render(dir, SphereScene(kBandedToon, R"(, "material": "Toon")"),
                                        "bands");
  ASSERT_EQ(image.width, kSize);
  int checked[4] = {};
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      const float w = GradationAt(x, y);
      if (w < 0.0f || NearAny(w, {0.35f, 0.6f, 0.85f}, 0.02f)) continue;
      if (w < 0.35f) {
        ExpectPixel(image, x, y, 1, 0, 0), ++checked[0];
      } else if (w < 0.6f) {
        ExpectPixel(image, x, y, 0, 1, 0), ++checked[1];
      } else if (w < 0.85f) {
        ExpectPixel(image, x, y, 0.5f, 0.5f, 0.5f), ++checked[2];  // off: the base shows
      } else {
        ExpectPixel(image, x, y, 1, 1, 0), ++checked[3];
      }
      if (HasFailure()) return;
    }
  }
  for (int z = 0; z < 4; ++z) EXPECT_GT(checked[z], 50) << "zone " << z + 1 << " was seen";
  // Outside the sphere: the background.
  ExpectPixel(image, 2, 2, 1, 1, 1);
}

TEST(ToonShading, ThePictureIsTheSameWithOneThreadOrTwo) {
  ScratchDir dir;
  // A soft-edged, highlighted, shadow-blended toon material: every path.
  const std::string materials = R"(
    {"name": "Base", "class": "Standard", "params": {"diffuse": [0.7, 0.4, 0.3]}},
    {"name": "Ext", "class": "Tarnis_MaterialExt",
     "params": {"sblendEnable": true, "sblendColor": [0.2, 0.2, 0.5], "hiZoneEnable": true,
                "hiZoneAmount": 80, "lightcolEnable": true}},
    {"name": "Toon", "class": "Tarnis_Material",
     "params": {"main": {"baseMaterial": "Base", "extMaterial": "Ext", "hiLevel": 80,
                         "hiGross": 40, "hiSharp": 60, "hiAniso": 50, "hiOrient": 3000},
                "zone1": {"zoneMax1": 20, "zoneBlend1": 3, "zoneColor1": [0.4, 0.4, 0.5]},
                "zone2": {"zoneMin2": 35, "zoneColor2": [0.9, 0.9, 0.9], "zoneBlend2": 3}}})";
  const host::FloatImage one =
      Render(dir, SphereScene(materials, R"(, "material": "Toon")", "", "1"), "one");
  const host::FloatImage two =
      Render(dir, SphereScene(materials, R"(, "material": "Toon")", "", "2"), "two");
  ASSERT_EQ(one.pixels.size(), two.pixels.size());
  EXPECT_TRUE(one.pixels == two.pixels);
}

TEST(ToonShading, TheToonSwitchWrapsEveryMeshMaterial) {
  ScratchDir dir;
  const std::string materials =
      R"({"name": "Red", "class": "Standard", "params": {"diffuse": [1, 0, 0]}})";
  const std::string toon = R"(, "toon": {"params": {
      "zone1": {"zoneMax1": 50, "zoneColor1": [0.25, 0.25, 0.25], "zoneBlend1": 3},
      "zone2": {"zoneMin2": 50, "zoneMax2": 100, "zoneColor2": [1, 1, 1], "zoneBlend2": 3},
      "zone3": {"zoneEnable3": false, "zoneMin3": 100, "zoneMax3": 100},
      "zone4": {"zoneEnable4": false, "zoneMin4": 100, "zoneMax4": 100}}})";
  const host::FloatImage image =
      Render(dir, SphereScene(materials, R"(, "material": "Red")", toon), "wrapped");
  // The material's own colour, multiplied by the zone colours: two flat
  // bands of red instead of a smooth fall-off.
  ExpectPixel(image, kSize / 2, kSize / 2, 1, 0, 0);
  int x = 0;
  while (x < kSize / 2 && GradationAt(x, kSize / 2) < 0.0f) ++x;
  ExpectPixel(image, x + 2, kSize / 2, 0.25f, 0, 0);

  // A mesh without a material is wrapped too (a standard one inside).
  const host::FloatImage plain = Render(dir, SphereScene(materials, "", toon), "plain");
  const AColor centre = plain.At(kSize / 2, kSize / 2);
  const AColor rim = plain.At(x + 2, kSize / 2);
  EXPECT_NEAR(rim.r, centre.r * 0.25f, 2.0f / 255.0f);
}

// A toon sphere whose darkest zone is hatched by a stroke map named in the
// materials list, plus a plane whose standard material shows the same kind
// of map in its diffuse slot.
std::string HatchedScene(const std::string& threads) {
  const std::string materials = R"(
    {"name": "Base", "class": "Standard", "params": {"diffuse": [0.9, 0.9, 0.9]}},
    {"name": "Lines", "class": "Tarnis_Stroke",
     "params": {"main": {"strokeColor": [0, 0, 0.6], "strokeWidth": 3, "strokeLength": 20,
                         "strokeAngle": 30, "strokeAngleRnd": 20, "strokeBend": 40},
                "damp_size": {"strokeDampSizeEnable": true, "strokeDampSizeRandom": 50},
                "color_mod": {"colorModR": 20}},
     "refs": {"5": {"class": "StdUVGen", "params": {"mapping": 4}}}},
    {"name": "Toon", "class": "Tarnis_Material",
     "params": {"main": {"baseMaterial": "Base"},
                "zone1": {"zoneMax1": 50, "zoneColor1": [1, 1, 1], "stroke1": ["Lines"],
                          "strokeEnable1": [true]},
                "zone2": {"zoneMin2": 50, "zoneMax2": 100, "zoneColor2": [1, 1, 1]},
                "zone3": {"zoneEnable3": false, "zoneMin3": 100, "zoneMax3": 100},
                "zone4": {"zoneEnable4": false, "zoneMin4": 100, "zoneMax4": 100}}})";
  return SphereScene(materials, R"(, "material": "Toon")", "", threads);
}

TEST(ToonShading, AHatchedZoneShowsStrokesOnlyWhereTheZoneIsAndTheSameOnAnyThreadCount) {
  ScratchDir dir;
  const host::FloatImage one = Render(dir, HatchedScene("1"), "one");
  const host::FloatImage two = Render(dir, HatchedScene("2"), "two");
  ASSERT_EQ(one.pixels.size(), two.pixels.size());
  EXPECT_TRUE(one.pixels == two.pixels);
  int stroked = 0, plain = 0;
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      const float w = GradationAt(x, y);
      if (w < 0.0f || std::abs(w - 0.5f) < 0.03f) continue;
      const AColor c = one.At(x, y);
      const bool white = c.r > 0.99f && c.g > 0.99f && c.b > 0.99f;
      if (w > 0.5f) {
        EXPECT_TRUE(white) << "the lit zone has no strokes: pixel " << x << "," << y;
      } else if (!white) {
        EXPECT_GT(c.b, c.r) << "strokes are bluish: pixel " << x << "," << y;
        ++stroked;
      } else {
        ++plain;
      }
      if (HasFailure()) return;
    }
  }
  EXPECT_GT(stroked, 100) << "the shadow zone is hatched";
  EXPECT_GT(plain, 100) << "...with paper between the strokes";
}

TEST(ToonShading, AStrokeMapWorksInAStandardMaterialsDiffuseSlot) {
  ScratchDir dir;
  const std::string materials = R"(
    {"name": "Hatched", "class": "Standard",
     "params": {"diffuse": [1, 1, 1], "diffuseMap": "Lines"}},
    {"name": "Lines", "class": "Tarnis_Stroke",
     "params": {"main": {"strokeColor": [1, 0, 0], "strokeWidth": 4, "strokeLength": 20}},
     "refs": {"5": {"class": "StdUVGen", "params": {"mapping": 4}}}})";
  const host::FloatImage image =
      Render(dir, SphereScene(materials, R"(, "material": "Hatched")"), "std");
  int red = 0, white = 0;
  for (int y = 60; y < 100; ++y) {
    for (int x = 60; x < 100; ++x) {
      const AColor c = image.At(x, y);
      if (c.r > 0.2f && c.g < 0.05f) ++red;
      if (c.g > 0.2f) ++white;
    }
  }
  EXPECT_GT(red, 5) << "strokes show";
  EXPECT_GT(white, 5) << "and the material between them";
}

TEST(ToonShading, AToonSwitchThatIsNeitherOnOffNorSettingsIsAnError) {
  ScratchDir dir;
  WriteBytes(dir.File("bad.json"), SphereScene(kBandedToon, "", R"(, "toon": 3)"));
  RunResult run = RunTarnis({"render", "bad.json", "-o", "bad.png"}, dir.Path().string());
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.output.find("toon"), std::string::npos) << run.output;
}

}  // namespace
