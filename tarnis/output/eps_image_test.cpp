#include "tarnis/output/eps_image.h"

#include <gtest/gtest.h>
#include <locale.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sdk/testing/scratch_dir.h"
#include "tarnis/output/ai_eps_image.h"
#include "tarnis/output/vector_file_checks.h"

namespace tarnis {
namespace {

using testing::ExpectGhostscriptReads;

// A 40 x 30 page set up as the file output sets it up, with two strokes:
// a red-violet corner whose pieces meet within the tolerance, and a dashed
// line of the same width and colour.
void DrawTwoStrokes(VectorImage& image, const std::string& layer = "") {
  image.SetTolerance(0.01f);
  image.SetBoundingBox(0, 0, 40, 30);
  image.Translate(0, 30);
  image.Scale(1, -1);
  if (!image.SupportsLayers()) image.ClipRect(0, 0, 40, 30);
  image.SetLineJoin(1);
  image.SetLineCap(1);
  if (image.SupportsLayers()) {
    image.BeginLayer(layer);
    image.ClipRect(0, 0, 40, 30);
  }
  image.Comment("");
  image.SetLineWidth(2);
  image.SetColor(1, 0, 0.5f);
  image.ClearDash();
  image.NewPath();
  image.AddLine(5, 5, 20, 5);
  image.AddLine(20.005f, 5, 20, 25);
  image.StrokePath();
  image.SetLineWidth(2);
  image.SetColor(1, 0, 0.5f);
  const float dash[] = {4, 2};
  image.SetDash(dash, 0);
  image.NewPath();
  image.AddLine(30, 5, 35, 25);
  image.StrokePath();
}

constexpr const char* kEpsProlog =
    "/m {moveto} def\n/l {lineto} def\n/h {closepath} def\n/W {clip} def\n/n {newpath} def\n"
    "/d {setdash} def\n/w {setlinewidth} def\n/j {setlinejoin} def\n/J {setlinecap} def\n"
    "/S {stroke} def\n/_t {translate} def\n/_s {scale} def\n/_c {setrgbcolor} def\n";

constexpr const char* kAiProlog =
    "/m {moveto} def\n/l {lineto} def\n/B {} def\n/Lb {} def\n/LB {} def\n/Ln {} def\n"
    "/q {} def\n/h {closepath} def\n/W {clip} def\n/n {newpath} def\n"
    "/XA {setrgbcolor 4 {pop} repeat} def\n/d {setdash} def\n/w {setlinewidth} def\n"
    "/j {setlinejoin} def\n/J {setlinecap} def\n/*u {} def\n/S {stroke} def\n/*U {} def\n"
    "/Q {} def\n%%EndProlog\n";

const std::string kExpectedEps = std::string(
                                     "%!PS-Adobe-3.0 EPSF-3.0\n"
                                     "%%BoundingBox: 0 0 40 30\n") +
                                 kEpsProlog +
                                 "0 30 _t\n"
                                 "1 -1 _s\n"
                                 "n\n0 0 m\n40 0 l\n40 30 l\n0 30 l\nh\nW\n"
                                 "1 j\n"
                                 "1 J\n"
                                 "%\n"
                                 "2 w\n"
                                 "1 0 0.5 _c\n"
                                 "n\n"
                                 "5 5 m\n20 5 l\n"
                                 "20 25 l\n"
                                 "S\n"
                                 "[4 2 ] 0 d\n"
                                 "n\n"
                                 "30 5 m\n35 25 l\n"
                                 "S\n"
                                 "%%EOF\n";

std::string WriteAndRead(VectorImage& image, const std::string& path) {
  std::string problem;
  EXPECT_TRUE(image.Write(path, &problem)) << problem;
  return ReadBytes(path);
}

TEST(EPSImage, WritesHeaderPrologCommandsAndTrailerLineForLine) {
  ScratchDir dir;
  EPSImage image;
  DrawTwoStrokes(image);
  image.Optimize();
  const std::string path = dir.File("two.eps");
  EXPECT_EQ(WriteAndRead(image, path), kExpectedEps);
  ExpectGhostscriptReads(path);
}

TEST(EPSImage, WritesEveryOtherCommandInItsOwnForm) {
  ScratchDir dir;
  EPSImage image;
  image.SetBoundingBox(-1.5f, 0, 1e7f, 0.000012f);
  image.GSave();
  image.MoveTo(1, 2);
  image.LineTo(3, 4);
  image.ClosePath();
  image.GRestore();
  image.SetOpacity(0.5f);  // PostScript has no opacity
  image.SetLineWidth(0.1f);
  image.Comment("note\nshowpage");
  const std::string text = WriteAndRead(image, dir.File("other.eps"));
  EXPECT_EQ(text, "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: -1.5 0 1E+07 1.2E-05\n" +
                      std::string(kEpsProlog) +
                      "gsave\n1 2 m\n3 4 l\nh\ngrestore\n0.1 w\n%note showpage\n%%EOF\n");
}

TEST(AIEPSImage, WritesLayersGroupsAndTheTransformedPointsLineForLine) {
  ScratchDir dir;
  AIEPSImage image;
  DrawTwoStrokes(image, "Objects");
  image.BeginLayer("Objects(hidden)");
  image.ClipRect(0, 0, 40, 30);
  image.Comment("");
  image.SetColor(0, 0, 0.8f);
  image.NewPath();
  image.AddLine(10, 10, 10, 20);
  image.StrokePath();
  image.Optimize();
  const std::string path = dir.File("two_ai.eps");
  const std::string clip = "q\n0 0 m\n40 0 l\n40 30 l\n0 30 l\n0 0 l\nh\nW\nn\n";
  const std::string expected = std::string(
                                   "%!PS-Adobe-3.0 EPSF-3.0\n"
                                   "%%Creator: Adobe Illustrator(R) 8.0\n"
                                   "%%AI8_CreatorVersion: 13.0.2\n"
                                   "%%BoundingBox: 0 0 40 30\n"
                                   "%%HiResBoundingBox: 0 0 40 30\n"
                                   "%AI3_TemplateBox: 20.5 14.5 20.5 14.5\n"
                                   "%AI5_ArtSize: 40 30\n") +
                               kAiProlog +
                               "1 j\n"
                               "1 J\n"
                               "%AI5_BeginLayer\n"
                               "1 1 1 1 0 0 1 1 79 128 255 0 50 Lb\n"
                               "(Objects) Ln\n" +
                               clip +
                               "%\n"
                               "2 w\n"
                               "0 0 0 0 1 0 0.5 XA\n"
                               "*u\n"
                               "5 25 m\n20 25 l\n"
                               "20 5 l\n"
                               "S\n"
                               "*U\n"
                               "[4 2 ] 0 d\n"
                               "*u\n"
                               "30 25 m\n35 5 l\n"
                               "S\n"
                               "*U\n"
                               "Q\nLB\n%AI5_EndLayer--\n"
                               "%AI5_BeginLayer\n"
                               "1 1 1 1 0 0 1 0 79 128 255 0 50 Lb\n"
                               "(Objects(hidden)) Ln\n" +
                               clip +
                               "%\n"
                               "0 0 0 0 0 0 0.8 XA\n"
                               "*u\n"
                               "10 20 m\n10 10 l\n"
                               "S\n"
                               "*U\n"
                               "Q\nLB\n%AI5_EndLayer--\n"
                               "%%PageTrailer\n"
                               "showpage\n"
                               "%%Trailer\n"
                               "%%EOF\n";
  EXPECT_EQ(WriteAndRead(image, path), expected);
  ExpectGhostscriptReads(path);
}

TEST(AIEPSImage, AFileWithoutLayersHasNoLayerEnd) {
  ScratchDir dir;
  AIEPSImage image;
  image.SetBoundingBox(0, 0, 10, 10);
  image.MoveTo(1, 1);
  image.MoveTo(2, 2);  // paints the open path first
  image.LineTo(3, 3);
  image.NewPath();
  image.AddLine(4, 4, 5, 5);
  image.SetOpacity(0.25f);
  image.GSave();
  image.StrokePath();
  const std::string text = WriteAndRead(image, dir.File("plain_ai.eps"));
  const std::string body = text.substr(text.find("%%EndProlog\n") + 12);
  EXPECT_EQ(body,
            "1 1 m\nS\n2 2 m\n3 3 l\n4 4 m\n5 5 l\nS\n"
            "%%PageTrailer\nshowpage\n%%Trailer\n%%EOF\n");
  ExpectGhostscriptReads(dir.File("plain_ai.eps"));
}

TEST(AIEPSImage, LayerNamesCannotBreakThePostScriptString) {
  struct NameCase {
    const char* name;
    const char* written;
  };
  const NameCase cases[] = {
      {"Objects(hidden)", "Objects(hidden)"},
      {"a (b) c", "a (b) c"},
      {"セット1", "セット1"},
      {"half) open", "half\\) open"},
      {"open (half", "open \\(half"},
      {") showpage (", "\\) showpage \\("},
      {"back\\slash", "back\\\\slash"},
      {"two\nlines\r", "two\\nlines\\r"},
      {"(a))(", "(a)\\)\\("},
  };
  ScratchDir dir;
  AIEPSImage image;
  image.SetBoundingBox(0, 0, 20, 20);
  for (const NameCase& c : cases) {
    EXPECT_EQ(PostScriptStringText(c.name), c.written) << c.name;
    image.BeginLayer(c.name);
    image.NewPath();
    image.AddLine(1, 1, 19, 19);
    image.StrokePath();
  }
  image.Optimize();
  const std::string path = dir.File("names_ai.eps");
  const std::string text = WriteAndRead(image, path);
  EXPECT_NE(text.find("(\\) showpage \\() Ln\n"), std::string::npos);
  // Every line is a whole line: no name breaks one.
  EXPECT_EQ(text.find("\nlines"), std::string::npos);
  ExpectGhostscriptReads(path);
}

// Switches LC_NUMERIC to a locale whose decimal point is a comma for its
// lifetime; Active() is false when none can be had. When no such locale is
// installed, one is compiled into `dir` if the locale tools are there.
class CommaLocale {
 public:
  explicit CommaLocale(const ScratchDir& dir) {
    const char* current = setlocale(LC_NUMERIC, nullptr);
    previous_ = current ? current : "C";
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "nl_NL.UTF-8"}) {
      if (use(name)) return;
    }
    const std::string folder = dir.File("locales");
    const std::string command =
        "localedef -i de_DE -f UTF-8 '" + folder + "/de_DE.UTF-8' >/dev/null 2>&1";
    std::filesystem::create_directories(folder);
    if (std::system(command.c_str()) != 0) return;
    const char* oldPath = getenv("LOCPATH");
    if (oldPath) oldLocPath_ = oldPath;
    hadLocPath_ = oldPath != nullptr;
    setenv("LOCPATH", folder.c_str(), 1);
    changedLocPath_ = true;
    use("de_DE.UTF-8");
  }
  ~CommaLocale() {
    setlocale(LC_NUMERIC, previous_.c_str());
    if (!changedLocPath_) return;
    if (hadLocPath_) {
      setenv("LOCPATH", oldLocPath_.c_str(), 1);
    } else {
      unsetenv("LOCPATH");
    }
  }
  bool Active() const { return active_; }

