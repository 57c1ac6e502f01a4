#include "tarnis/output/mat_render_element.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "sdk/testing/fake_interface.h"
#include "sdk/testing/fake_shade_context.h"
#include "tarnis/material/tarmat.h"
#include "tarnis/material/zone_stroke.h"
#include "tarnis/output/mat_render_element_class_desc.h"
#include "tarnis/output/render_element_test_helpers.h"

namespace tarnis {
namespace {

using testing::ElementsContext;
using testing::IdNode;

constexpr float kTol = 1e-5f;
constexpr int kOtherSlot = 0;
constexpr int kElementSlot = 1;
const AColor kUntouched(0.9f, 0.8f, 0.7f, 0.6f);

void ExpectColour(const AColor& got, const AColor& want, const char* what = "") {
  EXPECT_NEAR(got.r, want.r, kTol) << what;
  EXPECT_NEAR(got.g, want.g, kTol) << what;
  EXPECT_NEAR(got.b, want.b, kTol) << what;
  EXPECT_NEAR(got.a, want.a, kTol) << what << " (alpha)";
}

// A base material standing in for the host's standard one: colour x light,
// then, as the standard material does at the end of its shading, every
// render element of the render adds its value. It marks the slot of the
// other element so the test sees the base pass's values come back.
class PostIllumMtl : public Mtl {
 public:
  void Shade(ShadeContext& sc) override {
    Color light = sc.ambientLight;
    for (int n = 0; n < sc.nLights; ++n) {
      Color c;
      Point3 dir;
      float nl = 0.0f, coef = 0.0f;
      if (LightDesc* l = sc.Light(n); l && l->Illuminate(sc, sc.Normal(), c, dir, nl, coef)) {
        light += c * coef;
      }
    }
    sc.out.c = Color(0.5f, 0.5f, 0.5f) * light;
    sc.out.t = Color();
    sc.out.elementVals[kOtherSlot] = AColor(0.1f, 0.2f, 0.3f, 0.4f);
    IllumParams ip;
    if (RenderGlobalContext* gc = sc.globContext) {
      for (int i = 0; i < gc->NRenderElements(); ++i) gc->GetRenderElement(i)->PostIllum(sc, ip);
    }
  }
  void Update(TimeValue, Interval&) override {}
  Interval Validity(TimeValue) override { return FOREVER; }
  Class_ID ClassID() override { return Class_ID(0x7E57, 0x8101); }
};

// One colour everywhere.
class PlainMap : public Texmap {
 public:
  explicit PlainMap(AColor c) : colour(c) {}
  AColor EvalColor(ShadeContext&) override { return colour; }
  void Update(TimeValue, Interval&) override {}
  Interval Validity(TimeValue) override { return FOREVER; }
  Class_ID ClassID() override { return Class_ID(0x7E57, 0x8102); }
  AColor colour;
};

// A stroke of one colour and coverage that counts how often it is laid.
class SolidStroke : public Texmap, public ZoneStroke {
 public:
  SolidStroke(Color c, float k) : colour(c), coverage(k) {}
  AColor EvalColor(ShadeContext&) override { return AColor(colour, 1.0f); }
  void Update(TimeValue, Interval&) override {}
  Interval Validity(TimeValue) override { return FOREVER; }
  Class_ID ClassID() override { return kStrokeClassID; }
  float ShadeStroke(ShadeContext&, float opacity, Color& c, int, float) override {
    ++calls;
    const float k = coverage * opacity;
    c = c * (1.0f - k) + colour * k;
    return k;
  }
  Color colour;
  float coverage;
  int calls = 0;
};

class MatElementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    holder_.Set(static_cast<ReferenceTarget*>(GetMatRenderElementDesc()->Create(false)));
    other_.SetShadeOutputIndex(kOtherSlot);
    element()->SetShadeOutputIndex(kElementSlot);
    context_.elements = {&other_, element()};
    sc_.globContext = &context_;
    sc_.out.nElements = 2;
    sc_.mtlNum = 1;
    sc_.node = &node_;
    sc_.out.elementVals[kOtherSlot] = kUntouched;
    sc_.out.elementVals[kElementSlot] = kUntouched;
  }

  MatRenderElement* element() { return holder_.GetAs<MatRenderElement>(); }
  IParamBlock2* block() { return element()->Block(); }
  AColor Slot() const { return sc_.out.elementVals[kElementSlot]; }

  FakeInterface ip_;
  ReferenceHolder holder_;
  IRenderElement other_;
  ElementsContext context_;
  IdNode node_{5, 1.0f};
  FakeShadeContext sc_;
};

