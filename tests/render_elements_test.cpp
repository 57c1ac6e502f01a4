// The plug-in's render elements in a real render of the host: a toon
// material over the host's standard material fills the material element
// with its zone colour where the element selects its samples and with the
// background (alpha 0) on every other shaded sample; the line element is
// cleared after the frame. The objects are made through the plug-in's class
// descriptors, as the host makes them.
#include <gtest/gtest.h>

#include "host/std_material.h"
#include "host/testing/render_test_scene.h"
#include "sdk/testing/fake_interface.h"
#include "tarnis/material/tarmat.h"
#include "tarnis/output/line_render_element_class_desc.h"
#include "tarnis/output/mat_render_element_class_desc.h"

namespace {

using host::render_testing::RenderTestScene;

constexpr float kTol = 2e-4f;  // 16-bit element images
const Color kZone(0.2f, 0.6f, 0.4f);

void ExpectPixel(const Bitmap& image, int x, int y, const AColor& want, const char* what) {
  const AColor got = FromColor64(image.GetPixel(x, y));
  EXPECT_NEAR(got.r, want.r, kTol) << what;
  EXPECT_NEAR(got.g, want.g, kTol) << what;
  EXPECT_NEAR(got.b, want.b, kTol) << what;
  EXPECT_NEAR(got.a, want.a, kTol) << what << " (alpha)";
}

// A toon material whose four zones all show kZone, without a highlight,
// over the host's standard material.
Mtl* FlatToon() {
  auto* toon = new tarnis::Tarmat;
  toon->SetSubMtl(0, new host::StdMtl);
  for (int z = 0; z < tarnis::kToonZones; ++z) {
    toon->Block(tarnis::kTarmatBlockZone1 + z)->SetValue(tarnis::kTzColor, 0, kZone);
  }
  toon->Block(tarnis::kTarmatBlockMain)->SetValue(tarnis::kTmHiAlpha, 0, 0.0f);
  return toon;
}

Mesh Plane(int materialID) {
  Mesh m = host::render_testing::PlaneMesh(0.6f, 0.6f);
  for (Face& f : m.faces) f.setMatID(static_cast<uint16_t>(materialID));
  return m;
}

template <class T>
T* Make(ClassDesc2* cd) {
  return dynamic_cast<T*>(static_cast<ReferenceTarget*>(cd->Create(false)));
}

TEST(RenderElements, ElementsOfARenderHoldTheToonZonesAndTheClearedLineImage) {
  FakeInterface ip;
  // Three squares seen from above, one unit apart: a toon material of
  // material id 1, the same toon material with id 2 on a node with object
  // id 7, and the standard material alone with id 1.
  RenderTestScene s(24, 8);
  s.AddOrthoCamera({0, 0, 10}, {0, 0, 0}, 3.0f, {0, 1, 0});
  s.AddLight(host::LightObject::Type::kDirectional, {0, 0, 10}, {0, 0, 0});
  Mtl* toon = FlatToon();
  s.AddMesh(Plane(1), toon, {-1, 0, 0});
  s.AddMesh(Plane(2), toon, {0, 0, 0})->gbufID = 7;
  s.AddMesh(Plane(1), new host::StdMtl, {1, 0, 0});

  auto* byMaterial = Make<tarnis::MatRenderElement>(tarnis::GetMatRenderElementDesc());
  ASSERT_NE(byMaterial, nullptr);
  byMaterial->Block()->SetValue(tarnis::kMatElementBackgroundColorEnable, 0, true);
  byMaterial->Block()->SetValue(tarnis::kMatElementBackgroundColor, 0, Color(0, 0, 1));
  auto* byObject = Make<tarnis::MatRenderElement>(tarnis::GetMatRenderElementDesc());
  byObject->Block()->SetValue(tarnis::kMatElementSelectType, 0, 1);
  byObject->Block()->SetValue(tarnis::kMatElementObjID, 0, 7);
  auto* lines = Make<tarnis::LineFxRenderElement>(tarnis::GetLineFxRenderElementDesc());
  ASSERT_NE(lines, nullptr);
  lines->Block()->SetValue(tarnis::kLineElementBackgroundColorEnable, 0, true);
  lines->Block()->SetValue(tarnis::kLineElementBackgroundColor, 0, Color(1, 0, 0));
  for (IRenderElement* e : std::initializer_list<IRenderElement*>{byMaterial, byObject, lines}) {
    s.scene.Elements().Append(e);
  }

  ASSERT_EQ(s.Render().status, host::RenderStatus::kDone);
  ASSERT_EQ(s.sink.frames.size(), 1u);
  const host::FrameResult& frame = s.sink.frames[0];
  ASSERT_EQ(frame.elements.size(), 3u);
  const Bitmap& material = frame.elements[0].image;
  const Bitmap& object = frame.elements[1].image;
  const Bitmap& lineImage = frame.elements[2].image;

  // Pixel columns 4, 12 and 20 see the three squares; row 0 misses them.
  ExpectPixel(material, 4, 4, AColor(kZone, 1.0f), "toon, material id 1");
  ExpectPixel(material, 12, 4, {0, 0, 1, 0}, "toon, material id 2");
  ExpectPixel(material, 20, 4, {0, 0, 1, 0}, "standard material");
  ExpectPixel(material, 12, 0, {0, 0, 0, 0}, "nothing shaded");

  ExpectPixel(object, 4, 4, {0, 0, 0, 0}, "object id 0");
  ExpectPixel(object, 12, 4, AColor(kZone, 1.0f), "object id 7");
  ExpectPixel(object, 20, 4, {0, 0, 0, 0}, "standard material, object id 0");

  for (int x : {0, 4, 12, 20}) ExpectPixel(lineImage, x, 4, {1, 0, 0, 0}, "line element");
}

}  // namespace
