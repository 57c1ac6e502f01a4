// Tests of the frame writer: file names of frames and render elements in
// single images and sequences, the formats chosen by extension, elements as
// PNG files or EXR layers, the output folder made on demand.
#include "host/frame_writer.h"

#include <gtest/gtest.h>

#include "host/image_io.h"
#include "host/testing/binder_classes.h"
#include "sdk/testing/scratch_dir.h"

namespace host {
namespace {

TEST(FramePath, PutsTheFrameNumberBeforeTheExtensionOnlyForSequences) {
  struct Case {
    const char* output;
    int frame;
    bool sequence;
    const char* expected;
  };
  const Case cases[] = {
      {"out/shot.png", 7, true, "out/shot0007.png"},
      {"out/shot.png", 7, false, "out/shot.png"},
      {"shot.exr", 12345, true, "shot12345.exr"},
      {"/abs/dir.v2/shot.final.png", 3, true, "/abs/dir.v2/shot.final0003.png"},
      {"out/shot.png", -2, true, "out/shot-002.png"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FramePath(c.output, c.frame, c.sequence), c.expected) << c.output;
  }
}

TEST(ElementPath, NamesElementFilesAfterTheImageAndTheElement) {
  EXPECT_EQ(ElementPath("out/shot.png", "Lines", 7, true), "out/shot_Lines0007.png");
  EXPECT_EQ(ElementPath("out/shot.png", "Lines", 7, false), "out/shot_Lines.png");
  EXPECT_EQ(ElementFileName("Ink & Paint/2"), "Ink___Paint_2");
  EXPECT_EQ(ElementFileName("../up"), "___up");
  EXPECT_EQ(ElementFileName(""), "element");
}

TEST(FrameWriter, RefusesOutputsItCannotWrite) {
  std::string error;
  EXPECT_FALSE(FrameWriter::Create({.output = "out/shot.jpg"}, &error));
  EXPECT_EQ(error, "out/shot.jpg: the output file must end in .png or .exr");
  EXPECT_FALSE(FrameWriter::Create({.output = "out/shot.png", .bits = 12}, &error));
  EXPECT_NE(error.find("8 or 16"), std::string::npos);
  EXPECT_FALSE(FrameWriter::Create({.output = ""}, &error));
  auto exr = FrameWriter::Create({.output = "a/B.EXR"}, &error);
  ASSERT_TRUE(exr) << error;
  EXPECT_EQ(exr->Format(), ImageFormat::kExr);
}

class FrameWriterFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::RegisterBinderTestClasses();
    for (const char* name : {"Lines", "Lines"}) {
      auto* e = static_cast<IRenderElement*>(testing::TestElementDesc().Create(false));
      holders_.emplace_back(std::make_unique<ReferenceHolder>(e));
      e->SetElementName(name);
    }
    frame.frame = 7;
    frame.image = Bitmap(5, 3);
    frame.image.Fill(AColor(1.0f, 0.5f, 0.0f, 1.0f));
    for (auto& h : holders_) {
      ElementImage img{h->GetAs<IRenderElement>(), Bitmap(5, 3)};
      img.image.Fill(AColor(0.0f, 0.0f, 1.0f, 1.0f));
      frame.elements.push_back(std::move(img));
    }
  }

  ScratchDir dir;
  FrameResult frame;
  std::vector<std::unique_ptr<ReferenceHolder>> holders_;
};

TEST_F(FrameWriterFiles, PngSequencesWriteOneFilePerElementInANewFolder) {
  std::string error;
  auto writer = FrameWriter::Create(
      {.output = dir.File("new/deeper/shot.png"), .firstFrame = 1, .lastFrame = 9, .bits = 16},
      &error);
  ASSERT_TRUE(writer) << error;
  ASSERT_TRUE(writer->WriteFrame(frame, &error)) << error;
  const std::vector<std::string> expected = {dir.File("new/deeper/shot0007.png"),
                                             dir.File("new/deeper/shot_Lines0007.png"),
                                             dir.File("new/deeper/shot_Lines_20007.png")};
  EXPECT_EQ(writer->Written(), expected);
  FloatImage main, element;
  ASSERT_TRUE(ReadImage(expected[0], main, &error)) << error;
  EXPECT_EQ(main.width, 5);
  EXPECT_EQ(main.height, 3);
  EXPECT_NEAR(main.At(2, 1).g, 0.5f, 1e-4f);
  ASSERT_TRUE(ReadImage(expected[2], element, &error)) << error;
  EXPECT_NEAR(element.At(0, 0).b, 1.0f, 1e-4f);
}

TEST_F(FrameWriterFiles, ExrPutsElementsIntoLayersOfOneFile) {
  std::string error;
  auto writer = FrameWriter::Create({.output = dir.File("shot.exr")}, &error);
  ASSERT_TRUE(writer) << error;
  ASSERT_TRUE(writer->WriteFrame(frame, &error)) << error;
  EXPECT_EQ(writer->Written(), std::vector<std::string>{dir.File("shot.exr")});
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"shot.exr"});
  std::string bytes = ReadBytes(dir.File("shot.exr"));
  EXPECT_NE(bytes.find("Lines.R"), std::string::npos);
  EXPECT_NE(bytes.find("Lines_2.R"), std::string::npos);
  FloatImage main;
  ASSERT_TRUE(ReadImage(dir.File("shot.exr"), main, &error)) << error;
  EXPECT_NEAR(main.At(4, 2).r, 1.0f, 1e-3f);
}

TEST_F(FrameWriterFiles, AFolderThatCannotBeMadeIsAnError) {
  WriteBytes(dir.File("blocker"), "a file where a folder should go");
  std::string error;
  auto writer = FrameWriter::Create({.output = dir.File("blocker/shot.png")}, &error);
  ASSERT_TRUE(writer) << error;
  EXPECT_FALSE(writer->WriteFrame(frame, &error));
  EXPECT_NE(error.find("blocker: cannot make the output folder"), std::string::npos) << error;
  EXPECT_TRUE(writer->Written().empty());
}

}  // namespace
}  // namespace host