 private:
  bool use(const char* name) {
    if (!setlocale(LC_NUMERIC, name)) return false;
    char text[16];
    std::snprintf(text, sizeof text, "%G", 0.5);
    active_ = std::string(text) == "0,5";
    if (!active_) setlocale(LC_NUMERIC, previous_.c_str());
    return active_;
  }

  std::string previous_;
  std::string oldLocPath_;
  bool hadLocPath_ = false;
  bool changedLocPath_ = false;
  bool active_ = false;
};

TEST(EPSImage, NumbersDoNotFollowTheProcessNumericLocale) {
  ScratchDir dir;
  CommaLocale comma(dir);
  if (!comma.Active()) GTEST_SKIP() << "no locale with a decimal comma is available";
  EPSImage eps;
  DrawTwoStrokes(eps);
  eps.Optimize();
  EXPECT_EQ(WriteAndRead(eps, dir.File("comma.eps")), kExpectedEps);
  AIEPSImage ai;
  DrawTwoStrokes(ai, "Objects");
  ai.Optimize();
  const std::string text = WriteAndRead(ai, dir.File("comma_ai.eps"));
  EXPECT_NE(text.find("%AI3_TemplateBox: 20.5 14.5 20.5 14.5\n"), std::string::npos);
  EXPECT_NE(text.find("0 0 0 0 1 0 0.5 XA\n"), std::string::npos);
  EXPECT_EQ(text.find(','), std::string::npos);
}

