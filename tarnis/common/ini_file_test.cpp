// Tests of the INI text layer: lookups, writes that keep the rest of the
// file, hostile files, and files that cannot be read or written.
#include "tarnis/common/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sdk/testing/scratch_dir.h"

namespace tarnis {
namespace {

using Strings = std::vector<std::string>;

TEST(IniFile, FindsSectionsAndKeysIgnoringLetterCaseAndSpaces) {
  IniFile file("[General]\n  LineDlgX = 120 \nLineDlgY=-4\n[Other]\nLineDlgX=7\n");
  EXPECT_EQ(file.Get("general", "linedlgx"), "120");
  EXPECT_EQ(file.Get("GENERAL", " LineDlgY "), "-4");
  EXPECT_EQ(file.Get("Other", "LineDlgX"), "7");
  EXPECT_EQ(file.Get("Other", "LineDlgY"), std::nullopt);
  EXPECT_EQ(file.Get("Missing", "LineDlgX"), std::nullopt);
  EXPECT_EQ(file.SectionNames(), (Strings{"General", "Other"}));
  EXPECT_EQ(file.SectionLines("general"), (Strings{"LineDlgX=120", "LineDlgY=-4"}));
}

TEST(IniFile, TheFirstSectionAndTheFirstKeyOfANameCount) {
  IniFile file("[A]\nk=1\nk=2\n[B]\nk=3\n[a]\nk=4\nj=5\n");
  EXPECT_EQ(file.Get("A", "k"), "1");
  EXPECT_EQ(file.Get("A", "j"), std::nullopt);
  EXPECT_EQ(file.SectionNames(), (Strings{"A", "B"}));
  EXPECT_EQ(file.SectionLines("A"), (Strings{"k=1", "k=2"}));
}

TEST(IniFile, WritingAKeyChangesOnlyItsOwnLine) {
  IniFile file("; saved by hand\n[A]\nk=1\n\n[B]\nx=2\n");
  ASSERT_TRUE(file.Set("a", "K", "10"));   // replaces, in the caller's spelling
  ASSERT_TRUE(file.Set("A", "new", "3"));  // appended to A, before the blank line
  ASSERT_TRUE(file.Set("C", "y", "4"));    // a new section at the end
  EXPECT_EQ(file.Text(), "; saved by hand\n[A]\nK=10\nnew=3\n\n[B]\nx=2\n[C]\ny=4\n");
}

TEST(IniFile, RefusesNamesAndKeysThatWouldReadBackDifferently) {
  IniFile file("[A]\nk=1\n");
  const std::string before = file.Text();
  const struct {
    const char* section;
    const char* key;
  } refused[] = {{"", "k"},     {"  ", "k"}, {"A\nB", "k"}, {"A", ""},  {"A", "a=b"},
                 {"A", "x\ny"}, {"A", "[k"}, {"A", ";k"},   {"A", "#k"}};
  for (const auto& r : refused) {
    EXPECT_FALSE(file.Set(r.section, r.key, "v")) << r.section << " / " << r.key;
  }
  EXPECT_FALSE(file.Set("A", "k", std::string(IniFile::kMaxLineBytes, 'x')));
  EXPECT_EQ(file.Text(), before);
}

TEST(IniFile, AValueCannotAddLines) {
  IniFile file;
  ASSERT_TRUE(file.Set("A", "name", std::string_view("Box\n[Evil]\nk=1\r\0x", 17)));
  EXPECT_EQ(file.SectionNames(), (Strings{"A"}));
  EXPECT_EQ(file.Get("A", "name"), "Box [Evil] k=1  x");
  EXPECT_EQ(file.Get("Evil", "k"), std::nullopt);
}

// Hostile text: each case holds a damaged part and a healthy section "[S]"
// with k=v; the damaged keys are not found and the healthy one still is.
TEST(IniFile, HostileTextReadsAsAFileWithoutTheSpoiledKeys) {
  std::string junk;
  for (int i = 0; i < 4096; ++i) junk += static_cast<char>((i * 131 + 7) % 256);
  const struct {
    const char* what;
    std::string text;
    const char* missingSection;
    const char* missingKey;
  } cases[] = {
      {"binary junk", junk + "\n[S]\nk=v\n", "S", "j"},
      {"NUL byte in a key line", std::string("[S]\nk=v\nbad=1\0x\n", 16), "S", "bad"},
      {"megabyte line", "[S]\nk=v\nbig=" + std::string(1 << 20, 'x') + "\n", "S", "big"},
      {"section without closing bracket", "[S]\nk=v\n[T\nt=1\n", "T", "t"},
      {"keys under a broken section", "[S]\nk=v\n[T\nt=1\n", "S", "t"},
      {"keys before any section", "lost=1\n[S]\nk=v\n", "S", "lost"},
      {"key without =", "[S]\nk=v\njustakey\n", "S", "justakey"},
      {"empty section name", "[S]\nk=v\n[]\ne=1\n", "S", "e"},
      {"commented key", "[S]\nk=v\n;c=1\n#d=1\n", "S", "c"},
      {"CR and CR LF mixed", "[S]\r\nk=v\rj=w\r\n", "S", "none"},
  };
  for (const auto& c : cases) {
    IniFile file(c.text);
    EXPECT_EQ(file.Get("S", "k"), "v") << c.what;
    EXPECT_EQ(file.Get(c.missingSection, c.missingKey), std::nullopt) << c.what;
  }
  EXPECT_EQ(IniFile("[S]\r\nk=v\rj=w\r\n").Get("S", "j"), "w");
  EXPECT_EQ(IniFile("[S]\nk=v\n[T\nt=1\n").SectionNames(), Strings{"S"});
}

TEST(IniFile, KeepsAByteOrderMark) {
  IniFile file("\xEF\xBB\xBF[S]\nk=v\n");
  EXPECT_EQ(file.Get("S", "k"), "v");
  ASSERT_TRUE(file.Set("S", "k", "w"));
  EXPECT_EQ(file.Text(), "\xEF\xBB\xBF[S]\nk=w\n");
}

// A file written back keeps its line endings and a missing last line break;
// writing a value the file holds already leaves it byte for byte.
TEST(IniFile, WritesKeepTheFilesLineEndingsAndSkipUnchangedValues) {
  for (const std::string& eol : {std::string("\r\n"), std::string("\r"), std::string("\n")}) {
    IniFile file("[S]" + eol + "k=v" + eol + "; note" + eol);
    ASSERT_TRUE(file.Set("S", "j", "w"));
    EXPECT_EQ(file.Text(), "[S]" + eol + "k=v" + eol + "; note" + eol + "j=w" + eol);
  }
  IniFile last("[S]\r\nk=v");
  ASSERT_TRUE(last.Set("S", "k", "w"));
  EXPECT_EQ(last.Text(), "[S]\r\nk=w");

  ScratchDir dir;
  const std::string path = dir.File("tarnis.ini");
  const std::string crlf = "[General]\r\nLineDlgX = 100\r\n";
  WriteBytes(path, crlf);
  const auto before = std::filesystem::last_write_time(path);
  ASSERT_TRUE(WriteIniValue(path, "General", "LineDlgX", "100"));
  EXPECT_EQ(ReadBytes(path), crlf);
  EXPECT_EQ(std::filesystem::last_write_time(path), before);
  ASSERT_TRUE(WriteIniValue(path, "General", "LineDlgX", "120"));
  EXPECT_EQ(ReadBytes(path), "[General]\r\nLineDlgX=120\r\n");
}

// Binary data is not a settings file: it is never rewritten, and a write
// through a symbolic link replaces the link's target, not the link.
TEST(IniFile, BinaryFilesAreNotRewrittenAndLinksAreWrittenThrough) {
  ScratchDir dir;
  const std::string binary = dir.File("binary.ini");
  const std::string bytes("[S]\nk=v\n\0\x01\x02", 11);
  WriteBytes(binary, bytes);
  std::string error;
  EXPECT_FALSE(WriteIniValue(binary, "S", "k", "w", &error));
  EXPECT_NE(error.find("binary data"), std::string::npos) << error;
  EXPECT_EQ(ReadBytes(binary), bytes);

  WriteBytes(dir.File("real.ini"), "[S]\nk=v\n");
  std::filesystem::create_symlink("real.ini", dir.File("link.ini"));
  ASSERT_TRUE(WriteIniValue(dir.File("link.ini"), "S", "k", "w"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.ini")));
  EXPECT_EQ(ReadBytes(dir.File("real.ini")), "[S]\nk=w\n");
}

TEST(IniFile, WritesCreateTheFileAndKeepEveryOtherKey) {
  ScratchDir dir;
  const std::string path = dir.File("tarnis.ini");
  EXPECT_EQ(ReadIniValue(path, "General", "LineDlgX"), std::nullopt);
  ASSERT_TRUE(WriteIniValue(path, "General", "LineDlgX", "120"));
  ASSERT_TRUE(WriteIniValue(path, "General", "LineDlgY", "80"));
  ASSERT_TRUE(WriteIniValue(path, "general", "linedlgx", "121"));
  EXPECT_EQ(ReadBytes(path), "[General]\nlinedlgx=121\nLineDlgY=80\n");
  EXPECT_EQ(ReadIniValue(path, "GENERAL", "LineDlgX"), "121");
  EXPECT_EQ(ReadIniSectionNames(path), Strings{"General"});
  EXPECT_EQ(ReadIniSectionLines(path, "General"), (Strings{"linedlgx=121", "LineDlgY=80"}));
  // Nothing but the file itself is left in the directory.
  int entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path())) ++entries;
  EXPECT_EQ(entries, 1);
}

TEST(IniFile, AFailedWriteLeavesNothingOrTheOldFile) {
  ScratchDir dir;
  std::string error;
  EXPECT_FALSE(WriteIniValue(dir.File("missing/tarnis.ini"), "S", "k", "v", &error));
  EXPECT_NE(error.find("missing/tarnis.ini"), std::string::npos) << error;
  EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));

