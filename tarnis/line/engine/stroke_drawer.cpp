#include "tarnis/line/engine/stroke_drawer.h"

#include <tbb/parallel_for.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "sdk/curve_control.h"
#include "sdk/mtl.h"
#include "tarnis/line/brush/brush.h"
#include "tarnis/line/brush/stamp_cache.h"
#include "tarnis/line/effect/line_set.h"
#include "tarnis/line/effect/line_set_frame.h"
#include "tarnis/line/effect/line_setting.h"
#include "tarnis/line/engine/line_canvas.h"
#include "tarnis/line/engine/line_engine.h"
#include "tarnis/line/engine/line_noise.h"
#include "tarnis/line/engine/line_progress.h"
#include "tarnis/line/engine/pass_buffer.h"
#include "tarnis/line/engine/sc_line3d.h"
#include "tarnis/line/engine/step_raster.h"
#include "tarnis/line/engine/stroke_random.h"
#include "tarnis/line/engine/vector_sink.h"

namespace tarnis {

namespace {

constexpr int kStampVariants = 8;
constexpr int kBands = 32;               // canvas bands drawn in parallel
constexpr size_t kFlushSteps = 1 << 16;  // steps gathered before they are drawn

inline float clamp01(float v) {
  return std::clamp(v, 0.0f, 1.0f);
}

Color clampColour(Color c) {
  return Color(clamp01(c.r), clamp01(c.g), clamp01(c.b));
}

float curveAt(const CurveControl* curve, TimeValue t, float x) {
  if (!curve) return 1.0f;
  const ICurve* c = curve->GetControlCurve(0);
  return c ? c->GetValue(t, clamp01(x)) : 1.0f;
}

// What a job draws with, read once at the frame time.
struct JobParams {
  float size = 1.0f;
  Color colour;
  float alpha = 1.0f;
  int blend = 0;
  Texmap* lineMap = nullptr;
  float lineMapOpacity = 0.0f;
  Texmap* sizeMap = nullptr;
  float sizeMapAmount = 0.0f;
  LineDepth depth;
  BrushValues brush;
  const CurveControl* sizeCurve = nullptr;  // along the stroke, when on
  const CurveControl* alphaCurve = nullptr;
  float minimumLength = 1e-4f;
  bool stamps = false;
  bool stepped = false;  // pieces are drawn in steps of about a pixel
  bool dashed = false;
};

JobParams readParams(const LineJob& job, Brush& brush, TimeValue t, const LineDrawOptions& o,
                     const JobDrawContext& ctx) {
  JobParams p;
  LineFrameValues v;
  if (ctx.previewBrush) {
    // A preview draws the brush alone: black, opaque, at the preview's width.
    v.size = ctx.previewSize;
    v.color = Color(0, 0, 0);
  } else {
    v = job.lineSetting->PrepareFrame(t);
  }
  Interval valid = FOREVER;
  brush.Update(t, valid);
  p.brush = brush.Values();
  if (o.colorModEnable) {
    p.brush.colorRange.type = o.colorModMode;
    p.brush.colorRange.r = o.colorModValues.x;
    p.brush.colorRange.g = o.colorModValues.y;
    p.brush.colorRange.b = o.colorModValues.z;
  }
  p.size = v.size * o.sizeScale;
  p.colour = v.color;
  if (o.tintEnable) p.colour = p.colour + (o.tintColor - p.colour) * o.tintAmount;
  p.alpha = o.alphaOverride ? o.alpha : v.alpha;
  p.blend = o.alphaOverride ? o.blend : v.blend;
  if (v.lineMap && v.mapOpacity != 0.0f) {
    p.lineMap = v.lineMap;
    p.lineMapOpacity = v.mapOpacity;
  }
  p.sizeMap = v.sizeMap;
  p.sizeMapAmount = v.sizeMapAmount;
  if (job.lineSet && !ctx.previewBrush)
    p.depth = PrepareLineDepth(*job.lineSet, job.visibility + 1, t);
  if (p.brush.dampSizeEnable) p.sizeCurve = brush.SizeCurve();
  if (p.brush.dampAlphaEnable) p.alphaCurve = brush.AlphaCurve();
  p.minimumLength = std::max(1e-4f, p.brush.stroke.minimumLength) * o.sizeScale;
  p.stamps = p.brush.tip.type != kTipFlat;
  p.dashed = p.brush.stroke.strokeType2 == 1;
  // Maps and distortion change along a piece, so such pieces are drawn in
  // steps of about a pixel; a line map too, or its colour would only be
  // read at the ends of each edge.
  p.stepped = (p.brush.noise.enable && p.brush.noise.amp != 0.0f) || p.sizeMap || p.lineMap ||
              p.brush.stroke.strokeType != 0 || p.dashed;
  return p;
}

// Draws one job's chains for one repetition.
class ChainPainter {
 public:
  ChainPainter(JobDrawContext& ctx, const LineJob& job, const JobParams& params, Brush& brush)
      : ctx_(ctx),
        engine_(*ctx.engine),
        view_(engine_.View()),
        job_(job),
        p_(params),
        brush_(brush) {
    raster_.canvas = ctx.canvas;
    raster_.parallel = view_.Parallel();
    if (ctx.mapContext && (p_.lineMap || p_.sizeMap)) {
      mapInstances_.resize(engine_.Instances().size());
      for (size_t i = 0; i < mapInstances_.size(); ++i) {
        if (!engine_.Instances()[i].Empty()) {
          mapInstances_[i] = LineMapInstance::FromRecord(engine_.Instances()[i]);
        }
      }
    }
  }

