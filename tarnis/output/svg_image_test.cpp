#include "tarnis/output/svg_image.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>
#include <vector>

#include "sdk/testing/scratch_dir.h"
#include "tarnis/output/vector_file_checks.h"

namespace tarnis {
namespace {

using testing::XmlElement;
using testing::XmlReader;

// The page of a w x h image as the file output sets it up.
void SetUpPage(VectorImage& image, float w, float h) {
  image.SetTolerance(0.01f);
  image.SetBoundingBox(0, 0, w, h);
  image.Translate(0, h);
  image.Scale(1, -1);
  image.SetLineJoin(1);
  image.SetLineCap(1);
}

void Layer(VectorImage& image, const std::string& name, float w, float h) {
  image.BeginLayer(name);
  image.ClipRect(0, 0, w, h);
  image.Comment("");
}

std::unique_ptr<XmlElement> WriteAndParse(SVGImage& image, const ScratchDir& dir,
                                          std::string* text = nullptr) {
  const std::string path = dir.File("lines.svg");
  std::string problem;
  EXPECT_TRUE(image.Write(path, &problem)) << problem;
  const std::string bytes = ReadBytes(path);
  if (text) *text = bytes;
  std::unique_ptr<XmlElement> root = XmlReader(bytes).Read(&problem);
  EXPECT_TRUE(root) << problem << "\n" << bytes;
  return root;
}

std::vector<const XmlElement*> Layers(const XmlElement& root) {
  std::vector<const XmlElement*> groups, layers;
  root.FindAll("g", groups);
  for (const XmlElement* g : groups) {
    if (g->Attr("inkscape:groupmode") == "layer") layers.push_back(g);
  }
  return layers;
}

std::vector<const XmlElement*> Paths(const XmlElement& root) {
  std::vector<const XmlElement*> paths;
  root.FindAll("path", paths);
  return paths;
}

TEST(SVGImage, LiesOverTheImageWithALayerPerNameAndAPathPerStroke) {
  ScratchDir dir;
  SVGImage image;
  SetUpPage(image, 64, 48);
  Layer(image, "Objects", 64, 48);
  image.SetLineWidth(2);
  image.SetColor(1, 0, 0.5f);
  image.SetOpacity(0.75f);
  image.ClearDash();
  image.NewPath();
  image.AddLine(5, 6, 20, 6);
  image.AddLine(20, 6, 20, 30.5f);
  image.StrokePath();
  Layer(image, "Objects(hidden)", 64, 48);
  image.SetOpacity(1);
  const float dash[] = {4, 2};
  image.SetDash(dash, 0);
  image.NewPath();
  image.AddLine(40, 40, 60, 2);
  image.StrokePath();
  // A path discarded without painting leaves no element.
  image.NewPath();
  image.AddLine(1, 1, 2, 2);
  image.NewPath();
  image.Optimize();

  std::unique_ptr<XmlElement> root = WriteAndParse(image, dir);
  ASSERT_TRUE(root);
  EXPECT_EQ(root->name, "svg");
  EXPECT_EQ(root->Attr("xmlns"), "http://www.w3.org/2000/svg");
  EXPECT_EQ(root->Attr("version"), "1.1");
  EXPECT_EQ(root->Attr("width"), "64");
  EXPECT_EQ(root->Attr("height"), "48");
  EXPECT_EQ(root->Attr("viewBox"), "0 0 64 48");
  // What every path shares is said once, on the root.
  EXPECT_EQ(root->Attr("fill"), "none");
  EXPECT_EQ(root->Attr("stroke-linecap"), "round");
  EXPECT_EQ(root->Attr("stroke-linejoin"), "round");

  const std::vector<const XmlElement*> layers = Layers(*root);
  ASSERT_EQ(layers.size(), 2u);
  EXPECT_EQ(layers[0]->Attr("inkscape:label"), "Objects");
  EXPECT_EQ(layers[0]->Attr("id"), "Objects");
  EXPECT_EQ(layers[1]->Attr("inkscape:label"), "Objects(hidden)");
  EXPECT_EQ(layers[1]->Attr("id"), "Objects_hidden_");

  const std::vector<const XmlElement*> paths = Paths(*root);
  ASSERT_EQ(paths.size(), 2u);
  // Image pixels, y downward: the points as they were given.
  EXPECT_EQ(paths[0]->Attr("d"), "M 5 6 L 20 6 L 20 30.5");
  EXPECT_EQ(paths[0]->Attr("stroke"), "#ff0080");
  EXPECT_EQ(paths[0]->Attr("stroke-width"), "2");
  EXPECT_EQ(paths[0]->Attr("stroke-opacity"), "0.75");
  EXPECT_EQ(paths[0]->Attr("stroke-linecap"), "");
  EXPECT_EQ(paths[0]->Attr("stroke-linejoin"), "");
  EXPECT_EQ(paths[0]->Attr("stroke-dasharray"), "");
  EXPECT_EQ(paths[1]->Attr("d"), "M 40 40 L 60 2");
  EXPECT_EQ(paths[1]->Attr("stroke-dasharray"), "4 2");
  EXPECT_EQ(paths[1]->Attr("stroke-opacity"), "");  // opaque: the default
  // Each path lies inside its layer.
  EXPECT_EQ(paths[1]->parent->parent, layers[1]);
}

TEST(SVGImage, APathSaysTheCapsAndJoinsThatAreNotRound) {
  ScratchDir dir;
  SVGImage image;
  SetUpPage(image, 16, 16);
  image.SetLineJoin(0);
  image.SetLineCap(2);
  image.NewPath();
  image.AddLine(1, 1, 8, 8);
  image.StrokePath();
  image.Optimize();
  std::unique_ptr<XmlElement> root = WriteAndParse(image, dir);
  ASSERT_TRUE(root);
  const std::vector<const XmlElement*> paths = Paths(*root);
  ASSERT_EQ(paths.size(), 1u);
  EXPECT_EQ(paths[0]->Attr("stroke-linecap"), "square");
  EXPECT_EQ(paths[0]->Attr("stroke-linejoin"), "miter");
}

TEST(SVGImage, AnyLayerNameGivesValidXmlAndUniqueIds) {
  const std::vector<std::string> names = {"a<b>&\"c'",
                                          "bad\xff byte",
                                          "ctrl\x01"
                                          "char",
                                          "dup",
                                          "dup",
                                          "dup_",
                                          "1 starts with a digit",
                                          "",
                                          "セット1",
                                          "tab\tnew\nline",
                                          "clip1"};
  ScratchDir dir;
  SVGImage image;
  SetUpPage(image, 10, 10);
  for (const std::string& name : names) {
    Layer(image, name, 10, 10);
    image.NewPath();
    image.AddLine(1, 1, 9, 9);
    image.StrokePath();
  }
  image.Optimize();
  std::unique_ptr<XmlElement> root = WriteAndParse(image, dir);
  ASSERT_TRUE(root);
  const std::vector<const XmlElement*> layers = Layers(*root);
  ASSERT_EQ(layers.size(), names.size());
  std::set<std::string> ids;
  std::vector<const XmlElement*> all;
  root->FindAll("g", all);
  root->FindAll("clipPath", all);
  for (const XmlElement* e : all) {
    const std::string id = e->Attr("id");
    if (id.empty()) continue;
    EXPECT_TRUE(ids.insert(id).second) << "id " << id << " twice";
    EXPECT_TRUE(std::regex_match(id, std::regex("[A-Za-z_][A-Za-z0-9_.-]*"))) << id;
  }
  EXPECT_EQ(layers[0]->Attr("inkscape:label"), "a<b>&\"c'");
  EXPECT_EQ(layers[1]->Attr("inkscape:label"), "bad\xEF\xBF\xBD byte");
  EXPECT_EQ(layers[2]->Attr("inkscape:label"),
            "ctrl\xEF\xBF\xBD"
            "char");
  EXPECT_EQ(layers[3]->Attr("id"), "dup");
  EXPECT_EQ(layers[4]->Attr("id"), "dup-2");
  EXPECT_EQ(layers[5]->Attr("id"), "dup_");
  EXPECT_EQ(layers[6]->Attr("id"), "_1_starts_with_a_digit");
  EXPECT_EQ(layers[8]->Attr("inkscape:label"), "セット1");
  EXPECT_EQ(layers[8]->Attr("id"), "___1");
  EXPECT_EQ(layers[9]->Attr("inkscape:label"), "tab\tnew\nline");
}

TEST(SVGImage, ClipsEndWithTheirGraphicsStateAndLayer) {
  ScratchDir dir;
  SVGImage image;
  SetUpPage(image, 20, 10);
  image.GSave();
  image.ClipRect(2, 1, 12, 9);
  image.NewPath();
  image.LineTo(3, 3);  // a path that starts without a move starts at its point
  image.LineTo(5, 3);
  image.ClosePath();
  image.StrokePath();
  image.GRestore();
  image.ClipRect(0, 0, 20, 10);
  image.BeginLayer("after");
  image.NewPath();
  image.MoveTo(1, 1);
  image.LineTo(4, 1);
  image.StrokePath();
  std::string text;
  std::unique_ptr<XmlElement> root = WriteAndParse(image, dir, &text);
  ASSERT_TRUE(root);
  std::vector<const XmlElement*> rects, paths = Paths(*root);
  root->FindAll("rect", rects);
  ASSERT_EQ(rects.size(), 2u);
  // Clip rectangles in image pixels too.
  EXPECT_EQ(rects[0]->Attr("x"), "2");
  EXPECT_EQ(rects[0]->Attr("y"), "1");
  EXPECT_EQ(rects[0]->Attr("width"), "10");
  EXPECT_EQ(rects[0]->Attr("height"), "8");
  ASSERT_EQ(paths.size(), 2u);
  EXPECT_EQ(paths[0]->Attr("d"), "M 3 3 L 5 3 Z");
  EXPECT_EQ(paths[0]->parent->Attr("clip-path"), "url(#" + rects[0]->parent->Attr("id") + ")");
  // The second clip ended with the layer that followed it.
  EXPECT_EQ(paths[1]->parent->Attr("inkscape:label"), "after");
  EXPECT_EQ(paths[1]->Attr("d"), "M 1 1 L 4 1");
}

}  // namespace
}  // namespace tarnis