TEST(MatElementClass, ANewElementIsNamedAfterItsClass) {
  ClassDesc2* cd = GetMatRenderElementDesc();
  ReferenceHolder h(static_cast<ReferenceTarget*>(cd->Create(false)));
  auto* e = h.GetAs<MatRenderElement>();
  ASSERT_NE(e, nullptr);
  EXPECT_STRNE(cd->ClassName(), "");
  EXPECT_STREQ(e->ElementName(), cd->ClassName());
  EXPECT_TRUE(e->IsEnabled());
}

TEST(MatElementClass, TheBlockListsItsParametersInOrderWithTheirRanges) {
  ParamBlockDesc2* desc = MatRenderElementBlockDesc();
  const std::vector<ParamID> order = {0,  1,  2,  4,  5,  6,  7,  8,  9,  10, 24, 11, 12,
                                      13, 14, 25, 15, 16, 17, 18, 19, 20, 21, 22, 23};
  ASSERT_EQ(desc->Count(), static_cast<int>(order.size()));
  for (int i = 0; i < desc->Count(); ++i) EXPECT_EQ(desc->IndexToID(i), order[i]) << i;

  ReferenceHolder h(static_cast<ReferenceTarget*>(GetMatRenderElementDesc()->Create(false)));
  IParamBlock2* pb = h.GetAs<MatRenderElement>()->Block();
  struct Range {
    ParamID id;
    int def, max;
  } ranges[] = {{kMatElementSelectType, 0, 1},
                {kMatElementMatID, 1, 15},
                {kMatElementObjID, 0, 65535},
                {kMatElementExaMatid, 0, 15},
                {kMatElementExaObjid, 0, 65535}};
  for (const Range& r : ranges) {
    EXPECT_EQ(pb->GetInt(r.id), r.def) << r.id;
    pb->SetValue(r.id, 0, r.max + 10);
    EXPECT_EQ(pb->GetInt(r.id), r.max) << r.id;
    pb->SetValue(r.id, 0, -3);
    EXPECT_EQ(pb->GetInt(r.id), 0) << r.id;
  }
  const MatElementSettings s = h.GetAs<MatRenderElement>()->Settings(0);
  EXPECT_FALSE(s.backgroundColorEnable);
  EXPECT_EQ(s.backgroundColor, Color(1, 1, 1));
  EXPECT_TRUE(s.colorHi && s.colorStroke && s.colorReflec && s.colorZoneBG && s.alphaHi);
  for (int z = 0; z < kToonZones; ++z) EXPECT_TRUE(s.colorZone[z] && s.alphaZone[z]) << z;
  EXPECT_FALSE(s.exaMatidEnable || s.exaObjidEnable);
}

TEST_F(MatElementTest, SettingsReadEveryParameter) {
  block()->SetValue(kMatElementSelectType, 0, 1);
  block()->SetValue(kMatElementObjID, 0, 300);
  block()->SetValue(kMatElementColorReflec, 0, false);
  block()->SetValue(kMatElementColorZone1 + 2, 0, false);
  block()->SetValue(kMatElementColorZoneBG, 0, false);
  block()->SetValue(kMatElementAlphaZone1 + 3, 0, false);
  block()->SetValue(kMatElementExaMatidEnable, 0, true);
  block()->SetValue(kMatElementExaMatid, 0, 4);
  const MatElementSettings s = element()->Settings(0);
  EXPECT_EQ(s.selectType, 1);
  EXPECT_EQ(s.objID, 300);
  EXPECT_FALSE(s.colorReflec);
  EXPECT_EQ(s.colorZone, (std::array<bool, 4>{true, true, false, true}));
  EXPECT_FALSE(s.colorZoneBG);
  EXPECT_EQ(s.alphaZone, (std::array<bool, 4>{true, true, true, false}));
  EXPECT_TRUE(s.exaMatidEnable);
  EXPECT_EQ(s.exaMatid, 4);
}

TEST_F(MatElementTest, PostIllumWritesTheBackgroundWithAlphaZeroIntoItsSlotOnly) {
  IllumParams ip;
  element()->PostIllum(sc_, ip);
  ExpectColour(Slot(), {0, 0, 0, 0});
  ExpectColour(sc_.out.elementVals[kOtherSlot], kUntouched, "the other slot");
  block()->SetValue(kMatElementBackgroundColorEnable, 0, true);
  block()->SetValue(kMatElementBackgroundColor, 0, Color(0.2f, 0.4f, 0.6f));
  element()->PostIllum(sc_, ip);
  ExpectColour(Slot(), {0.2f, 0.4f, 0.6f, 0});

  // Outside a render (no slot) nothing is written.
  element()->SetShadeOutputIndex(-1);
  sc_.out.elementVals[kElementSlot] = kUntouched;
  element()->PostIllum(sc_, ip);
  ExpectColour(Slot(), kUntouched);
}

