#include "tarnis/line/draw/stroke_drawer.h"

#include <tbb/parallel_for.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "sdk/angles.h"
#include "sdk/mtl.h"
#include "tarnis/line/brush/brush.h"
#include "tarnis/line/brush/stamp_cache.h"
#include "tarnis/line/draw/line_canvas.h"
#include "tarnis/line/draw/line_noise.h"
#include "tarnis/line/draw/sc_line3d.h"
#include "tarnis/line/draw/step_raster.h"
#include "tarnis/line/draw/stroke_damping.h"
#include "tarnis/line/draw/stroke_random.h"
#include "tarnis/line/frame/line_progress.h"
#include "tarnis/resources/string_ids.h"

namespace tarnis {

namespace {

constexpr int kStampVariants = StampSet::kMaxVariants;
constexpr int kBands = 32;               // canvas bands drawn in parallel
constexpr size_t kFlushSteps = 1 << 16;  // steps gathered before they are drawn
// At a joint an offset lengthens by 1 / cos(half the turn), at most this much.
constexpr float kMiterLimit = 4.0f;
// Turns between steps below this angle need no corner filling.
constexpr float kCornerMinTurn = 8.0f * kPi / 180.0f;

inline float clamp01(float v) {
  return std::clamp(v, 0.0f, 1.0f);
}

Color clampColour(Color c) {
  return Color(clamp01(c.r), clamp01(c.g), clamp01(c.b));
}

Point2 unit(Point2 v, Point2 fallback) {
  const float l = v.Length();
  return l > 1e-12f ? v * (1.0f / l) : fallback;
}

// The offset direction at a joint between pieces of unit normals n0 and
// n1: their mean, lengthened so that offset lines meet (up to the miter
// limit). A hairpin keeps the second normal.
Point2 miter(const Point2& n0, const Point2& n1) {
  const Point2 sum = n0 + n1;
  const float l = sum.Length();
  if (l < 1e-4f) return n1;
  const Point2 m = sum * (1.0f / l);
  return m * (1.0f / std::max(DotProd(m, n1), 1.0f / kMiterLimit));
}

// Draws one job's chains for one repetition.
class ChainPainter {
 public:
  ChainPainter(JobDrawContext& ctx, const LineJob& job, const StrokeDamping& damping)
      : ctx_(ctx),
        frame_(*ctx.frame),
        view_(frame_.view),
        job_(job),
        p_(job.stroke),
        damping_(damping),
        brush_(*job.stroke.brush) {
    raster_.canvas = ctx.canvas;
    raster_.parallel = view_.Parallel();
    raster_.damping = damping_.None() ? nullptr : &damping_;
    raster_.mirror = view_.options.mirror;
    if (ctx.mapContext && (p_.lineMap || p_.sizeMap || p_.noiseMap)) {
      mapInstances_.resize(frame_.instances.size());
      for (size_t i = 0; i < mapInstances_.size(); ++i) {
        if (!frame_.instances[i].Empty()) {
          mapInstances_[i] = LineMapInstance::FromRecord(frame_.instances[i]);
        }
      }
    }
  }

  void Paint(const LineChain& chain, const StrokeRandom& rnd);
  void Flush();

 private:
  // A piece as the stroke lays it: its ends after the joins and the
  // overshoot, the offset direction at each end (the unit normal, mitred at
  // joints), and where it lies on its segment.
  struct LaidPiece {
    Point2 a, b;
    Point2 miterA, miterB;
    uint32_t segment = 0;
    float t0 = 0, t1 = 0;
    float extendA = 0, extendB = 0;  // overshoot at either end
    float length = 0;                // laid length, overshoot included
    float pos = 0;                   // pixels from the stroke's start to a
    int key = 2;
  };
  // A point of the stroke's path.
  struct PathPoint {
    Point2 p;
    float depth = 0;
    float edgeParam = 0;
    uint32_t segment = 0;
    float pos = 0;  // pixels from the stroke's start
  };
  // Steps wait in a list and are rasterised band by band (rows of the
  // canvas) in parallel; each band walks the strokes in drawing order, so
  // the canvas is the same for any number of threads.
  struct RecordedStep {
    StepEnd a, b;
    int key = 2;
    bool skipFirst = false;
    float cornerTurn = 0;       // radians, for corner filling
    float top = 0, bottom = 0;  // canvas rows it may touch
  };
  struct RecordedStroke {
    size_t firstStep = 0, stepCount = 0;
    float opacity = 1.0f;
    Footprint footprint;
    bool stamped = false;
    StampSet stamps;
    bool scattered = false;
    StampScatter scatter;
    float top = 0, bottom = 0;  // canvas rows its steps may touch
  };

