// The scene's ownership: nodes, lists and what they reference go with the
// scene, also when they reference each other in a cycle, while objects that
// something outside the scene still holds survive intact.
#include "host/scene.h"

#include <gtest/gtest.h>

#include "sdk/testing/test_objects.h"

namespace host {
namespace {

TEST(Scene, FreesObjectsThatReferenceTheirOwnNodeInACycle) {
  const int before = TestTarget::Alive();
  {
    Scene scene;
    HostNode* node = scene.CreateNode("Box");
    auto* object = new TestTarget(1);
    node->SetObject(object);
    object->ReplaceReference(0, node);  // the object points back at its node
    scene.Library().Append(new TestTarget);
    EXPECT_EQ(TestTarget::Alive(), before + 2);
  }
  EXPECT_EQ(TestTarget::Alive(), before);
}

TEST(Scene, LeavesObjectsHeldFromOutsideWhole) {
  const int before = TestTarget::Alive();
  ReferenceHolder outside;
  {
    Scene scene;
    auto* shared = new TestTarget(1);
    shared->ReplaceReference(0, new TestTarget);
    scene.Library().Append(shared);
    outside.Set(shared);
    scene.CreateNode("Gone")->SetObject(new TestTarget);
  }
  auto* shared = outside.GetAs<TestTarget>();
  ASSERT_NE(shared, nullptr);
  ASSERT_NE(shared->Ref(0), nullptr);  // its own reference was not cut
  EXPECT_EQ(TestTarget::Alive(), before + 2);
  outside.Release();
  EXPECT_EQ(TestTarget::Alive(), before);
}

TEST(Scene, NodesKnowTheirParentsAndMoveBetweenThem) {
  Scene scene;
  HostNode* group = scene.CreateNode("Group");
  HostNode* child = scene.CreateNode("Child");
  EXPECT_EQ(child->GetParentNode(), scene.Root());
  group->AttachChild(child);
  EXPECT_EQ(child->GetParentNode(), group);
  EXPECT_EQ(scene.Root()->NumberOfChildren(), 1);
  EXPECT_EQ(scene.AllNodes(), (std::vector<HostNode*>{group, child}));
  EXPECT_EQ(scene.FindNode("Child"), child);
  group->position = Point3(1, 0, 0);
  child->position = Point3(0, 2, 0);
  EXPECT_EQ(child->GetNodeTM(0).GetTrans(), Point3(1, 2, 0));
}

TEST(Scene, DeletingANodeFreesItAndItsObjectAndKeepsItsChildren) {
  const int before = TestTarget::Alive();
  Scene scene;
  HostNode* group = scene.CreateNode("Group");
  HostNode* doomed = scene.CreateNode("Doomed", group);
  HostNode* child = scene.CreateNode("Child", doomed);
  doomed->SetObject(new TestTarget);
  // Something else that referenced the node loses that reference.
  auto* watcher = new TestTarget(1);
  watcher->ReplaceReference(0, doomed);
  scene.Library().Append(watcher);

  EXPECT_TRUE(scene.DeleteNode(doomed));
  EXPECT_EQ(scene.FindNode("Doomed"), nullptr);
  EXPECT_EQ(child->GetParentNode(), group);
  EXPECT_EQ(watcher->GetReference(0), nullptr);
  EXPECT_EQ(TestTarget::Alive(), before + 1);  // the watcher only

  Scene other;
  HostNode* elsewhere = other.CreateNode("Elsewhere");
  EXPECT_FALSE(scene.DeleteNode(elsewhere));
  EXPECT_FALSE(scene.DeleteNode(scene.Root()));
  EXPECT_FALSE(scene.DeleteNode(nullptr));
  EXPECT_EQ(other.FindNode("Elsewhere"), elsewhere);
  EXPECT_EQ(scene.AllNodes(), (std::vector<HostNode*>{group, child}));
}

}  // namespace
}  // namespace host