ToonSample RedSample() {
  ToonSample t;
  t.weights = {1, 0, 0, 0};
  t.withStrokes.fill(Color(1, 0, 0));
  t.withoutStrokes.fill(Color(1, 0, 0));
  return t;
}

TEST_F(MatElementTest, ASampleOfAnotherMaterialLeavesTheBackground) {
  sc_.mtlNum = 2;
  element()->ReceiveToonSample(sc_, kElementSlot, RedSample());
  ExpectColour(Slot(), {0, 0, 0, 0});
  sc_.mtlNum = 1;
  element()->ReceiveToonSample(sc_, kElementSlot, RedSample());
  ExpectColour(Slot(), {1, 0, 0, 1});
  ExpectColour(sc_.out.elementVals[kOtherSlot], kUntouched, "the other slot");
}

TEST_F(MatElementTest, AFrameReadsTheBlockOnceAndAnEditDuringItIsStillSeen) {
  element()->FrameStart(0);
  sc_.mtlNum = 1;
  element()->ReceiveToonSample(sc_, kElementSlot, RedSample());
  ExpectColour(Slot(), {1, 0, 0, 1});
  // Changing the block drops what the frame read: the next sample sees it.
  block()->SetValue(kMatElementMatID, 0, 3);
  element()->ReceiveToonSample(sc_, kElementSlot, RedSample());
  ExpectColour(Slot(), {0, 0, 0, 0});
  element()->FrameDone();
}

TEST_F(MatElementTest, SamplesAreSelectedByTheNodesObjectIdAndScaledByItsVisibility) {
  block()->SetValue(kMatElementSelectType, 0, 1);
  block()->SetValue(kMatElementObjID, 0, 6);
  element()->ReceiveToonSample(sc_, kElementSlot, RedSample());
  ExpectColour(Slot(), {0, 0, 0, 0}, "object id 5 is not the element's");
  IdNode half(6, 0.5f);
  sc_.node = &half;
  element()->ReceiveToonSample(sc_, kElementSlot, RedSample());
  ExpectColour(Slot(), {0.5f, 0, 0, 0.5f});
  sc_.node = nullptr;
  block()->SetValue(kMatElementObjID, 0, 0);
  element()->ReceiveToonSample(sc_, kElementSlot, RedSample());
  ExpectColour(Slot(), {1, 0, 0, 1}, "a sample without a node has object id 0");
}

TEST_F(MatElementTest, SlotsOutsideTheSamplesElementsAreNotWritten) {
  sc_.out.nElements = 1;
  element()->ReceiveToonSample(sc_, kElementSlot, RedSample());
  ExpectColour(Slot(), kUntouched);
  element()->ReceiveToonSample(sc_, -1, RedSample());
  element()->ReceiveToonSample(sc_, kMaxRenderElements, RedSample());
  ExpectColour(sc_.out.elementVals[kOtherSlot], kUntouched);
}

TEST_F(MatElementTest, SurvivesASaveAndLoadRoundTrip) {
  GetClassDirectory().AddClass(GetMatRenderElementDesc());
  element()->SetElementName("Skin");
  block()->SetValue(kMatElementSelectType, 0, 1);
  block()->SetValue(kMatElementObjID, 0, 4242);
  block()->SetValue(kMatElementColorReflec, 0, false);
  block()->SetValue(kMatElementColorZoneBG, 0, false);
  block()->SetValue(kMatElementBackgroundColor, 0, Color(0.1f, 0.2f, 0.3f));

  LoadedGraph graph = testing::SaveAndLoad(element());
  ASSERT_EQ(graph.NumRoots(), 1u);
  auto* back = dynamic_cast<MatRenderElement*>(graph.Root(0));
  ASSERT_NE(back, nullptr);
  EXPECT_STREQ(back->ElementName(), "Skin");
  const MatElementSettings s = back->Settings(0);
  EXPECT_EQ(s.selectType, 1);
  EXPECT_EQ(s.objID, 4242);
  EXPECT_FALSE(s.colorReflec);
  EXPECT_FALSE(s.colorZoneBG);
  EXPECT_EQ(s.backgroundColor, Color(0.1f, 0.2f, 0.3f));
}