  Point3 cameraPoint(const Point2& s, float z) const {
    if (view_.Parallel()) return view_.ParallelPoint(s, z);
    return Point3((s.x - view_.xc) * z / view_.xscale, (s.y - view_.yc) * z / view_.yscale, z);
  }
  void aimMapContext(const PathPoint& at) {
    SCLine3D& sc = *ctx_.mapContext;
    const EdgeSegment& seg = frame_.segments[SegmentIndex(at.segment)];
    if (seg.mapSample >= 0 && static_cast<size_t>(seg.instance) < mapInstances_.size()) {
      sc.SetSegment(&frame_.mappings[static_cast<size_t>(seg.mapSample)],
                    &mapInstances_[static_cast<size_t>(seg.instance)]);
    } else {
      sc.SetSegment(nullptr, nullptr);
    }
    sc.SetStep(at.p, cameraPoint(at.p, at.depth), at.edgeParam);
  }

  bool stampsFor(const StrokeRandom& rnd, RecordedStroke& stroke);
  bool layPieces(const LineChain& chain, float side, bool outline, const StrokeRandom& rnd);
  void layBristle(const StrokeRandom& rnd, float across, float width, float alpha);
  PathPoint pointAt(const LaidPiece& piece, float f, float across, const StrokeRandom& rnd);
  StepEnd end(const PathPoint& at, float width, float alpha);
  void step(const PathPoint& a, const PathPoint& b, int key, float width, float alpha);

