#include "sdk/atomic_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "sdk/testing/scratch_dir.h"

namespace {

namespace fs = std::filesystem;

bool Put(AtomicFile* file, const char* text) {
  return file && std::fputs(text, file->File()) >= 0;
}

TEST(FileBatch, TheFirstTargetAppearsOnlyOnceTheOthersAreInPlace) {
  ScratchDir dir;
  const std::string image = dir.File("frame.png"), element = dir.File("frame_lines.png");
  {
    FileBatch batch;
    std::string error;
    ASSERT_TRUE(Put(batch.Add(image, &error), "image")) << error;
    ASSERT_TRUE(Put(batch.Add(element, &error), "element")) << error;
    ASSERT_TRUE(batch.Commit(&error)) << error;
  }
  EXPECT_EQ(ReadBytes(image), "image");
  EXPECT_EQ(ReadBytes(element), "element");

  // The element's target turns into a folder before the batch replaces it:
  // replacing stops there, and the image, replaced last, keeps its old bytes.
  FileBatch batch;
  std::string error;
  ASSERT_TRUE(Put(batch.Add(image, &error), "new image")) << error;
  ASSERT_TRUE(Put(batch.Add(element, &error), "new element")) << error;
  fs::remove(element);
  fs::create_directory(element);
  WriteBytes(element + "/keep", "x");
  EXPECT_FALSE(batch.Commit(&error));
  EXPECT_NE(error.find("frame_lines.png"), std::string::npos) << error;
  EXPECT_EQ(ReadBytes(image), "image");
}

}  // namespace