TEST(EPSImage, GhostscriptDrawsTheLineWhereTheImageHasIt) {
  if (!testing::HaveGhostscript()) GTEST_SKIP() << "Ghostscript (gs) is not installed";
  ScratchDir dir;
  for (bool illustrator : {false, true}) {
    SCOPED_TRACE(illustrator ? "Illustrator EPS" : "EPS");
    std::unique_ptr<VectorImage> image;
    if (illustrator) {
      image = std::make_unique<AIEPSImage>();
    } else {
      image = std::make_unique<EPSImage>();
    }
    // A 64 x 48 image with a 3-pixel black line along row 12 (from the top),
    // from x = 10 to x = 50, in image pixels with y downward.
    image->SetTolerance(0.01f);
    image->SetBoundingBox(0, 0, 64, 48);
    image->Translate(0, 48);
    image->Scale(1, -1);
    image->ClipRect(0, 0, 64, 48);
    image->SetLineCap(0);
    image->SetLineWidth(3);
    image->NewPath();
    image->AddLine(10, 12, 50, 12);
    image->StrokePath();
    image->Optimize();
    const std::string path = dir.File(illustrator ? "line_ai.eps" : "line.eps");
    std::string problem;
    ASSERT_TRUE(image->Write(path, &problem)) << problem;
    std::string log;
    const std::optional<testing::GreyImage> raster = testing::RasteriseGrey(path, &log);
    ASSERT_TRUE(raster) << log;
    ASSERT_EQ(raster->width, 64);
    ASSERT_EQ(raster->height, 48);
    for (int y = 0; y < 48; ++y) {
      for (int x = 0; x < 64; ++x) {
        const bool onLine = x >= 11 && x <= 48 && y >= 11 && y <= 12;
        const bool clear = x < 9 || x > 51 || y < 9 || y > 14;
        if (onLine) {
          EXPECT_LT(raster->At(x, y), 64) << x << ", " << y;
        }
        if (clear) {
          EXPECT_GT(raster->At(x, y), 192) << x << ", " << y;
        }
      }
    }
  }
}

}  // namespace
}  // namespace tarnis
