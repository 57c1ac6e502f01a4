#include "tarnis/output/output_paths.h"

#include <gtest/gtest.h>

namespace tarnis {
namespace {

TEST(OutputPaths, FrameNumbersGoBetweenNameAndExtension) {
  const OutputName name = SplitOutputName("render/lines.eps");
  EXPECT_EQ(FrameOutputPath(name, 7, false), "render/lines0007.eps");
  EXPECT_EQ(FrameOutputPath(name, 12345, false), "render/lines12345.eps");
  EXPECT_EQ(FrameOutputPath(name, 9999, false), "render/lines9999.eps");
  EXPECT_EQ(FrameOutputPath(name, 0, false), "render/lines0000.eps");
  EXPECT_EQ(FrameOutputPath(name, 7, true), "render/lines.eps");
}

TEST(OutputPaths, DotsOutsideTheNameStartNoExtension) {
  OutputName name = SplitOutputName("shots.v2/lines");
  EXPECT_EQ(name.directory, "shots.v2/");
  EXPECT_EQ(name.base, "lines");
  EXPECT_EQ(name.extension, "");
  EXPECT_EQ(FrameOutputPath(name, 3, false), "shots.v2/lines0003");
  name = SplitOutputName(".eps");
  EXPECT_EQ(name.base, ".eps");
  EXPECT_EQ(name.extension, "");
  name = SplitOutputName("C:\\render\\lines.final.eps");
  EXPECT_EQ(name.directory, "C:\\render\\");
  EXPECT_EQ(name.base, "lines.final");
  EXPECT_EQ(name.extension, ".eps");
}

}  // namespace
}  // namespace tarnis
