// The merge helper as an object: what it draws and where its boxes are, how
// it is placed with the mouse, the process-wide list, cloning, and its saved
// chunks (including counts a damaged file may claim).
#include "tarnis/plugin/line_merge_helper.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "sdk/save_load.h"
#include "sdk/testing/test_objects.h"
#include "tarnis/line/effect/line_set_test_helpers.h"
#include "tarnis/plugin/line_merge_helper_class_desc.h"

namespace tarnis {
namespace {

class RecordingDrawing : public ViewportDrawing {
 public:
  struct Segment {
    Point3 a, b;
    Color color;
  };
  bool HitMode() override { return hitMode; }
  void SetColor(const Color& c) override { color_ = c; }
  void Segment(const Point3& a, const Point3& b) override { segments.push_back({a, b, color_}); }
  bool WasHit() override { return hitMode && hitAnswer; }

  bool hitMode = false;
  bool hitAnswer = false;
  std::vector<struct Segment> segments;

 private:
  Color color_;
};

// A node with a transform, a wire colour and a selection state.
class ShownNode : public testing::TestNode {
 public:
  Matrix3 GetObjectTM(TimeValue, Interval*) override { return tm; }
  Color GetWireColor() override { return wire; }
  bool Selected() override { return selected; }
  Color wire{0.2f, 0.4f, 0.6f};
  bool selected = false;
};

bool Near(const Point3& a, const Point3& b) {
  return std::abs(a.x - b.x) < 1e-5f && std::abs(a.y - b.y) < 1e-5f && std::abs(a.z - b.z) < 1e-5f;
}

TEST(LineMergeHelper, DrawsThreeAxesInTheWireColourOrWhiteWhenSelected) {
  ReferenceHolder keep(new LineMergeHelper);
  auto* helper = keep.GetAs<LineMergeHelper>();
  ShownNode node;
  RecordingDrawing vd;
  helper->Display(0, &node, vd);
  ASSERT_EQ(vd.segments.size(), 3u);
  for (int axis = 0; axis < 3; ++axis) {
    Point3 end;
    end[axis] = LineMergeHelper::kDefaultSize;
    EXPECT_TRUE(Near(vd.segments[axis].a, -end)) << axis;
    EXPECT_TRUE(Near(vd.segments[axis].b, end)) << axis;
    EXPECT_EQ(vd.segments[axis].color, node.wire);
  }
  node.selected = true;
  vd.segments.clear();
  helper->Display(0, &node, vd);
  EXPECT_EQ(vd.segments.at(0).color, Color(1, 1, 1));

  RecordingDrawing hit;
  hit.hitMode = true;
  EXPECT_EQ(helper->HitTest(0, &node, hit), 0);
  EXPECT_EQ(hit.segments.size(), 3u);
  hit.hitAnswer = true;
  EXPECT_EQ(helper->HitTest(0, &node, hit), 1);
}

TEST(LineMergeHelper, BoxesHoldTheAxisEndsInObjectAndWorldSpace) {
  ReferenceHolder keep(new LineMergeHelper);
  auto* helper = keep.GetAs<LineMergeHelper>();
  ShownNode node;
  node.tm.Scale({2, 2, 2});
  node.tm.Translate({10, 0, -1});
  Box3 local, world;
  helper->GetLocalBoundBox(0, &node, local);
  EXPECT_TRUE(Near(local.pmin, {-3, -3, -3}));
  EXPECT_TRUE(Near(local.pmax, {3, 3, 3}));
  helper->GetWorldBoundBox(0, &node, world);
  EXPECT_TRUE(Near(world.pmin, {4, -6, -7}));
  EXPECT_TRUE(Near(world.pmax, {16, 6, 5}));
}

TEST(LineMergeHelper, CreationFollowsTheMouseFromThePressToItsRelease) {
  ReferenceHolder keep(new LineMergeHelper);
  CreateMouseCallBack* create = keep.GetAs<LineMergeHelper>()->GetCreateMouseCallBack();
  ASSERT_NE(create, nullptr);
  Matrix3 tm;
  EXPECT_EQ(create->proc(MOUSE_POINT, 0, {1, 2, 0}, tm), CREATE_CONTINUE);
  EXPECT_TRUE(Near(tm.GetTrans(), {1, 2, 0}));
  EXPECT_EQ(create->proc(MOUSE_MOVE, 1, {4, 5, 0}, tm), CREATE_CONTINUE);
  EXPECT_TRUE(Near(tm.GetTrans(), {4, 5, 0}));
  EXPECT_EQ(create->proc(MOUSE_POINT, 1, {6, 7, 0}, tm), CREATE_STOP);
  EXPECT_TRUE(Near(tm.GetTrans(), {6, 7, 0}));
  EXPECT_EQ(create->proc(MOUSE_ABORT, 1, {0, 0, 0}, tm), CREATE_ABORT);
}

TEST(LineMergeHelper, HelpersListInCreationOrderAndClonesStartEmptyAndMarked) {
  const size_t before = LineMergeHelpers().size();
  auto* first = static_cast<LineMergeHelper*>(
      static_cast<ReferenceTarget*>(GetLineMergeHelperDesc()->Create(false)));
  ReferenceHolder keepFirst(first);
  ReferenceHolder keepSecond(new LineMergeHelper);
  ASSERT_EQ(LineMergeHelpers().size(), before + 2);
  EXPECT_EQ(LineMergeHelpers()[before], first);
  EXPECT_EQ(LineMergeHelpers()[before + 1], keepSecond.Get());
  EXPECT_TRUE(first->Merged());

  ReferenceHolder target(new TestTarget);
  ReferenceTarget* targets[] = {target.Get(), nullptr};
  first->HoldReferences(targets);
  first->SetMerged(false);
  ReferenceHolder clone(CloneRefHierarchy(first));
  auto* copy = clone.GetAs<LineMergeHelper>();
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->NumRefs(), 0);
  EXPECT_TRUE(copy->Merged());
  EXPECT_EQ(LineMergeHelpers().back(), copy);

