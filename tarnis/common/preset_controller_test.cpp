// Tests of the preset bar without a panel: the store's file, saving,
// deleting and applying by name, several stores of one file, and files that
// cannot be read or written.
#include "tarnis/common/preset_controller.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "sdk/hold.h"
#include "sdk/param_block.h"
#include "sdk/testing/fake_interface.h"
#include "sdk/testing/scratch_dir.h"
#include "tarnis/common/ini_handler.h"

namespace tarnis {
namespace {

using Names = std::vector<std::string>;

enum : ParamID { kSize, kCount };

ParamBlockDesc2& Desc() {
  static ParamBlockDesc2 desc(
      ParamBlockHeader{.id = 0, .internalName = "main"},
      std::vector<ParamDef>{
          {.id = kSize, .internalName = "size", .def = 1.0f, .range = {0.0f, 100.0f}},
          {.id = kCount, .internalName = "count", .type = TYPE_INT, .def = 3, .range = {1, 10}},
      });
  return desc;
}

// The object side of a bar over one block.
class BlockTarget : public PresetTarget {
 public:
  BlockTarget() : holder_(CreateParameterBlock2(&Desc(), nullptr)) {}
  IParamBlock2& Block() { return *holder_.GetAs<IParamBlock2>(); }
  void ApplyPreset(IniHandler& store, const char* name) override { store.ReadBlock(name, Block()); }
  void SavePreset(IniHandler& store, const char* name) override { store.WriteBlock(name, Block()); }

 private:
  ReferenceHolder holder_;
};

class PresetBar : public ::testing::Test {
 protected:
  void SetUp() override { theHold.Reset(); }
  void TearDown() override { theHold.Reset(); }