  void Paint(const LineChain& chain, const StrokeRandom& rnd);

 private:
  struct Point {
    Point2 p;
    float depth = 0;
    float edgeParam = 0;
    uint32_t segment = 0;
    float position = 0;  // pixels from the stroke's start
  };

  Point3 cameraPoint(const Point2& s, float z) const {
    if (view_.Parallel()) return view_.ParallelPoint(s, z);
    return Point3((s.x - view_.xc) * z / view_.xscale, (s.y - view_.yc) * z / view_.yscale, z);
  }
  float distanceFactor(const LineDepth::Change& c, const Point2& s, float z) const {
    if (!c.on) return 1.0f;
    float d = -z;
    if (c.fromNode) d = Length(cameraPoint(s, z) * view_.camToWorld - c.nodePosition);
    return curveAt(c.curve, ctx_.time, (d - c.min) * c.invRange);
  }
  void aimMapContext(const Point& at) {
    SCLine3D& sc = *ctx_.mapContext;
    const EdgeSegment& seg = engine_.Segments()[SegmentIndex(at.segment)];
    if (seg.mapSample >= 0 && static_cast<size_t>(seg.instance) < mapInstances_.size()) {
      sc.SetSegment(&engine_.Mappings()[static_cast<size_t>(seg.mapSample)],
                    &mapInstances_[static_cast<size_t>(seg.instance)]);
    } else {
      sc.SetSegment(nullptr, nullptr);
    }
    sc.SetStep(at.p, cameraPoint(at.p, at.depth), at.edgeParam);
  }
  StepEnd end(const Point& at) {
    StepEnd e;
    e.p = at.p;
    e.depth = at.depth;
    const float u = length_ > 0.0f ? at.position / length_ : 0.0f;
    float size = strokeSize_ * distanceFactor(p_.depth.size, at.p, at.depth);
    float alpha = distanceFactor(p_.depth.alpha, at.p, at.depth);
    if (p_.sizeCurve) size *= curveAt(p_.sizeCurve, ctx_.time, u);
    if (p_.alphaCurve) alpha *= curveAt(p_.alphaCurve, ctx_.time, u);
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
        ApplyColorModification(c, p_.brush.colorRange.type, colorMod_[0], colorMod_[1],
                               colorMod_[2]);
        e.colour = c;
      }
    }
    e.radius = HalfWidth(size, ctx_.canvas->EdgeSoftness(), ctx_.canvas->N());
    e.alpha = alpha;
    return e;
  }
  void step(const Point& a, const Point& b, int key) {
    if (p_.dashed && dashPeriod_ > 0.0f) {
      const float mid = 0.5f * (a.position + b.position);
      if (std::fmod(std::max(0.0f, mid), dashPeriod_) >= dashLength_) {
        lastEnd_ = b.p;
        haveLast_ = false;
        return;
      }
    }
    RecordedStep rs;
    rs.a = end(a);
    rs.b = end(b);
    rs.key = key;
    rs.skipFirst = haveLast_ && lastEnd_ == a.p;
    // The canvas rows the step may touch, for the bands to skip it quickly.
    const float n = static_cast<float>(ctx_.canvas->N());
    const float reach = std::max(rs.a.radius, rs.b.radius) + 2.0f;
    rs.top = std::min(rs.a.p.y, rs.b.p.y) * n - reach;
    rs.bottom = std::max(rs.a.p.y, rs.b.p.y) * n + reach;
    steps_.push_back(rs);
    lastEnd_ = b.p;
    haveLast_ = true;
  }

  // Steps wait in a list and are rasterised band by band (rows of the
  // canvas) in parallel; each band walks the strokes in drawing order, so
  // the canvas is the same for any number of threads.
  struct RecordedStep {
    StepEnd a, b;
    int key = 2;
    bool skipFirst = false;
    float top = 0, bottom = 0;  // canvas rows it may touch
  };
  struct RecordedStroke {
    size_t firstStep = 0, stepCount = 0;
    float opacity = 1.0f;
    Footprint footprint;
    const std::vector<uint8_t>* stamp = nullptr;
    float top = 0, bottom = 0;  // canvas rows its steps may touch
  };

