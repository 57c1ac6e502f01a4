// The program speaks English by default and Japanese when the user's
// language is Japanese: progress lines of the line engine and class names.
// Stage counters run up to their totals.
#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

#include "sdk/testing/scratch_dir.h"
#include "tests/language_env.h"

namespace {

// Two boxes side by side, both drawn by one line set with hidden lines too,
// so that every line stage runs and object detection counts two instances.
constexpr const char* kLinedScene = R"({
  "tarnis": 1,
  "render": {"width": 64, "height": 48, "samples": 1},
  "environment": {"background": [1, 1, 1], "ambient": [0.5, 0.5, 0.5]},
  "camera": {"position": [0, -8, 3], "target": [0, 0, 0], "fov": 40},
  "nodes": [
    {"name": "Left", "mesh": {"primitive": "box", "size": [1.5, 1.5, 1.5]}, "position": [-1, 0, 0]},
    {"name": "Right", "mesh": {"primitive": "box", "size": [1.5, 1.5, 1.5]}, "position": [0.4, 0.5, 0]}
  ],
  "effects": [
    {"class": "Tarnis_Line",
     "refs": {"1": {"class": "Tarnis_LineSet",
                    "params": {"main": {"objects": ["Left", "Right"]},
                               "type1": {"edgeIsect1": true}, "type2": {"edgeObject2": true}}}}}
  ]
})";

struct Language {
  const char* label;
  std::vector<std::string> env;
  std::vector<std::string> expected;  // lines the output contains
  std::vector<std::string> absent;
};

bool LocaleInstalled(const char* name) {
  locale_t l = newlocale(LC_MESSAGES_MASK, name, static_cast<locale_t>(0));
  if (!l) return false;
  freelocale(l);
  return true;
}

void ExpectOutput(const RunResult& run, const Language& lang) {
  EXPECT_EQ(run.status, 0) << lang.label << "\n" << run.output;
  for (const std::string& text : lang.expected) {
    EXPECT_NE(run.output.find(text), std::string::npos)
        << lang.label << ": missing \"" << text << "\" in\n"
        << run.output;
  }
  for (const std::string& text : lang.absent) {
    EXPECT_EQ(run.output.find(text), std::string::npos)
        << lang.label << ": unexpected \"" << text << "\" in\n"
        << run.output;
  }
}

const Language kEnglish{"LANG=C.UTF-8",
                        {"LANG=C.UTF-8"},
                        {"Detecting object edges (1/2)\n", "Detecting object edges (2/2)\n",
                         "Detecting intersection edges (", "[Tarnis] Linking edges, process 1 (",
                         "[Tarnis] Linking edges, process 2 (", "[Tarnis] Drawing lines (1/",
                         "[Tarnis] Drawing lines (2/2)\n"},
                        {"オブジェクト", "ライン"}};

const Language kJapanese{"LANGUAGE=ja",
                         {"LANG=C.UTF-8", "LANGUAGE=ja"},
                         {"オブジェクトエッジの検出 (1/2)\n", "オブジェクトエッジの検出 (2/2)\n",
                          "交差エッジの検出 (", "[Tarnis] エッジ連結プロセス１ (",
                          "[Tarnis] エッジ連結プロセス2 (", "[Tarnis] ライン描画 (2/2)\n"},
                         {"Detecting", "Drawing lines"}};

TEST(TarnisMessages, ProgressIsEnglishByDefaultAndJapaneseWhenAsked) {
  ScratchDir dir;
  WriteBytes(dir.File("lined.json"), kLinedScene);
  for (const Language& lang : {kEnglish, kJapanese}) {
    ExpectOutput(RunWith({"render", "lined.json", "--threads", "2"}, dir.Path().string(), lang.env),
                 lang);
  }
}

TEST(TarnisMessages, ProgressIsJapaneseUnderAJapaneseLocale) {
  if (!LocaleInstalled("ja_JP.UTF-8")) {
    GTEST_SKIP() << "the locale ja_JP.UTF-8 is not installed on this machine (see locale -a); "
                    "the Japanese texts are checked through LANGUAGE=ja instead";
  }
  ScratchDir dir;
  WriteBytes(dir.File("lined.json"), kLinedScene);
  Language lang = kJapanese;
  lang.label = "LANG=ja_JP.UTF-8";
  lang.env = {"LANG=ja_JP.UTF-8"};
  ExpectOutput(RunWith({"render", "lined.json"}, dir.Path().string(), lang.env), lang);
}

TEST(TarnisMessages, ClassNamesFollowTheLanguage) {
  ScratchDir dir;
  const Language cases[] = {
      {"LANG=C.UTF-8",
       {"LANG=C.UTF-8"},
       {"Tarnis Line\n", "Tarnis Line Set (not public)", "Tarnis Line Brush (not public)",
        "Tarnis Line Setting (not public)"},
       {"CLASS_NAME_BRUSH", "ライン"}},
      {"LANGUAGE=ja",
       {"LANG=C.UTF-8", "LANGUAGE=ja"},
       {"Tarnis ライン\n", "Tarnis ラインセット (not public)", "CLASS_NAME_BRUSH (not public)",
        "Tarnis ライン設定 (not public)"},
       {"Tarnis Line"}},
  };
  for (const Language& lang : cases) {
    ExpectOutput(RunWith({"info", "--classes"}, dir.Path().string(), lang.env), lang);
  }
}

}  // namespace