  std::string File() const { return dir.File("presets.txt"); }
  ScratchDir dir;
  PresetStore store = PresetStore::AtPath(dir.File("presets.txt"));
  BlockTarget target;
  PresetController bar{&store, &target};
};

TEST_F(PresetBar, SavesAsTheFileFormatWritesThemAndListsThemInFileOrder) {
  target.Block().SetValue(kSize, 0, 2.5f);
  EXPECT_EQ(bar.Save("Soft").status, PresetStatus::kDone);
  target.Block().SetValue(kCount, 0, 7);
  EXPECT_EQ(bar.Save("Hard").status, PresetStatus::kDone);
  EXPECT_EQ(ReadBytes(File()),
            "[Soft]\nsize = 2.500000\ncount = 3\n[Hard]\nsize = 2.500000\ncount = 7\n");
  EXPECT_EQ(bar.List(), (Names{"Soft", "Hard"}));
  EXPECT_EQ(bar.Selection(), "Hard");
}

TEST_F(PresetBar, SavingUnderANameInOtherLetterCaseUpdatesThatPresetAndSelectsIt) {
  bar.Save("Soft");
  bar.Save("Hard");
  target.Block().SetValue(kSize, 0, 9.0f);
  const PresetResult result = bar.Save("SOFT");
  EXPECT_EQ(result.status, PresetStatus::kDone);
  EXPECT_EQ(result.name, "Soft");
  EXPECT_EQ(bar.Selection(), "Soft");
  EXPECT_EQ(bar.List(), (Names{"Soft", "Hard"}));
  EXPECT_EQ(ReadBytes(File()),
            "[Soft]\nsize = 9.000000\ncount = 3\n[Hard]\nsize = 1.000000\ncount = 3\n");
}

TEST_F(PresetBar, AnEmptyNameDoesNothingAndANameAFileCannotHoldIsRefused) {
  bar.Save("Soft");
  const std::string before = ReadBytes(File());
  for (const char* name : {"", "   "}) {
    EXPECT_EQ(bar.Save(name).status, PresetStatus::kEmptyName);
    EXPECT_EQ(bar.Delete(name).status, PresetStatus::kEmptyName);
    EXPECT_EQ(bar.Apply(name).status, PresetStatus::kEmptyName);
  }
  EXPECT_EQ(bar.Save("Two\nLines").status, PresetStatus::kBadName);
  EXPECT_EQ(bar.Save(std::string(PresetController::kMaxPresetName + 1, 'x')).status,
            PresetStatus::kBadName);
  EXPECT_EQ(bar.Selection(), "Soft");
  // Characters count, not bytes: 259 two-byte letters are a name.
  std::string longName;
  for (int i = 0; i < PresetController::kMaxPresetName; ++i) longName += "é";
  EXPECT_EQ(bar.Save(longName).status, PresetStatus::kDone);
  EXPECT_EQ(bar.List(), (Names{"Soft", longName}));
  EXPECT_EQ(theHold.NumUndoEntries(), 0);
  bar.Delete(longName);
  EXPECT_EQ(ReadBytes(File()), before);
}

TEST_F(PresetBar, DeleteTakesInWhatAnotherStoreOfTheFileSavedFirst) {
  bar.Save("Soft");
  PresetStore other = PresetStore::AtPath(File());
  BlockTarget otherTarget;
  PresetController otherBar(&other, &otherTarget);
  otherTarget.Block().SetValue(kCount, 0, 5);
  ASSERT_EQ(otherBar.Save("Theirs").status, PresetStatus::kDone);

  const PresetResult result = bar.Delete("soft");
  EXPECT_EQ(result.status, PresetStatus::kDone);
  EXPECT_EQ(result.name, "Soft");
  EXPECT_EQ(bar.Selection(), "");
  EXPECT_EQ(bar.List(), (Names{"Theirs"}));
  EXPECT_EQ(ReadBytes(File()), "[Theirs]\nsize = 1.000000\ncount = 5\n");
  EXPECT_EQ(bar.Delete("Soft").status, PresetStatus::kNoPreset);
}

TEST_F(PresetBar, SaveKeepsWhatAnotherStoreSavedToo) {
  PresetStore other = PresetStore::AtPath(File());
  BlockTarget otherTarget;
  PresetController otherBar(&other, &otherTarget);
  ASSERT_EQ(otherBar.List(), Names{});
  bar.Save("Mine");
  otherBar.Save("Theirs");
  EXPECT_EQ(otherBar.List(), (Names{"Mine", "Theirs"}));
  bar.Save("Mine too");
  EXPECT_EQ(PresetStore::AtPath(File()).Names(), (Names{"Mine", "Theirs", "Mine too"}));
}

TEST_F(PresetBar, ApplyIsOneUndoEntryAndChangesOnlyTheKeysThePresetHas) {
  WriteBytes(File(), "[Only size]\nsize = 4.5\n[Other]\ncount = 2\n");
  target.Block().SetValue(kCount, 0, 8);
  const PresetResult result = bar.Apply("only SIZE");
  EXPECT_EQ(result.status, PresetStatus::kDone);
  EXPECT_EQ(result.name, "Only size");
  EXPECT_EQ(bar.Selection(), "Only size");
  EXPECT_FLOAT_EQ(target.Block().GetFloat(kSize), 4.5f);
  EXPECT_EQ(target.Block().GetInt(kCount), 8);
  ASSERT_EQ(theHold.NumUndoEntries(), 1);
  ASSERT_TRUE(theHold.Undo());
  EXPECT_FLOAT_EQ(target.Block().GetFloat(kSize), 1.0f);

  EXPECT_EQ(bar.Apply("Missing").status, PresetStatus::kNoPreset);
  EXPECT_EQ(theHold.NumUndoEntries(), 0);
  EXPECT_FLOAT_EQ(target.Block().GetFloat(kSize), 1.0f);
}

TEST_F(PresetBar, AFileThatCannotBeWrittenLeavesThePresetsInMemoryAndSaysSo) {
  bar.Save("Soft");
  const std::string before = ReadBytes(File());
  ::chmod(File().c_str(), 0444);
  const PresetResult result = bar.Save("Hard");
  EXPECT_EQ(result.status, PresetStatus::kNotWritten);
  EXPECT_NE(result.problem.find(File()), std::string::npos) << result.problem;
  EXPECT_EQ(bar.List(), (Names{"Soft", "Hard"}));
  EXPECT_EQ(bar.Selection(), "Hard");
  EXPECT_EQ(ReadBytes(File()), before);
  // Deleting the other one keeps the preset that only memory holds.
  EXPECT_EQ(bar.Delete("Soft").status, PresetStatus::kNotWritten);
  EXPECT_EQ(bar.List(), (Names{"Hard"}));
}

TEST_F(PresetBar, AFileThatIsNotAPresetFileIsNeverWrittenOver) {
  const char bytes[] = "\x89PNG\r\n\x1a\n[x]\nsize=2\n\0\0";
  const std::string binary(bytes, sizeof bytes - 1);
  WriteBytes(File(), binary);
  EXPECT_EQ(bar.List(), Names{});
  EXPECT_NE(store.Problem().find("binary"), std::string::npos) << store.Problem();
  const PresetResult result = bar.Save("Soft");
  EXPECT_EQ(result.status, PresetStatus::kNotWritten);
  EXPECT_NE(result.problem.find("left as it is"), std::string::npos) << result.problem;
  EXPECT_EQ(ReadBytes(File()), binary);
}

TEST_F(PresetBar, WithoutAStoreOrATargetNothingHappens) {
  PresetController noStore(nullptr, &target);
  EXPECT_EQ(noStore.Save("Soft").status, PresetStatus::kNoStore);
  EXPECT_EQ(noStore.Delete("Soft").status, PresetStatus::kNoStore);
  EXPECT_EQ(noStore.List(), Names{});
  PresetController noTarget(&store, nullptr);
  EXPECT_EQ(noTarget.Save("Soft").status, PresetStatus::kNoTarget);
  EXPECT_EQ(noTarget.Apply("Soft").status, PresetStatus::kNoTarget);
  EXPECT_EQ(ReadBytes(File()), "");
}

// A store of the settings directory reads its file once the host knows the
// directory, and the file of the new directory when it changes.
TEST(PresetStore, ReadsItsFileOnceTheSettingsDirectoryIsKnown) {
  ScratchDir dir;
  FakeInterface host;
  ForgetSettingsDirectory();
  PresetStore store("tarnis_preset_test.txt");
  BlockTarget target;
  PresetController bar(&store, &target);
  EXPECT_EQ(store.Handler(), nullptr);
  EXPECT_EQ(bar.Save("Soft").status, PresetStatus::kNoStore);

  host.settingsDir = dir.File("a");
  std::filesystem::create_directories(dir.File("a/plugcfg"));
  WriteBytes(dir.File("a/plugcfg/tarnis_preset_test.txt"), "[Kept]\ncount=4\n");
  EXPECT_EQ(bar.List(), (Names{"Kept"}));
  EXPECT_EQ(store.Path(), dir.File("a/plugcfg/tarnis_preset_test.txt"));

  ForgetSettingsDirectory();
  host.settingsDir = dir.File("b");
  EXPECT_EQ(bar.Save("New").status, PresetStatus::kDone);
  EXPECT_EQ(ReadBytes(dir.File("b/plugcfg/tarnis_preset_test.txt")),
            "[New]\nsize = 1.000000\ncount = 3\n");
  ForgetSettingsDirectory();
}

}  // namespace
}  // namespace tarnis