  keepSecond.Release();
  EXPECT_EQ(std::count(LineMergeHelpers().begin(), LineMergeHelpers().end(), nullptr), 0);
  EXPECT_EQ(LineMergeHelpers().size(), before + 2);
}

TEST(LineMergeHelper, HeldTargetsAreReleasedWhenTheListIsCleared) {
  ReferenceHolder keep(new LineMergeHelper);
  auto* helper = keep.GetAs<LineMergeHelper>();
  const int alive = TestTarget::Alive();
  ReferenceTarget* targets[] = {new TestTarget, new TestTarget};
  helper->HoldReferences(targets);
  EXPECT_EQ(helper->NumRefs(), 2);
  EXPECT_TRUE(helper->HoldsReferences());
  EXPECT_EQ(TestTarget::Alive(), alive + 2);
  helper->ClearReferences();
  EXPECT_EQ(helper->NumRefs(), 0);
  EXPECT_FALSE(helper->HoldsReferences());
  EXPECT_EQ(TestTarget::Alive(), alive);
}

std::vector<uint8_t> Chunks(int32_t count) {
  MemorySave out;
  out.BeginChunk(0x4000);
  out.WriteInt(count);
  out.EndChunk();
  out.BeginChunk(0x4001);
  out.EndChunk();
  return out.Bytes();
}

TEST(LineMergeHelper, SavesItsCountThenTheReferenceMakerChunk) {
  ReferenceHolder keep(new LineMergeHelper);
  auto* helper = keep.GetAs<LineMergeHelper>();
  ReferenceHolder a(new TestTarget), b(new TestTarget);
  ReferenceTarget* targets[] = {a.Get(), nullptr, b.Get()};
  helper->HoldReferences(targets);
  MemorySave out;
  ASSERT_EQ(helper->Save(&out), IO_OK);
  EXPECT_EQ(out.Bytes(), Chunks(3));
}

TEST(LineMergeHelper, LoadingACountDropsHeldReferencesAndSizesTheList) {
  ReferenceHolder keep(new LineMergeHelper);
  auto* helper = keep.GetAs<LineMergeHelper>();
  const int alive = TestTarget::Alive();
  ReferenceTarget* targets[] = {new TestTarget};
  helper->HoldReferences(targets);
  const std::vector<uint8_t> bytes = Chunks(4);
  MemoryLoad in(bytes);
  ASSERT_EQ(helper->Load(&in), IO_OK);
  EXPECT_EQ(helper->NumRefs(), 4);
  EXPECT_FALSE(helper->HoldsReferences());
  EXPECT_EQ(TestTarget::Alive(), alive);
}

TEST(LineMergeHelper, CountsADamagedFileMayClaimAreRefused) {
  for (int32_t count : {-1, -2147483647 - 1, LineMergeHelper::kMaxSavedRefs + 1, 2147483647}) {
    ReferenceHolder keep(new LineMergeHelper);
    const std::vector<uint8_t> bytes = Chunks(count);
    MemoryLoad in(bytes);
    EXPECT_EQ(keep.GetAs<LineMergeHelper>()->Load(&in), IO_ERROR) << count;
    EXPECT_EQ(keep.GetAs<LineMergeHelper>()->NumRefs(), 0) << count;
  }
  // A count cut short.
  MemorySave out;
  out.BeginChunk(0x4000);
  out.Write("\x01\x00", 2);
  out.EndChunk();
  ReferenceHolder keep(new LineMergeHelper);
  MemoryLoad in(out.Bytes());
  EXPECT_EQ(keep.GetAs<LineMergeHelper>()->Load(&in), IO_ERROR);
}

TEST(LineMergeHelper, DescriptorIsAPublicHelperInTheTarnisCategory) {
  ClassDesc2* cd = GetLineMergeHelperDesc();
  EXPECT_EQ(cd->SuperClassID(), HELPER_CLASS_ID);
  EXPECT_EQ(cd->ClassID(), Class_ID(0x54022257, 0x08141254));
  EXPECT_STREQ(cd->InternalName(), "Tarnis_LineMergeHelper");
  EXPECT_STREQ(cd->Category(), "Tarnis");
  EXPECT_EQ(cd->IsPublic(), 1);
}

}  // namespace
}  // namespace tarnis
