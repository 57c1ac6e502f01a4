// The bundled demo draws what its line pass finds: every visible piece of
// the program's own edge dump has line pixels under the middle of its
// length, and the edges between faces (the crate's creases) are drawn dark
// along their middles. Line pixels are the pixels that differ from the
// same scene rendered without its line effect; tapering strokes thin out
// towards their ends, so near an end a line pixel may be faint.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "host/image_io.h"
#include "sdk/testing/scratch_dir.h"
#include "tests/tarnis_run.h"

namespace {

struct DumpLine {
  float x1, y1, x2, y2;
  bool crease;
  float Length() const { return std::hypot(x2 - x1, y2 - y1); }
};

// The pieces of the dump's visible jobs.
std::vector<DumpLine> VisiblePieces(const std::string& svg) {
  std::vector<DumpLine> out;
  std::istringstream in(svg);
  std::string line;
  bool visible = false, crease = false;
  while (std::getline(in, line)) {
    if (line.rfind("<g id=\"job", 0) == 0) {
      visible = line.find("data-visibility=\"visible\"") != std::string::npos;
      continue;
    }
    if (line.rfind("<g class=", 0) == 0) {
      // Creases, smoothing and material borders: edges between two faces.
      crease = line.find("class=\"normal\"") != std::string::npos ||
               line.find("class=\"smooth\"") != std::string::npos ||
               line.find("class=\"material\"") != std::string::npos;
      continue;
    }
    DumpLine d{};
    d.crease = crease;
    if (visible && std::sscanf(line.c_str(), "<line x1=\"%f\" y1=\"%f\" x2=\"%f\" y2=\"%f\"", &d.x1,
                               &d.y1, &d.x2, &d.y2) == 4) {
      out.push_back(d);
    }
  }
  return out;
}

float Luminance(const host::FloatImage& image, int x, int y) {
  const auto& p = image.At(x, y);
  return 0.3f * p.r + 0.59f * p.g + 0.11f * p.b;
}

TEST(DemoLines, EveryVisiblePieceOfTheEdgeDumpIsDrawn) {
  ScratchDir dir;
  const std::string demo = ReadBytes(std::string(TARNIS_SOURCE_DIR) + "/examples/demo/demo.json");
  nlohmann::json bare = nlohmann::json::parse(demo);
  bare.erase("effects");
  WriteBytes(dir.File("demo.json"), demo);
  WriteBytes(dir.File("bare.json"), bare.dump(2));
  const std::vector<std::string> size = {"--size", "480x270", "--threads", "2"};
  std::vector<std::string> args = {"render",   "demo.json",    "-o",
                                   "demo.png", "--dump-edges", "edges.svg"};
  args.insert(args.end(), size.begin(), size.end());
  RunResult run = RunTarnis(args, dir.Path().string());
  ASSERT_EQ(run.status, 0) << run.output;
  args = {"render", "bare.json", "-o", "bare.png"};
  args.insert(args.end(), size.begin(), size.end());
  run = RunTarnis(args, dir.Path().string());
  ASSERT_EQ(run.status, 0) << run.output;
  host::FloatImage lines, plain;
  std::string error;
  ASSERT_TRUE(host::ReadImage(dir.File("demo.png"), lines, &error)) << error;
  ASSERT_TRUE(host::ReadImage(dir.File("bare.png"), plain, &error)) << error;
  ASSERT_EQ(lines.width, plain.width);
  const std::vector<DumpLine> pieces = VisiblePieces(ReadBytes(dir.File("edges.svg")));
  int checked = 0, creases = 0;
  std::vector<std::string> missing;
  for (const DumpLine& d : pieces) {
    if (d.Length() <= 8.0f) continue;
    const int mx = static_cast<int>(std::floor((d.x1 + d.x2) / 2));
    const int my = static_cast<int>(std::floor((d.y1 + d.y2) / 2));
    if (mx < 2 || my < 2 || mx >= lines.width - 2 || my >= lines.height - 2) continue;
    ++checked;
    // The largest change the lines made around the middle; half a step of
    // an 8-bit channel is a change.
    float change = 0;
    for (int dy = -2; dy <= 2; ++dy) {
      for (int dx = -2; dx <= 2; ++dx) {
        change = std::max(change, std::fabs(Luminance(lines, mx + dx, my + dy) -
                                            Luminance(plain, mx + dx, my + dy)));
      }
    }
    const bool drawn = change > 0.5f / 255.0f;
    if (d.crease && d.Length() > 12.0f) {
      ++creases;
      EXPECT_GT(change, 0.15f) << "an edge between faces drawn faintly or not at all at (" << mx
                               << ", " << my << ")";
    }
    if (!drawn) {
      missing.push_back("(" + std::to_string(d.x1) + ", " + std::to_string(d.y1) + ") - (" +
                        std::to_string(d.x2) + ", " + std::to_string(d.y2) + ")");
    }
  }
  EXPECT_GT(checked, 20) << "the demo's dump should hold many visible pieces";
  EXPECT_GE(creases, 3) << "the crate shows three edges between its faces";
  std::string list;
  for (size_t i = 0; i < missing.size() && i < 10; ++i) list += missing[i] + "\n";
  EXPECT_TRUE(missing.empty()) << missing.size() << " of " << checked
                               << " visible pieces have no line pixels at their middle:\n"
                               << list;
}

}  // namespace