TEST_F(MatElementTest, ClonesAreIndependent) {
  block()->SetValue(kMatElementMatID, 0, 7);
  element()->SetEnabled(false);
  DefaultRemapDir remap;
  ReferenceHolder copyHolder(element()->Clone(remap));
  auto* copy = copyHolder.GetAs<MatRenderElement>();
  ASSERT_NE(copy, nullptr);
  ASSERT_NE(copy->Block(), block());
  EXPECT_EQ(copy->Settings(0).matID, 7);
  EXPECT_FALSE(copy->IsEnabled());
  copy->Block()->SetValue(kMatElementMatID, 0, 2);
  EXPECT_EQ(element()->Settings(0).matID, 7);
}

// The toon material over a base material that adds the elements' values:
// what reaches the element's slot after the whole shading call.
class ToonChainTest : public MatElementTest {
 protected:
  void SetUp() override {
    MatElementTest::SetUp();
    mtl_.Set(new Tarmat);
    mtl()->SetSubMtl(0, new PostIllumMtl);
    const Color colours[4] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0}};
    for (int z = 0; z < 4; ++z)
      mtl()->Block(kTarmatBlockZone1 + z)->SetValue(kTzColor, 0, colours[z]);
    Update();
    sc_.ambientLight = Color(0, 0, 0);
    sc_.AddLight(&light_);
  }
  Tarmat* mtl() { return mtl_.GetAs<Tarmat>(); }
  void Update() {
    Interval valid = FOREVER;
    mtl()->Update(0, valid);
  }
  // Shades with the gradation at w (the light's N.L).
  void ShadeAt(float w) {
    light_.toLight = Normalize(Point3(std::sqrt(std::max(0.0f, 1.0f - w * w)), 0.0f, w));
    sc_.ResetOutput();
    mtl()->Shade(sc_);
  }

  ReferenceHolder mtl_;
  TestDirectionalLight light_;
};

TEST_F(ToonChainTest, TheElementGetsTheZoneOfItsOwnSamplesAndTheBackgroundOfOthers) {
  ShadeAt(0.3f);
  ExpectColour(Slot(), {0, 1, 0, 1});
  ExpectColour(sc_.out.elementVals[kOtherSlot], {0.1f, 0.2f, 0.3f, 0.4f},
               "the base pass's element values come back");

  block()->SetValue(kMatElementBackgroundColorEnable, 0, true);
  block()->SetValue(kMatElementBackgroundColor, 0, Color(0, 0, 1));
  sc_.mtlNum = 2;
  ShadeAt(0.3f);
  ExpectColour(Slot(), {0, 0, 1, 0});

  // Only zone 2 over the background: a sample half in zones 1 and 2.
  sc_.mtlNum = 1;
  block()->SetValue(kMatElementColorZone1, 0, false);
  ShadeAt(0.25f);
  const AColor mixed = Slot();
  EXPECT_GT(mixed.g, 0.0f);
  EXPECT_GT(mixed.b, 0.0f);
  EXPECT_NEAR(mixed.g + mixed.b, 1.0f, kTol) << "zone 2 share plus background share";
  EXPECT_NEAR(mixed.a, 1.0f, kTol);
}

TEST_F(ToonChainTest, ReflectedSamplesCanShowTheirStrokesWithoutTheReflection) {
  auto* stroke = new SolidStroke(Color(0, 0, 1), 0.5f);
  mtl()->ReplaceReference(StrokeRef(0, 0), stroke);
  mtl()->Block(kTarmatBlockZone1)->SetValue(kTzStrokeEnable, 0, true, 0);
  mtl()->ReplaceReference(kTarmatReflecMapRef, new PlainMap(AColor(0.2f, 0.4f, 0.6f, 1)));
  mtl()->Block(kTarmatBlockMain)->SetValue(kTmReflecEnable, 0, true);
  mtl()->Block(kTarmatBlockMain)->SetValue(kTmReflecAmount, 0, 50);
  Update();

  // Red plus half the reflection, clamped, half under the blue stroke.
  ShadeAt(0.1f);
  ExpectColour(Slot(), {0.5f, 0.1f, 0.65f, 1});
  EXPECT_EQ(stroke->calls, 2) << "the stroke is laid on the unreflected colour as well";

  block()->SetValue(kMatElementColorReflec, 0, false);
  ShadeAt(0.1f);
  ExpectColour(Slot(), {0.5f, 0, 0.5f, 1});
  block()->SetValue(kMatElementColorStroke, 0, false);
  ShadeAt(0.1f);
  ExpectColour(Slot(), {1, 0, 0, 1});

  // Without an element that takes samples the stroke is laid once.
  context_.elements = {&other_};
  stroke->calls = 0;
  ShadeAt(0.1f);
  EXPECT_EQ(stroke->calls, 1);
}

}  // namespace
}  // namespace tarnis
