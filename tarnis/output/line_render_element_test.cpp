#include "tarnis/output/line_render_element.h"

#include <gtest/gtest.h>

#include "sdk/notify.h"
#include "sdk/testing/fake_interface.h"
#include "tarnis/output/line_render_element_class_desc.h"
#include "tarnis/output/render_element_test_helpers.h"

namespace tarnis {
namespace {

using testing::ElementsContext;

constexpr BMM_Color_64 kDrawn{1000, 2000, 3000, 65535};

class LineElementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    holder_.Set(static_cast<ReferenceTarget*>(GetLineFxRenderElementDesc()->Create(false)));
    element()->SetRenderBitmap(&image_);
    image_.Fill(kDrawn);
    context_.elements = {&other_, element()};
  }

  LineFxRenderElement* element() { return holder_.GetAs<LineFxRenderElement>(); }
  IParamBlock2* block() { return element()->Block(); }
  void EndFrame() { BroadcastNotification(NOTIFY_POST_RENDERFRAME, &context_); }

  FakeInterface ip_;
  ReferenceHolder holder_;
  Bitmap image_{4, 3};
  ElementsContext context_;
  IRenderElement other_;
};

TEST(LineElementClass, ANewElementIsNamedAfterItsClassAndDrawsBothPassesOnBlack) {
  ClassDesc2* cd = GetLineFxRenderElementDesc();
  ReferenceHolder h(static_cast<ReferenceTarget*>(cd->Create(false)));
  auto* e = h.GetAs<LineFxRenderElement>();
  ASSERT_NE(e, nullptr);
  ASSERT_NE(e->Block(), nullptr);
  EXPECT_STRNE(cd->ClassName(), "");
  EXPECT_STREQ(e->ElementName(), cd->ClassName());
  EXPECT_TRUE(e->IsEnabled());
  EXPECT_EQ(e->Block()->GetInt(kElementFilterOn), 1);
  EXPECT_TRUE(e->DrawsPass(0) && e->DrawsPass(1));
  EXPECT_EQ(e->ClearColor(0), AColor(0, 0, 0, 0));
  e->Block()->SetValue(kLineElementBackgroundColorEnable, 0, true);
  EXPECT_EQ(e->ClearColor(0), AColor(1, 1, 1, 0)) << "white by default";
}

TEST_F(LineElementTest, TheHostsSwitchesAreTheBlocksParameters) {
  element()->SetEnabled(false);
  EXPECT_EQ(block()->GetInt(kElementEnabled), 0);
  block()->SetValue(kElementEnabled, 0, true);
  EXPECT_TRUE(element()->IsEnabled());
  element()->SetElementName("Lines only");
  EXPECT_EQ(block()->GetStr(kElementName), "Lines only");
  block()->SetValue(kElementName, 0, "Ink");
  EXPECT_STREQ(element()->ElementName(), "Ink");
}

TEST_F(LineElementTest, DrawsThePassesItsSwitchesAllow) {
  EXPECT_TRUE(element()->DrawsPass(0));
  EXPECT_TRUE(element()->DrawsPass(1));
  EXPECT_FALSE(element()->DrawsPass(2));
  block()->SetValue(kLineElementLineEnable, 0, false);
  EXPECT_FALSE(element()->DrawsPass(0));
  EXPECT_TRUE(element()->DrawsPass(1));
  block()->SetValue(kLineElementHiddenLineEnable, 0, false);
  block()->SetValue(kLineElementLineEnable, 0, true);
  EXPECT_TRUE(element()->DrawsPass(0));
  EXPECT_FALSE(element()->DrawsPass(1));
}

TEST_F(LineElementTest, AfterEachFrameTheImageIsClearedToTransparentBlack) {
  EndFrame();
  for (int y = 0; y < image_.Height(); ++y) {
    for (int x = 0; x < image_.Width(); ++x) {
      EXPECT_EQ(image_.GetPixel(x, y), BMM_Color_64{}) << x << ", " << y;
    }
  }
}

TEST_F(LineElementTest, WithTheBackgroundEnabledTheImageTakesItWithAlphaZero) {
  block()->SetValue(kLineElementBackgroundColorEnable, 0, true);
  block()->SetValue(kLineElementBackgroundColor, 0, Color(1.0f, 0.5f, 0.0f));
  EndFrame();
  EXPECT_EQ(image_.GetPixel(0, 0), ToColor64(AColor(1.0f, 0.5f, 0.0f, 0.0f)));
  EXPECT_EQ(image_.GetPixel(3, 2), ToColor64(AColor(1.0f, 0.5f, 0.0f, 0.0f)));
}

