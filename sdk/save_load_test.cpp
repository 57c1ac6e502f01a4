// Tests of the chunk streams: layout, nesting, bounds on damaged input and
// the order of post-load callbacks.
#include "sdk/save_load.h"

#include <gtest/gtest.h>

#include <random>

#include "sdk/testing/test_objects.h"

namespace {

// A stream with nesting, raw data before inner chunks and an empty chunk.
std::vector<uint8_t> SampleStream() {
  MemorySave s;
  s.BeginChunk(0x0A00);
  s.WriteInt(-7);
  s.BeginChunk(0x0B00);
  s.WriteString("brush");
  s.WriteDouble(2.5);
  s.EndChunk();
  s.BeginChunk(0x0C00);
  s.EndChunk();
  s.EndChunk();
  s.BeginChunk(0x0D00);
  s.WriteFloat(0.25f);
  s.EndChunk();
  return s.Bytes();
}

// Reads SampleStream back; true only when every chunk and value is there.
bool ReadSample(ILoad& in) {
  int32_t i = 0;
  std::string text;
  double d = 0;
  float f = 0;
  if (in.OpenChunk() != IO_OK || in.CurChunkID() != 0x0A00) return false;
  if (in.ReadInt(i) != IO_OK || i != -7) return false;
  if (in.OpenChunk() != IO_OK || in.CurChunkID() != 0x0B00) return false;
  if (in.ReadString(text) != IO_OK || text != "brush") return false;
  if (in.ReadDouble(d) != IO_OK || d != 2.5 || in.BytesLeft() != 0) return false;
  if (in.CloseChunk() != IO_OK) return false;
  if (in.OpenChunk() != IO_OK || in.CurChunkID() != 0x0C00 || in.CurChunkLength() != 0) {
    return false;
  }
  if (in.CloseChunk() != IO_OK || in.OpenChunk() != IO_END || in.CloseChunk() != IO_OK) {
    return false;
  }
  if (in.OpenChunk() != IO_OK || in.CurChunkID() != 0x0D00) return false;
  if (in.ReadFloat(f) != IO_OK || f != 0.25f || in.CloseChunk() != IO_OK) return false;
  return in.OpenChunk() == IO_END;
}

// Opens every chunk of the current level; inside each it first reads the
// payload as chunks again (raw data then reads as odd or damaged chunks),
// then reads what is left in small pieces. Checks that the reader never
// hands out more bytes than a chunk holds. Answers whether the level ended
// cleanly (IO_END, not IO_ERROR).
bool WalkChecked(MemoryLoad& in, int depth = 0) {
  IOResult r = IO_OK;
  while ((r = in.OpenChunk()) == IO_OK) {
    size_t length = in.CurChunkLength();
    EXPECT_EQ(in.BytesLeft(), length);
    int open = in.Depth();
    if (depth < 8) WalkChecked(in, depth + 1);
    EXPECT_EQ(in.Depth(), open);
    size_t left = in.BytesLeft();
    EXPECT_LE(left, length);
    uint8_t piece[3];
    size_t consumed = 0;
    while (in.Read(piece, sizeof piece) == IO_OK) consumed += sizeof piece;
    EXPECT_LE(consumed, left);
    EXPECT_LT(in.BytesLeft(), sizeof piece);
    EXPECT_EQ(in.Read(piece, in.BytesLeft() + 1), IO_ERROR);
    EXPECT_EQ(in.CloseChunk(), IO_OK);
  }
  return r == IO_END;
}

class CountingCallback : public PostLoadCallback {
 public:
  CountingCallback(std::vector<int>& log, int id, int priority, MemoryLoad* registerMore = nullptr)
      : log_(log), id_(id), priority_(priority), registerMore_(registerMore) {}
  void proc(ILoad*) override {
    log_.push_back(id_);
    if (registerMore_ != nullptr) {
      registerMore_->RegisterPostLoadCallback(std::make_unique<CountingCallback>(log_, 99, 0));
    }
  }
  int Priority() override { return priority_; }

