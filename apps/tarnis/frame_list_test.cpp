#include "apps/tarnis/frame_list.h"

#include <gtest/gtest.h>

#include "host/scene_loader.h"

namespace tarnis_cli {
namespace {

TEST(FrameList, NamesExactlyTheFramesOfItsItems) {
  struct Case {
    const char* text;
    std::vector<int> frames;
  };
  const Case cases[] = {
      {"7", {7}},
      {"0-3", {0, 1, 2, 3}},
      {"1-20:5", {1, 6, 11, 16}},
      {"1-21:5", {1, 6, 11, 16, 21}},
      {"4-4:3", {4}},
      {"1,5,9-12", {1, 5, 9, 10, 11, 12}},
      {"9-12,1,5", {1, 5, 9, 10, 11, 12}},  // ascending whatever the order given
      {"2-6:2,3-5", {2, 3, 4, 5, 6}},       // each frame once
      {"100000", {host::kMaxFrame}},
  };
  for (const Case& c : cases) {
    std::vector<int> frames;
    std::string error;
    EXPECT_TRUE(ParseFrameList(c.text, frames, &error)) << c.text << ": " << error;
    EXPECT_EQ(frames, c.frames) << c.text;
  }
}

TEST(FrameList, RefusesMalformedListsAndKeepsTheOldFrames) {
  for (const char* text : {"", ",", "1,", ",1", "a", "1-", "-1", "5-2", "1-9:0", "1-9:-2", "1:2",
                           "1-9:", "1--3", "100001", "1-100001", "2x", " 1", "1-3:2:2"}) {
    std::vector<int> frames{42};
    std::string error;
    EXPECT_FALSE(ParseFrameList(text, frames, &error)) << text;
    EXPECT_EQ(frames, std::vector<int>{42}) << text;
    EXPECT_EQ(error.rfind(std::string("--frames ") + text + ": expected", 0), 0u) << error;
  }
}

TEST(FrameList, DescribesFramesForMessages) {
  EXPECT_EQ(DescribeFrames({7}), "frame 7");
  EXPECT_EQ(DescribeFrames({3, 4, 5}), "frames 3-5");
  EXPECT_EQ(DescribeFrames({1, 6, 11}), "3 frames from 1 to 11");
}

}  // namespace
}  // namespace tarnis_cli
