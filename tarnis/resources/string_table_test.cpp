#include "tarnis/resources/string_table.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
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
  EXPECT_EQ(kept, "Parameter change");
  EXPECT_STREQ(second, "Detecting object edges");
}

// Switches the process's message language for one test: LANGUAGE picks the
// catalogue as long as LC_MESSAGES is not plain "C" (C.UTF-8 is always there).
class MessageLanguage {
 public:
  explicit MessageLanguage(const char* language) {
    if (const char* old = std::getenv("LANGUAGE")) oldLanguage_ = old;
    oldLocale_ = std::setlocale(LC_MESSAGES, nullptr);
    ::setenv("LANGUAGE", language, 1);
    // Setting the locale also drops the translations gettext has cached.
    std::setlocale(LC_MESSAGES, "C.UTF-8");
  }
  ~MessageLanguage() {
    if (oldLanguage_.empty()) {
      ::unsetenv("LANGUAGE");
    } else {
      ::setenv("LANGUAGE", oldLanguage_.c_str(), 1);
    }
    std::setlocale(LC_MESSAGES, oldLocale_.c_str());
  }

 private:
  std::string oldLanguage_, oldLocale_;
};

TEST_F(StringTable, SpeaksEnglishByDefaultAndJapaneseFromTheCatalogue) {
  int marker = 0;
  tarnis::SetModuleHandle(&marker);
  struct Case {
    int id;
    const char* english;
    const char* japanese;
  };
  const Case cases[] = {
      {673, "Detecting object edges", "オブジェクトエッジの検出"},
      {674, "Detecting intersection edges", "交差エッジの検出"},
      {675, "[Tarnis] Linking edges, process 1", "[Tarnis] エッジ連結プロセス１"},
      {676, "[Tarnis] Linking edges, process 2", "[Tarnis] エッジ連結プロセス2"},
      {677, "[Tarnis] Drawing lines", "[Tarnis] ライン描画"},
      {500, "Tarnis Line", "Tarnis ライン"},
      {600, "Tarnis Line Set", "Tarnis ラインセット"},
      {136, "Tarnis Line Setting", "Tarnis ライン設定"},
      {900, "Tarnis Line Brush", "CLASS_NAME_BRUSH"},
      {58, "Darken", "比較（暗）"},
      {9183, "Parameter change", "パラメータ変更"},
      {1, "Tarnis (KORVO)", "Tarnis (KORVO)"},
  };
  for (const Case& c : cases) EXPECT_STREQ(tarnis::GetString(c.id), c.english) << c.id;
  {
    MessageLanguage japanese("ja");
    for (const Case& c : cases) EXPECT_STREQ(tarnis::GetString(c.id), c.japanese) << c.id;
  }
  for (const Case& c : cases) EXPECT_STREQ(tarnis::GetString(c.id), c.english) << c.id;
}

TEST_F(StringTable, MissingNumbersAnswerNull) {
  int marker = 0;
  tarnis::SetModuleHandle(&marker);
  EXPECT_EQ(tarnis::GetString(-1), nullptr);
  EXPECT_EQ(tarnis::GetString(123456), nullptr);
}

}  // namespace
