#include "tarnis/resources/string_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

class StringTable : public testing::Test {
 protected:
  void SetUp() override { previous_ = tarnis::GetModuleHandle(); }
  void TearDown() override { tarnis::SetModuleHandle(previous_); }
  ModuleHandle previous_ = nullptr;
};

TEST_F(StringTable, AnswersNullUntilTheModuleHandleIsKnown) {
  tarnis::SetModuleHandle(nullptr);
  EXPECT_EQ(tarnis::GetString(1), nullptr);
  int marker = 0;
  tarnis::SetModuleHandle(&marker);
  ASSERT_NE(tarnis::GetString(1), nullptr);
  EXPECT_STREQ(tarnis::GetString(1), "Tarnis (KORVO)");
}

TEST_F(StringTable, SharesOneBufferThatTheNextLookupOverwrites) {
  int marker = 0;
  tarnis::SetModuleHandle(&marker);
  const char* first = tarnis::GetString(9183);
  ASSERT_NE(first, nullptr);
  std::string kept = first;
  const char* second = tarnis::GetString(673);
  EXPECT_EQ(first, second);
  EXPECT_EQ(kept, "パラメータ変更");
  EXPECT_STREQ(second, "オブジェクトエッジの検出");
}

TEST_F(StringTable, MissingNumbersAnswerNull) {
  int marker = 0;
  tarnis::SetModuleHandle(&marker);
  EXPECT_EQ(tarnis::GetString(-1), nullptr);
  EXPECT_EQ(tarnis::GetString(123456), nullptr);
}

}  // namespace