 private:
  std::vector<int>& log_;
  int id_;
  int priority_;
  MemoryLoad* registerMore_;
};

}  // namespace

TEST(MemorySave, WritesIdLengthAndPayloadLittleEndian) {
  MemorySave s;
  s.BeginChunk(0x1234);
  s.WriteInt(7);
  s.BeginChunk(0x0001);
  s.WriteString("ab");
  s.EndChunk();
  s.EndChunk();
  const std::vector<uint8_t> expected = {0x34, 0x12, 16, 0, 0, 0, 7, 0, 0, 0,   0x01,
                                         0x00, 6,    0,  0, 0, 2, 0, 0, 0, 'a', 'b'};
  EXPECT_EQ(s.Bytes(), expected);
}

TEST(MemorySave, AnswersNoHandleForNullAndUnknownObjects) {
  MemorySave s;
  TestTarget object;
  EXPECT_EQ(s.GetRefID(nullptr), ISave::kNoHandle);
  ReferenceTarget* target = &object;
  EXPECT_EQ(s.GetRefID(target), ISave::kNoHandle);
  s.SetHandle(target, 3);
  EXPECT_EQ(s.GetRefID(target), 3u);
  s.ClearHandles();
  EXPECT_EQ(s.GetRefID(target), ISave::kNoHandle);
}

TEST(MemoryLoad, ReadsNestedChunksBack) {
  std::vector<uint8_t> bytes = SampleStream();
  MemoryLoad in(bytes);
  EXPECT_TRUE(ReadSample(in));
  EXPECT_EQ(in.Depth(), 0);
}

TEST(MemoryLoad, CloseChunkSkipsWhatWasNotRead) {
  std::vector<uint8_t> bytes = SampleStream();
  MemoryLoad in(bytes);
  ASSERT_EQ(in.OpenChunk(), IO_OK);
  ASSERT_EQ(in.CloseChunk(), IO_OK);
  ASSERT_EQ(in.OpenChunk(), IO_OK);
  EXPECT_EQ(in.CurChunkID(), 0x0D00);
  float f = 0;
  EXPECT_EQ(in.ReadFloat(f), IO_OK);
  EXPECT_EQ(f, 0.25f);
}

TEST(MemoryLoad, ReadNeverCrossesTheChunkEnd) {
  MemorySave s;
  s.BeginChunk(1);
  s.WriteInt(42);
  s.EndChunk();
  s.BeginChunk(2);
  s.WriteInt(43);
  s.EndChunk();
  MemoryLoad in(s.Bytes());
  ASSERT_EQ(in.OpenChunk(), IO_OK);
  int64_t wide = 0;
  EXPECT_EQ(in.ReadInt64(wide), IO_ERROR);  // would run into chunk 2
  int32_t v = 0;
  EXPECT_EQ(in.ReadInt(v), IO_OK);  // nothing was consumed by the failed read
  EXPECT_EQ(v, 42);
  EXPECT_EQ(in.ReadInt(v), IO_ERROR);
  EXPECT_EQ(in.OpenChunk(), IO_END);
}

TEST(MemoryLoad, RefusesDamagedHeaders) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    int nested;  // chunks to open successfully before the damaged one
  };
  const Case cases[] = {
      {"header cut short", {0x01, 0x00, 0x02}, 0},
      {"length beyond the buffer", {0x01, 0x00, 0x05, 0, 0, 0, 1, 2}, 0},
      {"length near 4 GiB", {0x01, 0x00, 0xF0, 0xFF, 0xFF, 0xFF, 1, 2}, 0},
      {"inner length beyond the outer chunk",
       {0x01, 0x00, 8, 0, 0, 0, 0x02, 0x00, 9, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9},
       1},
      {"inner header cut by the outer chunk", {0x01, 0x00, 3, 0, 0, 0, 0x02, 0x00, 0, 0, 0}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryLoad in(c.bytes);
    for (int i = 0; i < c.nested; ++i) ASSERT_EQ(in.OpenChunk(), IO_OK);
    EXPECT_EQ(in.OpenChunk(), IO_ERROR);
    EXPECT_EQ(in.Depth(), c.nested);
  }
}

