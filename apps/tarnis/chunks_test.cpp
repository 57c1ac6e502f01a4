#include "apps/tarnis/chunks.h"

#include <gtest/gtest.h>

namespace tarnis_cli {
namespace {

TEST(Chunks, CutTheSequenceIntoRunsWithAShorterLastOne) {
  const std::vector<int> frames = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  EXPECT_EQ(SplitIntoChunks(frames, 4),
            (std::vector<std::vector<int>>{{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10}}));
  EXPECT_EQ(SplitIntoChunks(frames, 5), (std::vector<std::vector<int>>{{1, 2, 3, 4, 5},
                                                                       {6, 7, 8, 9, 10}}));
  EXPECT_EQ(SplitIntoChunks(frames, 50).size(), 1u);
  EXPECT_EQ(SplitIntoChunks({1, 5, 9}, 2), (std::vector<std::vector<int>>{{1, 5}, {9}}));
  EXPECT_TRUE(SplitIntoChunks(frames, 0).empty());
  EXPECT_TRUE(SplitIntoChunks({}, 3).empty());
}

TEST(Chunks, APartRendersItsChunkAndKnowsTheWholeSequence) {
  const std::vector<int> sequence = {10, 11, 12, 13, 14, 15};
  host::SequencePart part = ChunkPart(sequence, {12, 13}, nullptr);
  EXPECT_EQ(part.sequence, sequence);
  EXPECT_EQ(part.rendered, (std::vector<bool>{false, false, true, true, false, false}));

  // Frames already written are left out; the others of the chunk stay.
  part = ChunkPart(sequence, {12, 13, 14}, [](int f) { return f == 13; });
  EXPECT_EQ(part.rendered, (std::vector<bool>{false, false, true, false, true, false}));
  part = ChunkPart(sequence, {12, 13}, [](int) { return true; });
  EXPECT_EQ(part.rendered, std::vector<bool>(6, false));
}

TEST(Chunks, TaskNumbersMustNameAChunk) {
  int task = -1;
  std::string error;
  EXPECT_TRUE(ParseTask("0", 3, task, &error));
  EXPECT_EQ(task, 0);
  EXPECT_TRUE(ParseTask("2", 3, task, &error));
  EXPECT_EQ(task, 2);
  for (const char* bad : {"3", "-1", "", "1x", " 1", "99999999999"}) {
    task = 7;
    EXPECT_FALSE(ParseTask(bad, 3, task, &error)) << bad;
    EXPECT_EQ(task, 7) << bad;
    EXPECT_NE(error.find("0..2"), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace tarnis_cli
