// What one frame's vector file costs, away from the noise of a whole render:
// a stroke stream shaped like that of the 1 M-triangle boxes scene (575 k
// strokes of 1 to 6 connected pieces, 3.3 on average, at 1920 x 1080, in two
// line sets, visible and hidden, a few colours and widths) goes through the
// registered vector sinks as the line engine sends it, then the render's end
// makes the output optimise and write its file. Prints, for each file type,
// the fastest of five runs of each half: collecting (the sink calls) and
// finishing (optimising and writing), with the file's size.
//
//   vector_file_bench [STROKES] [OUT_DIR]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "sdk/notify.h"
#include "sdk/ref_graph.h"
#include "sdk/render.h"
#include "sdk/testing/fake_interface.h"
#include "tarnis/line/output/vector_sinks.h"
#include "tarnis/output/file_out.h"

namespace tarnis {
namespace {

constexpr int kWidth = 1920, kHeight = 1080;
constexpr int kRuns = 5;

class BenchHost : public FakeInterface {
 public:
  std::string GetDir(int which) override {
    return which == APP_RENDER_OUTPUT_DIR ? folder : FakeInterface::GetDir(which);
  }
  void OutputFailed(const char* path, const char* reason) override {
    std::fprintf(stderr, "vector_file_bench: %s: %s\n", path, reason);
    std::exit(1);
  }
  std::string folder;
};

struct StreamStroke {
  int visibility;
  int set;
  float width;
  Color colour;
  std::vector<float> pieces;  // x0 y0 x1 y1 of each piece
};

std::vector<StreamStroke> MakeStream(int strokes) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> x(0.0f, kWidth), y(0.0f, kHeight), step(-9.0f, 9.0f);
  std::discrete_distribution<int> pieces({0, 20, 22, 18, 15, 13, 12});
  const Color colours[] = {Color(0, 0, 0), Color(0.2f, 0.2f, 0.6f), Color(0.5f, 0.5f, 0.5f)};
  std::vector<StreamStroke> stream(static_cast<size_t>(strokes));
  for (int i = 0; i < strokes; ++i) {
    StreamStroke& s = stream[static_cast<size_t>(i)];
    // Hidden pieces outnumber visible ones; each half holds two line sets.
    s.visibility = i < strokes / 6 ? 0 : 1;
    s.set = (i / 997) % 2;
    s.width = s.visibility == 0 ? 2.0f : 1.0f;
    s.colour = colours[(i / 31) % 3];
    const int n = pieces(rng);
    float px = x(rng), py = y(rng);
    for (int k = 0; k < n; ++k) {
      const float qx = px + step(rng), qy = py + step(rng);
      s.pieces.insert(s.pieces.end(), {px, py, qx, qy});
      px = qx, py = qy;
    }
  }
  return stream;
}

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// One frame: the render's notifications around the line effect's calls.
void Frame(const std::vector<StreamStroke>& stream, double& collect, double& finish) {
  static const char* const kNames[] = {"Objects", "Background"};
  // The outputs tell line sets apart by address only.
  static char slots[2];
  LineSet* const sets[] = {reinterpret_cast<LineSet*>(&slots[0]),
                           reinterpret_cast<LineSet*>(&slots[1])};
  RendParams params;
  params.singleFrame = true;
  params.width = kWidth, params.height = kHeight;
  BroadcastNotification(NOTIFY_PRE_RENDER, &params);
  BroadcastNotification(NOTIFY_PRE_RENDERFRAME);
  BroadcastNotification(NOTIFY_POST_RENDERFRAME);
  const auto start = std::chrono::steady_clock::now();
  for (LineVectorSink* sink : VectorSinks()) sink->FrameStart(0, kWidth, kHeight);
  int set = -1, visibility = -1;
  for (const StreamStroke& s : stream) {
    for (LineVectorSink* sink : VectorSinks()) {
      if (s.set != set || s.visibility != visibility) {
        sink->LineSetStart(sets[s.set], kNames[s.set], nullptr, s.visibility);
      }
      sink->StrokeStart(s.visibility, s.width, s.colour, 1.0f, false, 0.0f, 0.0f);
      sink->Segments(s.pieces);
      sink->StrokeEnd();
    }
    set = s.set, visibility = s.visibility;
  }
  for (LineVectorSink* sink : VectorSinks()) sink->PassEnd();
  collect = Since(start);
  const auto end = std::chrono::steady_clock::now();
  BroadcastNotification(NOTIFY_POST_RENDER, &params);
  finish = Since(end);
}

}  // namespace
}  // namespace tarnis

int main(int argc, char** argv) {
  using namespace tarnis;
  const int strokes = argc > 1 ? std::atoi(argv[1]) : 575000;
  const std::string folder = argc > 2 ? argv[2] : "out/vector-file-bench";
  std::filesystem::create_directories(folder);
  BenchHost host;
  host.folder = folder;
  const std::vector<StreamStroke> stream = MakeStream(strokes);
  size_t pieces = 0;
  for (const StreamStroke& s : stream) pieces += s.pieces.size() / 4;
  std::printf("%d strokes, %zu pieces, %d x %d\n", strokes, pieces, kWidth, kHeight);
  std::printf("%-8s %12s %12s %12s %10s\n", "file", "collect s", "finish s", "total s", "MB");
  const char* const kinds[] = {"AI EPS", "EPS", "SVG"};
  const char* const names[] = {"bench_ai.eps", "bench.eps", "bench.svg"};
  for (int type = 0; type < 3; ++type) {
    auto* out = new FileOut;
    ReferenceHolder holder(out);
    out->FileBlock()->SetValue(kFileOutFileType, 0, type);
    out->FileBlock()->SetValue(kFileOutFileName, 0, std::string(names[type]));
    host.effects = {out};
    double bestCollect = 1e9, bestFinish = 1e9;
    for (int run = 0; run < kRuns; ++run) {
      double collect = 0.0, finish = 0.0;
      Frame(stream, collect, finish);
      bestCollect = std::min(bestCollect, collect);
      bestFinish = std::min(bestFinish, finish);
    }
    const double mb =
        static_cast<double>(std::filesystem::file_size(folder + "/" + names[type])) / 1e6;
    std::printf("%-8s %12.3f %12.3f %12.3f %10.1f\n", kinds[type], bestCollect, bestFinish,
                bestCollect + bestFinish, mb);
  }
  return 0;
}