TEST(MemoryLoad, RefusesAStringLongerThanTheChunk) {
  MemorySave s;
  s.BeginChunk(1);
  s.WriteUInt(0xFFFFFFF0u);  // a damaged length
  s.WriteString("abc");
  s.EndChunk();
  MemoryLoad in(s.Bytes());
  ASSERT_EQ(in.OpenChunk(), IO_OK);
  std::string text = "unchanged";
  EXPECT_EQ(in.ReadString(text), IO_ERROR);
  EXPECT_EQ(text, "unchanged");
}

TEST(MemoryLoad, NoPrefixOfAStreamReadsAsTheWhole) {
  std::vector<uint8_t> bytes = SampleStream();
  for (size_t n = 0; n < bytes.size(); ++n) {
    SCOPED_TRACE(n);
    std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(n));
    MemoryLoad in(prefix);
    EXPECT_FALSE(ReadSample(in));
    MemoryLoad walker(prefix);
    // A prefix cut inside a chunk is reported as damage; only prefixes that
    // end between top-level chunks walk cleanly.
    bool endsBetweenChunks = n == 0 || n == bytes.size() - 10;
    EXPECT_EQ(WalkChecked(walker), endsBetweenChunks);
  }
  MemoryLoad whole(bytes);
  EXPECT_TRUE(ReadSample(whole));
}

TEST(MemoryLoad, CorruptedStreamsStayWithinTheirChunks) {
  std::vector<uint8_t> original = SampleStream();
  std::mt19937 rng(20240611);
  for (int trial = 0; trial < 3000; ++trial) {
    std::vector<uint8_t> bytes = original;
    int flips = 1 + static_cast<int>(rng() % 3);
    for (int f = 0; f < flips; ++f) bytes[rng() % bytes.size()] = static_cast<uint8_t>(rng());
    MemoryLoad in(bytes);
    WalkChecked(in);
    MemoryLoad reader(bytes);
    bool ok = ReadSample(reader);
    if (ok) {
      // The stream has no checksum; a success must at least mean the values
      // that were checked came through, i.e. the flips hit none of them.
      EXPECT_EQ(bytes, original) << "trial " << trial;
    }
  }
}

TEST(MemoryLoad, RunsPostLoadCallbacksByPriorityThenRegistration) {
  MemoryLoad in({});
  std::vector<int> log;
  const int priorities[] = {5, 1, 5, 0, 3, 1};
  for (int i = 0; i < 6; ++i) {
    in.RegisterPostLoadCallback(
        std::make_unique<CountingCallback>(log, i, priorities[i], i == 2 ? &in : nullptr));
  }
  in.RunPostLoadCallbacks();
  // Callback 2 registered callback 99, which runs after the first batch.
  EXPECT_EQ(log, (std::vector<int>{3, 1, 5, 4, 0, 2, 99}));
  in.RunPostLoadCallbacks();
  EXPECT_EQ(log.size(), 7u);
}

TEST(MemoryLoad, FindsObjectsByHandleUntilForgotten) {
  MemoryLoad in({});
  TestTarget placeholder;
  ReferenceTarget* object = &placeholder;
  EXPECT_EQ(in.GetObjectByHandle(4), nullptr);
  in.SetObject(4, object);
  EXPECT_EQ(in.GetObjectByHandle(4), object);
  EXPECT_EQ(in.GetObjectByHandle(5), nullptr);
  in.ForgetObjects();
  EXPECT_EQ(in.GetObjectByHandle(4), nullptr);
}
