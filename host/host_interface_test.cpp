// Tests of the host's core interface and its progress display: the settings
// directory from the environment, scene effects and nodes, message boxes
// without a user, the cancel flag, plain progress lines and the bar's
// redraw limit.
#include "host/host_interface.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <thread>

#include "host/testing/binder_classes.h"
#include "sdk/testing/scratch_dir.h"

namespace host {
namespace {

// Collects what is written to a FILE*.
class MemoryStream {
 public:
  MemoryStream() : file_(open_memstream(&data_, &size_)) {}
  ~MemoryStream() {
    std::fclose(file_);
    std::free(data_);
  }
  std::FILE* File() { return file_; }
  std::string Text() {
    std::fflush(file_);
    return std::string(data_, size_);
  }

 private:
  char* data_ = nullptr;
  size_t size_ = 0;
  std::FILE* file_;
};

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(SettingsDirFor, PrefersTarnisHomeThenXdgThenHome) {
  EXPECT_EQ(SettingsDirFor("/t", "/x", "/h"), "/t");
  EXPECT_EQ(SettingsDirFor("", "/x", "/h"), "/x/tarnis");
  EXPECT_EQ(SettingsDirFor(nullptr, nullptr, "/h"), "/h/.config/tarnis");
  EXPECT_EQ(SettingsDirFor(nullptr, "", "/h"), "/h/.config/tarnis");
  EXPECT_EQ(SettingsDirFor(nullptr, nullptr, nullptr), "");
}

TEST(HostInterface, MakesTheSettingsDirectoryOnFirstUse) {
  ScratchDir dir;
  std::string home = dir.File("settings/tarnis");
  ScopedEnv env("TARNIS_HOME", home.c_str());
  MemoryStream out;
  HostInterface ip(nullptr, out.File(), false, {});
  EXPECT_FALSE(std::filesystem::exists(home));
  EXPECT_EQ(ip.GetDir(APP_USER_SETTINGS_DIR), home);
  EXPECT_TRUE(std::filesystem::is_directory(home));
  EXPECT_EQ(ip.GetDir(APP_USER_SETTINGS_DIR + 1), "");
}

TEST(HostInterface, AnswersTheScenesEffectsAndNodes) {
  testing::RegisterBinderTestClasses();
  Scene scene;
  scene.CreateNode("Box");
  scene.Effects().Append(static_cast<ReferenceTarget*>(testing::TestEffectDesc().Create(false)));
  MemoryStream out;
  HostInterface ip(&scene, out.File(), false, {});
  ASSERT_EQ(ip.NumEffects(), 1);
  EXPECT_NE(dynamic_cast<testing::TestEffect*>(ip.GetEffect(0)), nullptr);
  EXPECT_EQ(ip.GetEffect(1), nullptr);
  EXPECT_EQ(ip.GetINodeByName("Box"), scene.FindNode("Box"));
  EXPECT_EQ(ip.GetINodeByName("Nope"), nullptr);
  EXPECT_EQ(ip.GetINodeByName(nullptr), nullptr);
  EXPECT_FALSE(ip.IsNetServer());
  EXPECT_TRUE(ip.RenderEffectsEnabled());
}

TEST(HostInterface, EditsTheScenesEffectsAndNodesForPlugIns) {
  testing::RegisterBinderTestClasses();
  Scene scene, other;
  HostNode* node = scene.CreateNode("Marker");
  HostNode* elsewhere = other.CreateNode("Elsewhere");
  auto* effect =
      static_cast<Effect*>(static_cast<ReferenceTarget*>(testing::TestEffectDesc().Create(false)));
  MemoryStream out;
  HostInterface ip(&scene, out.File(), false, {});
  EXPECT_EQ(ip.GetRootNode(), scene.Root());
  EXPECT_TRUE(ip.AddEffect(effect));
  EXPECT_FALSE(ip.AddEffect(effect)) << "listed once";
  EXPECT_FALSE(ip.AddEffect(nullptr));
  EXPECT_EQ(ip.NumEffects(), 1);
  EXPECT_FALSE(ip.DeleteNode(elsewhere));
  EXPECT_TRUE(ip.DeleteNode(node));
  EXPECT_EQ(scene.FindNode("Marker"), nullptr);

  // Merge dialogs: the opening state without a chooser, else its answer.
  MergeQuestion q;
  MergeAnswer a;
  a.choice = MergeAnswer::kDrop;
  EXPECT_TRUE(ip.AskMergeChoice(q, a));
  EXPECT_EQ(a.choice, MergeAnswer::kDrop);
  ip.SetMergeChooser([](const MergeQuestion&, MergeAnswer& answer) {
    answer.choice = MergeAnswer::kAdd;
    return false;
  });
  EXPECT_FALSE(ip.AskMergeChoice(q, a));
  EXPECT_EQ(a.choice, MergeAnswer::kAdd);

  HostInterface none(nullptr, out.File(), false, {});
  EXPECT_EQ(none.GetRootNode(), nullptr);
  EXPECT_FALSE(none.AddEffect(effect));
  EXPECT_FALSE(none.DeleteNode(elsewhere));
}

TEST(HostInterface, MessageBoxesPrintAndAnswerTheDefault) {
  MemoryStream out;
  HostInterface ip(nullptr, out.File(), false, {});
  EXPECT_EQ(ip.MessageBox("Overwrite?", "Tarnis", MessageIcon::Question, MessageButtons::YesNo),
            IDYES);
  EXPECT_EQ(ip.MessageBox("Done.", "Tarnis", MessageIcon::Information), IDOK);
  EXPECT_EQ(ip.MessageBox("Go on?", "Tarnis", MessageIcon::Question, MessageButtons::OkCancel),
            IDOK);
  EXPECT_EQ(out.Text(), "Tarnis: Overwrite?\nTarnis: Done.\nTarnis: Go on?\n");
}

TEST(HostInterface, TheCancelFlagIsSharedWithSignalHandlers) {
  MemoryStream out;
  HostInterface ip(nullptr, out.File(), false, {});
  EXPECT_FALSE(ip.GetCancel());
  ip.CancelFlag().store(true);
  EXPECT_TRUE(ip.GetCancel());
  ip.SetCancel(false);
  EXPECT_FALSE(ip.CancelFlag().load());
}

TEST(ProgressDisplay, PlainLinesMarkStagesAndQuarters) {
  MemoryStream out;
  ProgressDisplay p(out.File(), false);
  p.Start("Shading");
  for (int i = 0; i <= 100; i += 5) p.Update(i);
  p.End();
  p.Start("Lines");
  p.Update(80);
  p.Update(120);
  p.End();
  EXPECT_EQ(out.Text(),
            "Shading\nShading: 25%\nShading: 50%\nShading: 75%\nShading: 100%\n"
            "Lines\nLines: 75%\nLines: 100%\n");
}

TEST(ProgressDisplay, LongTitlesAreCutBetweenCharacters) {
  // Short titles stay whole, also when wide characters take two columns each.
  EXPECT_EQ(ClipTitle("[Tarnis] エッジ連結プロセス２ (1/3)", 48),
            "[Tarnis] エッジ連結プロセス２ (1/3)");
  // A long one ends in "..." and stays valid UTF-8: the cut falls after a
  // whole three-byte character.
  const std::string cut = ClipTitle("エッジ連結プロセス エッジ連結プロセス エッジ連結プロセス", 20);
  ASSERT_GE(cut.size(), 3u);
  EXPECT_EQ(cut.substr(cut.size() - 3), "...");
  EXPECT_EQ((cut.size() - 3) % 3, 0u);
  EXPECT_EQ(cut.substr(0, 3 * 8), "エッジ連結プロセ");
  EXPECT_EQ(ClipTitle(std::string(60, 'a'), 10), "aaaaaaa...");
}

TEST(ProgressDisplay, ANewTitleStartsANewStage) {
  MemoryStream out;
  ProgressDisplay p(out.File(), false);
  p.Start("Frame 1");
  p.Update(50);  // a jump reports the quarter reached, once
  p.Update(10, "Frame 2");
  p.Update(30, "Frame 2");
  EXPECT_EQ(out.Text(), "Frame 1\nFrame 1: 50%\nFrame 2\nFrame 2: 25%\n");
}

TEST(ProgressDisplay, TheBarIsRedrawnAtMostTenTimesASecond) {
  MemoryStream out;
  double now = 100.0;
  ProgressDisplay p(out.File(), true, [&] { return now; });
  p.Start("Shading");
  for (int i = 1; i < 100; ++i) {
    p.Update(i);  // all at the same instant: none drawn
  }
  std::string text = out.Text();
  EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 1);
  now += 0.05;
  p.Update(40);
  now += 0.06;
  p.Update(41);
  now += 65.0;
  p.Update(100);
  p.End();
  text = out.Text();
  // Drawn at the start, after 0.11 s and at 100 %; the end adds only the line break.
  EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 3);
  std::string bar41 = std::string(12, '#') + std::string(18, '.');  // 41 % of 30 columns
  EXPECT_NE(text.find("Shading [" + bar41 + "]  41%  0:00"), std::string::npos) << text;
  EXPECT_NE(text.find("Shading [##############################] 100%  1:05"), std::string::npos)
      << text;
  EXPECT_EQ(text.back(), '\n');
}

TEST(ProgressDisplay, MessagesDoNotTearTheBar) {
  MemoryStream out;
  double now = 0.0;
  ProgressDisplay p(out.File(), true, [&] { return now; });
  p.Start("Work");
  p.Message("note: something");
  std::string text = out.Text();
  // The bar line is cleared, the message printed, and the bar drawn again below it.
  EXPECT_NE(text.find("\r\x1b[Knote: something\n\rWork ["), std::string::npos) << text;
}

TEST(ProgressDisplay, SeveralThreadsMayReportAtOnce) {
  MemoryStream out;
  ProgressDisplay p(out.File(), false);
  p.Start("Parallel");
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&p, t] {
      for (int i = 0; i <= 100; ++i) p.Update(std::min(100, i + t));
    });
  }
  for (auto& th : threads) th.join();
  p.End();
  EXPECT_EQ(out.Text(), "Parallel\nParallel: 25%\nParallel: 50%\nParallel: 75%\nParallel: 100%\n");
}

}  // namespace
}  // namespace host
