// Tests of the in-memory settings handler: key lookup, whole-file load and
// save, removing sections, and files that cannot be loaded.
#include "tarnis/common/mem_ini_handler.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "sdk/testing/scratch_dir.h"

namespace tarnis {
namespace {

// "name: key=value, key=value; name: ..." for comparing whole handlers.
std::string Describe(const MemIniHandler& h) {
  std::string out;
  for (const MemIniHandler::Section& s : h.Sections()) {
    out += s.name + ":";
    for (const MemIniHandler::Entry& e : s.entries) out += " " + e.key + "=" + e.value;
    out += ";";
  }
  return out;
}

TEST(MemIniHandler, WritesAppendNewSectionsAndKeysAndReplaceValuesIgnoringCase) {
  MemIniHandler h;
  EXPECT_TRUE(h.WriteString("Preset A", "size", "1"));
  EXPECT_TRUE(h.WriteString("Preset B", "size", "2"));
  EXPECT_TRUE(h.WriteString("preset a", "SIZE", "3"));
  EXPECT_TRUE(h.WriteString("Preset A", "alpha", nullptr));
  EXPECT_EQ(Describe(h), "Preset A: size=3 alpha=;Preset B: size=2;");
  char buffer[16];
  EXPECT_TRUE(h.ReadString("PRESET a", "Size", buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "3");
  EXPECT_FALSE(h.ReadString("Preset A", "alpha", buffer, sizeof buffer));
  EXPECT_FALSE(h.ReadString("Preset C", "size", buffer, sizeof buffer));
  // What a file cannot hold is not taken.
  EXPECT_FALSE(h.WriteString("Preset A", "a=b", "1"));
  EXPECT_FALSE(h.WriteString("Two\nLines", "k", "1"));
  EXPECT_FALSE(h.WriteString(nullptr, "k", "1"));
  EXPECT_EQ(Describe(h), "Preset A: size=3 alpha=;Preset B: size=2;");
}

TEST(MemIniHandler, SavesPresetFilesThatLoadBackTheSame) {
  ScratchDir dir;
  MemIniHandler h;
  h.WriteString("Soft", "size", "1.500000");
  h.WriteString("Soft", "color", "0.500000 0.250000 1.000000");
  h.WriteString("柔らかい", "name", "Box 01\n[Evil]");
  h.WriteString("Empty", "gone", "");
  ASSERT_TRUE(h.Save(dir.File("tarnis_preset_stroke.txt")));
  EXPECT_EQ(ReadBytes(dir.File("tarnis_preset_stroke.txt")),
            "[Soft]\nsize = 1.500000\ncolor = 0.500000 0.250000 1.000000\n"
            "[柔らかい]\nname = Box 01 [Evil]\n[Empty]\ngone = \n");
  MemIniHandler back;
  ASSERT_TRUE(back.Load(dir.File("tarnis_preset_stroke.txt")));
  EXPECT_EQ(Describe(back), Describe(h));
}

TEST(MemIniHandler, AKeyThatFillsItsWholeLineIsSavedSoThatItLoadsBack) {
  ScratchDir dir;
  const std::string value(IniFile::kMaxLineBytes - 2, 'v');  // "k=" and the value fill the line
  WriteBytes(dir.File("full.txt"), "[Full]\nk=" + value + "\nshort=1\n");
  MemIniHandler h;
  ASSERT_TRUE(h.Load(dir.File("full.txt")));
  ASSERT_EQ(Describe(h), "Full: k=" + value + " short=1;");
  ASSERT_TRUE(h.Save(dir.File("saved.txt")));
  EXPECT_EQ(ReadBytes(dir.File("saved.txt")), "[Full]\nk=" + value + "\nshort = 1\n");
  MemIniHandler back;
  ASSERT_TRUE(back.Load(dir.File("saved.txt")));
  EXPECT_EQ(Describe(back), Describe(h));
}

TEST(MemIniHandler, LoadsEverySectionInFileOrderOnce) {
  ScratchDir dir;
  WriteBytes(dir.File("p.txt"),
             "junk=1\n[B]\nk=1\n; note\nj = 2\n[A]\nx=3\n[b]\nk=9\n[broken\ny=4\n[C]\n");
  MemIniHandler h;
  h.WriteString("Old", "k", "1");
  ASSERT_TRUE(h.Load(dir.File("p.txt")));
  EXPECT_EQ(Describe(h), "B: k=1 j=2;A: x=3;C:;");
}

TEST(MemIniHandler, MissingFilesLoadEmptyAndUnreadableOnesChangeNothing) {
  ScratchDir dir;
  MemIniHandler h;
  h.WriteString("Keep", "k", "1");
  EXPECT_FALSE(h.Load(""));
  EXPECT_FALSE(h.Save(""));
  const std::string huge = dir.File("huge.txt");
  WriteBytes(huge, "[Other]\nk=2\n");
  ASSERT_EQ(::truncate(huge.c_str(), 20'000'000), 0);
  EXPECT_FALSE(h.Load(huge));
  EXPECT_FALSE(h.Load(dir.Path().string()));
  EXPECT_EQ(Describe(h), "Keep: k=1;");
  EXPECT_TRUE(h.Load(dir.File("absent.txt")));
  EXPECT_EQ(Describe(h), "");
}

TEST(MemIniHandler, AFailedSaveKeepsTheOldFile) {
  ScratchDir dir;
  MemIniHandler h;
  h.WriteString("A", "k", "1");
  EXPECT_FALSE(h.Save(dir.File("missing/p.txt")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));
  // The rename at the end fails (a directory stands where the file goes):
  // what was there stays and no temporary file is left beside it.
  const std::string path = dir.File("p.txt");
  std::filesystem::create_directory(path);
  WriteBytes(path + "/inside", "kept");
  EXPECT_FALSE(h.Save(path));
  EXPECT_EQ(ReadBytes(path + "/inside"), "kept");
  int entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path())) ++entries;
  EXPECT_EQ(entries, 1);
}

TEST(MemIniHandler, RemovesTheFirstSectionOfANameIgnoringCase) {
  MemIniHandler h;
  h.WriteString("A", "k", "1");
  h.WriteString("B", "k", "2");
  EXPECT_TRUE(h.RemoveSection("a"));
  EXPECT_FALSE(h.RemoveSection("A"));
  EXPECT_EQ(Describe(h), "B: k=2;");
}

}  // namespace
}  // namespace tarnis