  // A directory in the file's place is not a settings file: it is neither
  // read nor replaced.
  const std::string target = dir.File("busy.ini");
  std::filesystem::create_directory(target);
  WriteBytes(target + "/inside", "kept");
  EXPECT_FALSE(WriteIniValue(target, "S", "k", "v"));
  EXPECT_EQ(ReadBytes(target + "/inside"), "kept");
}

TEST(IniFile, FilesOverTheSizeCapAreNeitherReadNorReplaced) {
  ScratchDir dir;
  const std::string path = dir.File("huge.ini");
  WriteBytes(path, "[S]\nk=v\n");
  // 100 MB without writing them: the file is sparse.
  ASSERT_EQ(::truncate(path.c_str(), 100'000'000), 0);
  IniFile file;
  std::string error;
  EXPECT_EQ(file.Load(path, &error), IniFile::LoadStatus::kFailed);
  EXPECT_NE(error.find("larger than 4 MiB"), std::string::npos) << error;
  EXPECT_EQ(ReadIniValue(path, "S", "k"), std::nullopt);
  EXPECT_FALSE(WriteIniValue(path, "S", "k", "w"));
  EXPECT_EQ(std::filesystem::file_size(path), 100'000'000u);
  std::ifstream in(path, std::ios::binary);
  std::string head(8, '\0');
  in.read(head.data(), 8);
  EXPECT_EQ(head, "[S]\nk=v\n");
}

TEST(IniFile, PipesAndDirectoriesAreNotReadAndDoNotBlock) {
  ScratchDir dir;
  const std::string fifo = dir.File("pipe.ini");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  IniFile file;
  EXPECT_EQ(file.Load(fifo), IniFile::LoadStatus::kFailed);
  EXPECT_EQ(file.Load(dir.Path().string()), IniFile::LoadStatus::kFailed);
  EXPECT_EQ(file.Load(dir.File("absent.ini")), IniFile::LoadStatus::kMissing);
  EXPECT_FALSE(WriteIniValue(fifo, "S", "k", "v"));
}

}  // namespace
}  // namespace tarnis