 public:
  void Flush();

 private:
  JobDrawContext& ctx_;
  const LineEngine& engine_;
  const FrameView& view_;
  const LineJob& job_;
  const JobParams& p_;
  Brush& brush_;
  StepRaster raster_;
  std::vector<LineMapInstance> mapInstances_;
  const std::vector<uint8_t>* stamp_ = nullptr;
  std::map<uint16_t, std::vector<uint8_t>> stampCopies_;  // stamp raster of each variant seed
  std::vector<RecordedStep> steps_;
  std::vector<RecordedStroke> strokes_;
  float strokeSize_ = 1.0f, length_ = 0.0f;
  Color strokeColour_;
  float colorMod_[3] = {0, 0, 0};
  float dashLength_ = 0.0f, dashPeriod_ = 0.0f;
  Point2 lastEnd_;
  bool haveLast_ = false;
};

void ChainPainter::Paint(const LineChain& chain, const StrokeRandom& rnd) {
  const SegmentPool& segments = engine_.Segments();
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
  ApplyColorModification(strokeColour_, p_.brush.colorRange.type, colorMod_[0], colorMod_[1],
                         colorMod_[2]);
  raster_.footprint = Footprint::From(rnd.stretch, rnd.angle, o.mirror);
  dashLength_ = rnd.dashLength;
  dashPeriod_ = rnd.dashPeriod;
  length_ = chain.length + rnd.startOvershoot + rnd.endOvershoot;
  haveLast_ = false;
  stamp_ = nullptr;
  if (p_.stamps) {
    const auto seed = static_cast<uint16_t>(
        1 + std::min(kStampVariants - 1, static_cast<int>(rnd.stampVariant * kStampVariants)));
    auto it = stampCopies_.find(seed);
    if (it == stampCopies_.end()) {
      brush_.SetStrokeSeed(seed);
      const auto raster = ctx_.stamps ? ctx_.stamps->Lookup(brush_, kLineStampSize) : std::nullopt;
      if (!raster) return;
      it = stampCopies_.emplace(seed, std::vector<uint8_t>(raster->begin(), raster->end())).first;
    }
    stamp_ = &it->second;
  }
  const bool noise = p_.brush.noise.enable && rnd.noiseAmp != 0.0f;
  static const std::vector<LineVectorSink*> kNoSinks;  // previews feed no vector output
  const std::vector<LineVectorSink*>& sinks = ctx_.previewBrush ? kNoSinks : VectorSinks();
  for (LineVectorSink* sink : sinks) {
    sink->StrokeStart(job_.visibility, strokeSize_, strokeColour_, p_.dashed, rnd.dashLength,
                      rnd.dashPeriod - rnd.dashLength);
  }
  RecordedStroke stroke;
  stroke.firstStep = steps_.size();
  stroke.opacity = p_.alpha;
  stroke.footprint = raster_.footprint;
  stroke.stamp = stamp_;
  float position = -rnd.startOvershoot;
  const size_t count = chain.pieces.size();
  for (size_t i = 0; i < count; ++i) {
    const EdgePiece& piece = chain.pieces[i];
    const EdgeSegment& seg = segments[SegmentIndex(piece.segment)];
    int type = static_cast<int>(SegmentTypeOf(piece.segment));
    if (type == kSegmentIntersection && outline) type = kSegmentObject;
    const int key = 2 << type;
    Point2 a = seg.At(piece.t0), b = seg.At(piece.t1);
    const float pieceLength = (b - a).Length();
    if (!(pieceLength > 0.0f)) continue;
    const Point2 dir = (b - a) * (1.0f / pieceLength);
    const Point2 normal = Point2(-dir.y, dir.x) * side;
    const Point2 offset = Point2(rnd.offsetX, rnd.offsetY) + normal * rnd.normalOffset;
    float t0 = piece.t0, t1 = piece.t1;
    a = a + offset;
    b = b + offset;
    // Overshoot extends the stroke's first and last pieces along their direction.
    float extendA = i == 0 ? rnd.startOvershoot : 0.0f;
    float extendB = i + 1 == count ? rnd.endOvershoot : 0.0f;
    a = a - dir * extendA;
    b = b + dir * extendB;
    const float total = pieceLength + extendA + extendB;
    for (LineVectorSink* sink : sinks) sink->Segment(a.x, a.y, b.x, b.y);
    const int steps = p_.stepped ? static_cast<int>(total) + 1 : 1;
    auto pointAt = [&](float f) {
      Point at;
      at.p = a + (b - a) * f;
      // Edge parameter and depth along the segment (overshoot keeps the end values).
      const float along = std::clamp((f * total - extendA) / pieceLength, 0.0f, 1.0f);
      const float t = t0 + (t1 - t0) * along;
      at.edgeParam = t;
      at.depth = view_.Parallel() ? seg.z0 + (seg.z1 - seg.z0) * t
                                  : 1.0f / ((1.0f - t) / seg.z0 + t / seg.z1);
      at.segment = piece.segment;
      at.position = position + f * total;
      if (noise) {
        const float phase = (at.position / rnd.noisePeriod + rnd.noisePhase) * 6.2831853f;
        at.p = at.p + normal * (rnd.noiseAmp * std::sin(phase));
      }
      return at;
    };
    Point prev = pointAt(0.0f);
    for (int s = 1; s <= steps; ++s) {
      const Point next = pointAt(static_cast<float>(s) / static_cast<float>(steps));
      step(prev, next, key);
      prev = next;
    }
    position += total;
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
      bool touched = false;
      for (size_t i = stroke.firstStep; i < stroke.firstStep + stroke.stepCount; ++i) {
        const RecordedStep& st = steps_[i];
        if (st.bottom < begin || st.top >= end) continue;
        raster.key = st.key;
        if (stroke.stamp) {
          raster.Stamps(st.a, st.b, *stroke.stamp, kLineStampSize, st.skipFirst);
        } else {
          raster.Flat(st.a, st.b);
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

bool DrawTools::Init(LineEngine& engine, int width, int height, int overSampling,
                     float antiAliasSize) {
  if (!canvas.Init(width, height, overSampling, antiAliasSize) || !pass.Init(width, height)) {
    return false;
  }
  mapContext.Prepare(engine.View());
  noise.SetOrigin(Point2(static_cast<float>(width) / 2.0f, static_cast<float>(height) / 2.0f));
  engine.sizeUnit = std::max(1.0f, static_cast<float>(std::max(width, height)) / 24.0f);
  return true;
}

JobDrawContext DrawTools::Context(LineEngine& engine, TimeValue t, CheckAbortCallback* abort) {
  JobDrawContext ctx;
  ctx.engine = &engine;
  ctx.canvas = &canvas;
  ctx.pass = &pass;
  ctx.noise = &noise;
  ctx.stamps = &stamps;
  ctx.mapContext = &mapContext;
  ctx.time = t;
  ctx.abort = abort;
  return ctx;
}

bool DrawJob(LineJob& job, JobDrawContext& ctx) {
  LineEngine& engine = *ctx.engine;
  const LineDrawOptions& o = engine.View().options;
  if (ctx.abort) {
    const std::string title = ProgressTitle(677, ctx.jobNumber, ctx.jobCount);
    ctx.abort->SetTitle(title.c_str());
  }
  if (job.strokes.empty()) return true;
  const bool preview = ctx.previewBrush != nullptr;
  Brush* brush =
      preview ? ctx.previewBrush : (job.lineSetting ? job.lineSetting->GetBrush() : nullptr);
  if (!brush) return true;
  const JobParams params = readParams(job, *brush, ctx.time, o, ctx);
  const int base = std::max(1, params.brush.stroke.multiple);
  const int repetitions = base + std::max(0, params.brush.stroke.multipleRnd);
  const int lineSetSeed =
      job.lineSetIndex >= 0 && static_cast<size_t>(job.lineSetIndex) < engine.lineSetSeeds.size()
          ? engine.lineSetSeeds[static_cast<size_t>(job.lineSetIndex)]
          : 0;
  uint16_t seed = JobNoiseSeed(lineSetSeed, job.category, job.visibility == 0, job.lineSetIndex);
  const int chains = static_cast<int>(job.strokes.size());
  const int total = std::max(1, repetitions * chains - 15);
  int done = 0;
  ChainPainter painter(ctx, job, params, *brush);
  if (!preview) {
    for (LineVectorSink* sink : VectorSinks()) {
      sink->LineSetStart(job.lineSet, job.lineSetting, job.visibility);
    }
  }
  for (int r = 0; r < repetitions; ++r) {
    // A preview keeps every repetition on one canvas.
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
      place.second = engine.Segments()[SegmentIndex(first.segment)].At(first.t1);
      place.middle = (chain.start + chain.end) * 0.5f;
      place.cell = engine.sizeUnit;
      place.chainLength = chain.length;
      place.scale = o.sizeScale;
      const StrokeRandom rnd = StrokeRandom::Draw(*ctx.noise, place, params.brush);
      if (r >= base && rnd.skipExtra) continue;
      painter.Paint(chain, rnd);
    }
    painter.Flush();
    if (!preview || r + 1 == repetitions) {
      const int descriptor = ctx.pass->AddDescriptor(BlendDescriptor{params.blend});
      ctx.pass->Resolve(*ctx.canvas, descriptor);
    }
  }
  return true;
}

}  // namespace tarnis