  JobDrawContext& ctx_;
  const FrameGeometry& frame_;
  const FrameView& view_;
  const LineJob& job_;
  const StrokeParams& p_;
  const StrokeDamping& damping_;
  Brush& brush_;
  StepRaster raster_;
  std::vector<LineMapInstance> mapInstances_;
  std::map<uint16_t, std::vector<uint8_t>> stampCopies_;  // stamp raster of each variant seed
  std::vector<RecordedStep> steps_;
  std::vector<RecordedStroke> strokes_;
  std::vector<LaidPiece> pieces_;  // the stroke being painted
  std::vector<float> sinkPieces_;  // its pieces as the vector sinks get them
  float strokeSize_ = 1.0f, length_ = 0.0f;
  Color strokeColour_;
  float colorMod_[3] = {0, 0, 0};
  float dashLength_ = 0.0f, dashPeriod_ = 0.0f;
  bool cornerFill_ = false;
  Point2 lastEnd_, lastDir_;
  bool haveLast_ = false;
};

// The stamp rasters of a stroke: its own variant, or every variant for a
// random stroke. False when no raster can be had.
bool ChainPainter::stampsFor(const StrokeRandom& rnd, RecordedStroke& stroke) {
  auto raster = [&](uint16_t seed) -> const uint8_t* {
    auto it = stampCopies_.find(seed);
    if (it == stampCopies_.end()) {
      brush_.SetStrokeSeed(seed);
      const auto r = ctx_.stamps ? ctx_.stamps->Lookup(brush_, kLineStampSize) : std::nullopt;
      if (!r) return nullptr;
      it = stampCopies_.emplace(seed, std::vector<uint8_t>(r->begin(), r->end())).first;
    }
    return it->second.data();
  };
  stroke.stamped = true;
  stroke.stamps.size = kLineStampSize;
  if (p_.strokeType == kStrokeRandom) {
    stroke.stamps.count = kStampVariants;
    for (int k = 0; k < kStampVariants; ++k) {
      stroke.stamps.rasters[static_cast<size_t>(k)] = raster(static_cast<uint16_t>(1 + k));
      if (!stroke.stamps.rasters[static_cast<size_t>(k)]) return false;
    }
    stroke.scattered = true;
    stroke.scatter.noise = ctx_.noise;
    stroke.scatter.spacing = std::max(0.5f, 0.35f * strokeSize_);
    return true;
  }
  const auto seed = static_cast<uint16_t>(
      1 + std::min(kStampVariants - 1, static_cast<int>(rnd.stampVariant * kStampVariants)));
  stroke.stamps.count = 1;
  stroke.stamps.rasters[0] = raster(seed);
  return stroke.stamps.rasters[0] != nullptr;
}

// Lays the chain's pieces end to end: consecutive pieces meet at one joint
// (the middle of their ends), offsets turn there through the mitred mean
// normal, and the first and last pieces reach out by the overshoot.
bool ChainPainter::layPieces(const LineChain& chain, float side, bool outline,
                             const StrokeRandom& rnd) {
  const SegmentPool& segments = frame_.segments;
  pieces_.clear();
  for (const EdgePiece& piece : chain.pieces) {
    const EdgeSegment& seg = segments[SegmentIndex(piece.segment)];
    LaidPiece laid;
    laid.a = seg.At(piece.t0);
    laid.b = seg.At(piece.t1);
    if (!((laid.b - laid.a).Length() > 0.0f)) continue;
    int type = static_cast<int>(SegmentTypeOf(piece.segment));
    if (type == kSegmentIntersection && outline) type = kSegmentObject;
    laid.key = 2 << type;
    laid.segment = piece.segment;
    laid.t0 = piece.t0;
    laid.t1 = piece.t1;
    pieces_.push_back(laid);
  }
  const size_t m = pieces_.size();
  if (m == 0) return false;
  const bool closed = chain.closed && m > 2;
  for (size_t i = 0; i + 1 < m || (closed && i < m); ++i) {
    LaidPiece& next = pieces_[(i + 1) % m];
    const Point2 joint = (pieces_[i].b + next.a) * 0.5f;
    pieces_[i].b = joint;
    next.a = joint;
  }
  std::vector<Point2> dirs(m), normals(m);
  Point2 previous(1.0f, 0.0f);
  for (size_t i = 0; i < m; ++i) {
    dirs[i] = previous = unit(pieces_[i].b - pieces_[i].a, previous);
    normals[i] = Point2(-dirs[i].y, dirs[i].x) * side;
  }
  for (size_t i = 0; i < m; ++i) {
    const bool joinedBefore = i > 0 || closed, joinedAfter = i + 1 < m || closed;
    pieces_[i].miterA = joinedBefore ? miter(normals[(i + m - 1) % m], normals[i]) : normals[i];
    pieces_[i].miterB = joinedAfter ? miter(normals[i], normals[(i + 1) % m]) : normals[i];
  }
  pieces_.front().extendA = rnd.startOvershoot;
  pieces_.front().a = pieces_.front().a - dirs.front() * rnd.startOvershoot;
  pieces_.back().extendB = rnd.endOvershoot;
  pieces_.back().b = pieces_.back().b + dirs.back() * rnd.endOvershoot;
  float pos = 0.0f;
  for (LaidPiece& piece : pieces_) {
    piece.pos = pos;
    piece.length = (piece.b - piece.a).Length();
    pos += piece.length;
  }
  length_ = pos;
  return length_ > 0.0f;
}

ChainPainter::PathPoint ChainPainter::pointAt(const LaidPiece& piece, float f, float across,
                                              const StrokeRandom& rnd) {
  const EdgeSegment& seg = frame_.segments[SegmentIndex(piece.segment)];
  const Point2 miterAt = piece.miterA + (piece.miterB - piece.miterA) * f;
  PathPoint at;
  at.p = piece.a + (piece.b - piece.a) * f + Point2(rnd.offsetX, rnd.offsetY) +
         miterAt * (rnd.normalOffset + across);
  // Edge parameter and depth along the segment (overshoot keeps the end values).
  const float inner = piece.length - piece.extendA - piece.extendB;
  const float along =
      inner > 0.0f ? std::clamp((f * piece.length - piece.extendA) / inner, 0.0f, 1.0f) : f;
  const float t = piece.t0 + (piece.t1 - piece.t0) * along;
  at.edgeParam = t;
  at.depth =
      view_.Parallel() ? seg.z0 + (seg.z1 - seg.z0) * t : 1.0f / ((1.0f - t) / seg.z0 + t / seg.z1);
  at.segment = piece.segment;
  at.pos = piece.pos + f * piece.length;
  if (p_.values.noise.enable && rnd.noiseAmp != 0.0f) {
    float amp = rnd.noiseAmp;
    if (p_.noiseMap && ctx_.mapContext) {
      aimMapContext(at);
      const float m = p_.noiseMap->EvalMono(*ctx_.mapContext);
      amp *= 1.0f - p_.noiseMapOpacity + m * p_.noiseMapOpacity;
    }
    // The phase runs on along the whole stroke, and the displacement follows
    // the joint-blended normal, so wavy strokes stay whole around corners.
    const float phase = (at.pos / rnd.noisePeriod + rnd.noisePhase) * kTwoPi;
    at.p = at.p + unit(miterAt, Point2(0.0f, 1.0f)) * (amp * std::sin(phase));
  }
  return at;
}

StepEnd ChainPainter::end(const PathPoint& at, float width, float alpha) {
  StepEnd e;
  e.p = at.p;
  e.depth = at.depth;
  e.pos = at.pos;
  e.u = length_ > 0.0f ? clamp01(at.pos / length_) : 0.0f;
  e.alpha = alpha;
  float size = strokeSize_ * width;
  e.colour = strokeColour_;
  if (ctx_.mapContext && (p_.sizeMap || p_.lineMap)) {
    aimMapContext(at);
    if (p_.sizeMap) {
      const float m = p_.sizeMap->EvalMono(*ctx_.mapContext);
      size *= clamp01((m - 1.0f) * p_.sizeMapAmount + 1.0f);
    }
    if (p_.lineMap) {
      const AColor mc = p_.lineMap->EvalColor(*ctx_.mapContext);
      Color c = clampColour(p_.colour + (mc.RGB() - p_.colour) * p_.lineMapOpacity);
      const LineDrawOptions& o = view_.options;
      if (o.tintEnable) c = c + (o.tintColor - c) * o.tintAmount;
      ApplyColorModification(c, p_.values.colorRange.type, colorMod_[0], colorMod_[1],
                             colorMod_[2]);
      e.colour = c;
    }
  }
  e.size = size;
  return e;
}

void ChainPainter::step(const PathPoint& a, const PathPoint& b, int key, float width, float alpha) {
  const Point2 dir = unit(b.p - a.p, lastDir_);
  const bool joined = haveLast_ && lastEnd_ == a.p;
  const Point2 before = lastDir_;
  lastEnd_ = b.p;
  lastDir_ = dir;
  if (p_.dashed && dashPeriod_ > 0.0f) {
    const float mid = 0.5f * (a.pos + b.pos);
    if (std::fmod(std::max(0.0f, mid), dashPeriod_) >= dashLength_) {
      haveLast_ = false;
      return;
    }
  }
  RecordedStep rs;
  rs.a = end(a, width, alpha);
  rs.b = end(b, width, alpha);
  rs.key = key;
  rs.skipFirst = joined;
  if (cornerFill_ && joined) {
    const float turn = std::atan2(CrossProd(before, dir), DotProd(before, dir));
    if (std::fabs(turn) >= kCornerMinTurn) rs.cornerTurn = turn;
  }
  // The canvas rows the step may touch, for the bands to skip it quickly;
  // scattered and corner stamps reach beyond the radius.
  const float n = static_cast<float>(ctx_.canvas->N());
  const float maxSize = std::max(rs.a.size, rs.b.size) * damping_.MaxSizeFactor(rs.a.u, rs.b.u);
  const float reach =
      1.5f * HalfWidth(maxSize, ctx_.canvas->EdgeSoftness(), ctx_.canvas->N()) + 2.0f;
  rs.top = std::min(rs.a.p.y, rs.b.p.y) * n - reach;
  rs.bottom = std::max(rs.a.p.y, rs.b.p.y) * n + reach;
  steps_.push_back(rs);
  haveLast_ = true;
}

void ChainPainter::layBristle(const StrokeRandom& rnd, float across, float width, float alpha) {
  haveLast_ = false;
  for (const LaidPiece& piece : pieces_) {
    const int steps = p_.stepped ? static_cast<int>(piece.length) + 1 : 1;
    PathPoint prev = pointAt(piece, 0.0f, across, rnd);
    for (int s = 1; s <= steps; ++s) {
      const PathPoint next =
          pointAt(piece, static_cast<float>(s) / static_cast<float>(steps), across, rnd);
      step(prev, next, piece.key, width, alpha);
      prev = next;
    }
  }
}

void ChainPainter::Paint(const LineChain& chain, const StrokeRandom& rnd) {
  const SegmentPool& segments = frame_.segments;
  const LineDrawOptions& o = view_.options;
  float signedLength = 0.0f;
  bool outline = false;
  for (const EdgePiece& piece : chain.pieces) {
    signedLength += (piece.t1 - piece.t0) * segments[SegmentIndex(piece.segment)].length;
    outline |= SegmentTypeOf(piece.segment) == kSegmentObject;
  }
  const float side = signedLength >= 0.0f ? 1.0f : -1.0f;
  strokeSize_ = p_.size * rnd.sizeFactor;
  strokeColour_ = p_.colour;
  colorMod_[0] = rnd.colorMod[0], colorMod_[1] = rnd.colorMod[1], colorMod_[2] = rnd.colorMod[2];
  ApplyColorModification(strokeColour_, p_.values.colorRange.type, colorMod_[0], colorMod_[1],
                         colorMod_[2]);
  dashLength_ = rnd.dashLength;
  dashPeriod_ = rnd.dashPeriod;
  RecordedStroke stroke;
  stroke.firstStep = steps_.size();
  stroke.opacity = p_.alpha;
  stroke.footprint = Footprint::From(rnd.stretch, rnd.angle, o.mirror);
  if (p_.stamps && !stampsFor(rnd, stroke)) return;
  cornerFill_ = p_.stamps && p_.strokeType != kStrokePlain;
  if (!layPieces(chain, side, outline, rnd)) return;
  static const std::vector<LineVectorSink*> kNoSinks;
  const std::vector<LineVectorSink*>& sinks = ctx_.sinks ? *ctx_.sinks : kNoSinks;
  if (!sinks.empty()) {
    const Point2 shift(rnd.offsetX, rnd.offsetY);
    sinkPieces_.clear();
    for (const LaidPiece& piece : pieces_) {
      const Point2 a = piece.a + shift + piece.miterA * rnd.normalOffset;
      const Point2 b = piece.b + shift + piece.miterB * rnd.normalOffset;
      sinkPieces_.insert(sinkPieces_.end(), {a.x, a.y, b.x, b.y});
    }
    for (LineVectorSink* sink : sinks) {
      sink->StrokeStart(job_.visibility, strokeSize_, strokeColour_, p_.alpha, p_.dashed,
                        rnd.dashLength, rnd.dashPeriod - rnd.dashLength);
      sink->Segments(sinkPieces_);
    }
  }
  if (p_.strokeType == kStrokeRake) {
    // Bristles side by side across the stroke's width, each a little
    // narrower than its share and with its own opacity, so paper shows
    // between them.
    const int count = std::clamp(static_cast<int>(std::lround(strokeSize_ / 3.0f)), 2,
                                 StrokeRandom::kMaxBristles);
    const float share = 1.0f / static_cast<float>(count);
    for (int k = 0; k < count; ++k) {
      const float across = ((static_cast<float>(k) + 0.5f) * share - 0.5f) * strokeSize_;
      const float width = share * (0.5f + 0.12f * rnd.bristleWidth[k]);
      const float alpha = 0.75f + 0.25f * rnd.bristleAlpha[k];
      layBristle(rnd, across, width, alpha);
    }
  } else {
    layBristle(rnd, 0.0f, 1.0f, 1.0f);
  }
  stroke.stepCount = steps_.size() - stroke.firstStep;
  if (stroke.stepCount > 0) {
    stroke.top = steps_[stroke.firstStep].top;
    stroke.bottom = steps_[stroke.firstStep].bottom;
    for (size_t i = stroke.firstStep; i < steps_.size(); ++i) {
      stroke.top = std::min(stroke.top, steps_[i].top);
      stroke.bottom = std::max(stroke.bottom, steps_[i].bottom);
    }
    strokes_.push_back(stroke);
    for (LineVectorSink* sink : sinks) sink->StrokeEnd();
  }
  if (steps_.size() >= kFlushSteps) Flush();
}

void ChainPainter::Flush() {
  LineCanvas& canvas = *ctx_.canvas;
  const int rows = canvas.SuperRows();
  const int bandRows = std::max(1, (rows + kBands - 1) / kBands);
  tbb::parallel_for(0, kBands, [&](int b) {
    LineCanvas::Band band;
    band.rowBegin = b * bandRows;
    band.rowEnd = std::min(rows, band.rowBegin + bandRows);
    if (band.rowBegin >= band.rowEnd) return;
    StepRaster raster = raster_;
    raster.band = &band;
    const auto begin = static_cast<float>(band.rowBegin), end = static_cast<float>(band.rowEnd);
    for (const RecordedStroke& stroke : strokes_) {
      if (stroke.bottom < begin || stroke.top >= end) continue;
      raster.footprint = stroke.footprint;
      raster.stamps = stroke.stamped ? &stroke.stamps : nullptr;
      raster.scatter = stroke.scattered ? &stroke.scatter : nullptr;
      bool touched = false;
      for (size_t i = stroke.firstStep; i < stroke.firstStep + stroke.stepCount; ++i) {
        const RecordedStep& st = steps_[i];
        if (st.bottom < begin || st.top >= end) continue;
        raster.key = st.key;
        if (stroke.stamped) {
          raster.Stamps(st.a, st.b, st.skipFirst, st.cornerTurn);
        } else {
          raster.Flat(st.a, st.b, st.skipFirst);
        }
        touched = true;
      }
      if (touched) canvas.EndStroke(band, stroke.opacity);
    }
  });
  steps_.clear();
  strokes_.clear();
}

}  // namespace

bool DrawTools::Init(const FrameView& view, int width, int height, int overSampling,
                     float antiAliasSize, RenderGlobalContext* gc) {
  if (!canvas.Init(width, height, overSampling, antiAliasSize)) return false;
  mapContext.Prepare(view);
  // Maps along lines are lit by the frame's lights.
  lights.clear();
  if (gc) {
    for (int i = 0; i < gc->NumSceneLights(); ++i) {
      if (LightDesc* light = gc->SceneLight(i)) lights.push_back(light);
    }
  }
  mapContext.SetLights(lights);
  noise.SetOrigin(Point2(static_cast<float>(width) / 2.0f, static_cast<float>(height) / 2.0f));
  sizeUnit = std::max(1.0f, static_cast<float>(std::max(width, height)) / 24.0f);
  return true;
}

JobDrawContext DrawTools::Context(const FrameGeometry& frame, TimeValue t,
                                  CheckAbortCallback* abort) {
  JobDrawContext ctx;
  ctx.frame = &frame;
  ctx.canvas = &canvas;
  ctx.noise = &noise;
  ctx.stamps = &stamps;
  ctx.mapContext = &mapContext;
  ctx.sizeUnit = sizeUnit;
  ctx.time = t;
  ctx.abort = abort;
  return ctx;
}

bool DrawJob(const LineJob& job, JobDrawContext& ctx) {
  const FrameGeometry& frame = *ctx.frame;
  const LineDrawOptions& o = frame.view.options;
  if (ctx.abort) {
    const std::string title = ProgressTitle(kStrDrawingLines, ctx.jobNumber, ctx.jobCount);
    ctx.abort->SetTitle(title.c_str());
  }
  const StrokeParams& params = job.stroke;
  if (job.strokes.empty() || !params.brush) return true;
  const bool preview = ctx.preview;
  StrokeDamping damping;
  damping.Build(params.sizeCurve, params.alphaCurve, params.depth, frame.view, ctx.time);
  const int base = std::max(1, params.values.stroke.multiple);
  const int repetitions = base + std::max(0, params.values.stroke.multipleRnd);
  uint16_t seed = JobNoiseSeed(job.seed, job.category, job.visibility == 0, job.lineSetIndex);
  const int chains = static_cast<int>(job.strokes.size());
  const int total = std::max(1, repetitions * chains - 15);
  int done = 0;
  ChainPainter painter(ctx, job, damping);
  if (ctx.sinks) {
    for (LineVectorSink* sink : *ctx.sinks) {
      sink->LineSetStart(job.lineSet, job.lineSetName, job.lineSetting, job.visibility);
    }
  }
  for (int r = 0; r < repetitions; ++r) {
    if (!preview || r == 0) ctx.canvas->Clear();
    if (!ctx.noise->Seed(seed)) return true;
    seed = NextNoiseSeed(seed);
    for (int k = 0; k < chains; ++k, ++done) {
      if (k % 16 == 0 && ctx.abort) {
        if (ctx.abort->Check()) return false;
        ctx.abort->Progress(done, total);
      }
      const LineChain& chain = job.strokes[static_cast<size_t>(k)];
      if (chain.pieces.empty() || chain.length <= params.minimumLength) continue;
      StrokePlace place;
      place.first = chain.start;
      const EdgePiece& first = chain.pieces.front();
      place.second = frame.segments[SegmentIndex(first.segment)].At(first.t1);
      place.middle = (chain.start + chain.end) * 0.5f;
      place.cell = ctx.sizeUnit;
      place.chainLength = chain.length;
      place.scale = o.sizeScale;
      const StrokeRandom rnd = StrokeRandom::Draw(*ctx.noise, place, params.values);
      if (r >= base && rnd.skipExtra) continue;
      painter.Paint(chain, rnd);
    }
    painter.Flush();
    if ((!preview || r + 1 == repetitions) && ctx.resolve) ctx.resolve(*ctx.canvas, params.blend);
  }
  return true;
}

}  // namespace tarnis