TEST_F(LineElementTest, TheBackgroundIsTakenAtTheFramesTime) {
  block()->SetValue(kLineElementBackgroundColorEnable, 0, true);
  block()->MakeAnimated(kLineElementBackgroundColor, KeyInterp::kLinear);
  block()->SetValue(kLineElementBackgroundColor, 0, Color(0, 0, 0));
  block()->SetValue(kLineElementBackgroundColor, 4800, Color(1, 1, 1));
  context_.time = 2400;
  EndFrame();
  const AColor got = FromColor64(image_.GetPixel(1, 1));
  EXPECT_NEAR(got.r, 0.5f, 1e-3f);
  EXPECT_EQ(got.a, 0.0f);
}

TEST_F(LineElementTest, OtherRendersLeaveTheImageAlone) {
  enum Kind { kMtlEditor, kSwitchedOff, kNotListed };
  for (Kind kind : {kMtlEditor, kSwitchedOff, kNotListed}) {
    context_ = ElementsContext();
    context_.elements = {&other_, element()};
    element()->SetEnabled(true);
    image_.Fill(kDrawn);
    switch (kind) {
      case kMtlEditor:
        context_.inMtlEdit = true;
        break;
      case kSwitchedOff:
        element()->SetEnabled(false);
        break;
      case kNotListed:
        context_.elements = {&other_};
        break;
    }
    EndFrame();
    EXPECT_EQ(image_.GetPixel(2, 1), kDrawn) << "case " << kind;
  }
}

TEST_F(LineElementTest, SurvivesASaveAndLoadRoundTrip) {
  GetClassDirectory().AddClass(GetLineFxRenderElementDesc());
  element()->SetElementName("Ink");
  element()->SetEnabled(false);
  block()->SetValue(kLineElementHiddenLineEnable, 0, false);
  block()->SetValue(kLineElementBackgroundColorEnable, 0, true);
  block()->SetValue(kLineElementBackgroundColor, 0, Color(0.25f, 0.5f, 0.75f));

  LoadedGraph graph = testing::SaveAndLoad(element());
  ASSERT_EQ(graph.NumRoots(), 1u);
  auto* back = dynamic_cast<LineFxRenderElement*>(graph.Root(0));
  ASSERT_NE(back, nullptr);
  EXPECT_STREQ(back->ElementName(), "Ink");
  EXPECT_FALSE(back->IsEnabled());
  EXPECT_TRUE(back->DrawsPass(0));
  EXPECT_FALSE(back->DrawsPass(1));
  EXPECT_EQ(back->ClearColor(0), AColor(0.25f, 0.5f, 0.75f, 0.0f));

  // The loaded element clears its own image after a frame.
  Bitmap loadedImage(2, 2);
  loadedImage.Fill(kDrawn);
  back->SetRenderBitmap(&loadedImage);
  back->SetEnabled(true);
  context_.elements = {back};
  EndFrame();
  EXPECT_EQ(loadedImage.GetPixel(1, 1), ToColor64(AColor(0.25f, 0.5f, 0.75f, 0.0f)));
}

TEST(LineElementClass, AnElementSavedWithoutItsBlockLoadsWithDefaults) {
  GetClassDirectory().AddClass(GetLineFxRenderElementDesc());
  ReferenceHolder damaged(new LineFxRenderElement(true));
  LoadedGraph graph = testing::SaveAndLoad(damaged.Get());
  ASSERT_EQ(graph.NumRoots(), 1u);
  auto* back = dynamic_cast<LineFxRenderElement*>(graph.Root(0));
  ASSERT_NE(back, nullptr);
  ASSERT_NE(back->Block(), nullptr);
  EXPECT_STREQ(back->ElementName(), GetLineFxRenderElementDesc()->ClassName());
  EXPECT_EQ(graph.warnings.size(), 1u);
}

TEST_F(LineElementTest, ClonesAreIndependentAndListenOnTheirOwn) {
  block()->SetValue(kLineElementLineEnable, 0, false);
  element()->SetElementName("Ink");
  DefaultRemapDir remap;
  ReferenceHolder copyHolder(element()->Clone(remap));
  auto* copy = copyHolder.GetAs<LineFxRenderElement>();
  ASSERT_NE(copy, nullptr);
  ASSERT_NE(copy->Block(), block());
  EXPECT_FALSE(copy->DrawsPass(0));
  EXPECT_STREQ(copy->ElementName(), "Ink");
  copy->Block()->SetValue(kLineElementLineEnable, 0, true);
  EXPECT_FALSE(element()->DrawsPass(0)) << "the original keeps its own block";

  Bitmap copyImage(2, 2);
  copyImage.Fill(kDrawn);
  copy->SetRenderBitmap(&copyImage);
  context_.elements = {copy};
  EndFrame();
  EXPECT_EQ(copyImage.GetPixel(0, 0), BMM_Color_64{});
  EXPECT_EQ(image_.GetPixel(0, 0), kDrawn) << "the original is not in this render";
}

}  // namespace
}  // namespace tarnis
