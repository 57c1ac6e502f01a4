#include "tarnis/line/engine/frame_gathering.h"

#include <algorithm>
#include <new>

#include "sdk/inode.h"
#include "sdk/interface.h"
#include "sdk/mtl.h"
#include "tarnis/line/brush/brush.h"
#include "tarnis/line/chain/edge_chaining.h"
#include "tarnis/line/detect/mesh_edges.h"
#include "tarnis/line/effect/line_manager.h"
#include "tarnis/line/effect/line_set.h"
#include "tarnis/line/effect/line_set_frame.h"
#include "tarnis/line/effect/line_setting.h"
#include "tarnis/line/engine/instance_records.h"

namespace tarnis {

namespace {

// The mapping channels a map and its sub-maps read.
void mapChannels(Texmap* map, std::vector<int>& out, int depth = 0) {
  if (!map || depth > 16) return;
  out.push_back(map->GetMapChannel());
  for (int i = 0; i < map->NumSubTexmaps(); ++i) {
    if (map->SubTexmapOn(i)) mapChannels(map->GetSubTexmap(i), out, depth + 1);
  }
}

// Fills the lookup's node and material maps from the sets' object and
// material lists.
void indexLineSetMembers(LineSetLookup& lookup) {
  std::vector<LineSetFrame>& sets = lookup.sets;
  lookup.nodeSet.clear();
  lookup.mtlSet.clear();
  for (size_t i = 0; i < sets.size(); ++i) {
    LineSet* set = sets[i].set;
    IParamBlock2* pb = set ? set->MainBlock() : nullptr;
    if (!pb) continue;
    for (int k = 0; k < pb->Count(kLineSetObjects); ++k) {
      if (auto* node = dynamic_cast<INode*>(pb->GetReferenceTarget(kLineSetObjects, 0, k))) {
        lookup.nodeSet.emplace(node, static_cast<int>(i));
      }
    }
    for (int k = 0; k < pb->Count(kLineSetMtls); ++k) {
      if (auto* mtl = dynamic_cast<Mtl*>(pb->GetReferenceTarget(kLineSetMtls, 0, k))) {
        lookup.mtlSet.emplace(mtl, static_cast<int>(i));
      }
    }
  }
}

// The job of `setting` drawing visibility `vis` for the set of frame record
// `f`; a new job (first found through category `cat`) notes the mapping
// channels its maps read.
LineJob& jobOf(std::deque<LineJob>& jobs, LineSetFrame& f, LineSetting* setting, int vis, int cat,
               TimeValue t, LineSetLookup& lookup) {
  for (LineJob& j : jobs) {
    if (j.lineSetting == setting && j.lineSet == f.set && j.visibility == vis) return j;
  }
  LineJob& job = jobs.emplace_back();
  job.lineSet = f.set;
  job.lineSetting = setting;
  job.visibility = vis;
  job.lineSetIndex = f.index;
  job.lineSetName = f.set->Name();
  job.category = cat;
  const LineFrameValues values = setting->PrepareFrame(t);
  std::vector<int>& channels = lookup.channelsOfSet[static_cast<size_t>(f.index)];
  const size_t before = channels.size();
  mapChannels(values.lineMap, channels);
  mapChannels(values.sizeMap, channels);
  if (Brush* brush = setting->GetBrush()) {
    for (int m = 0; m < brush->NumSubTexmaps(); ++m) {
      if (brush->SubTexmapOn(m)) mapChannels(brush->GetSubTexmap(m), channels);
    }
  }
  if (channels.size() > before || values.lineMap || values.sizeMap) f.needsMapping = true;
  return job;
}

// One job per line setting, line set and visibility, with the line sets'
// frame records pointing at the jobs' containers.
void gatherJobs(LineManager& effect, TimeValue t, LineSetLookup& lookup,
                std::deque<LineJob>& jobs) {
  const int n = effect.NumLineSets();
  lookup.sets.assign(static_cast<size_t>(n), LineSetFrame());
  lookup.channelsOfSet.assign(static_cast<size_t>(n), {});
  for (int i = 0; i < n; ++i) {
    LineSetFrame& f = lookup.sets[static_cast<size_t>(i)];
    f.set = effect.GetLineSet(i);
    f.index = i;
    f.priority = n - i;
    if (!f.set) continue;
    f.enabled = f.set->Enabled(t);
    IParamBlock2* main = f.set->MainBlock();
    f.exHidden = main && main->GetInt(kLineSetExHidden, t) != 0;
  }
  for (int i = 0; i < n; ++i) {
    LineSetFrame& f = lookup.sets[static_cast<size_t>(i)];
    if (!f.set || !f.enabled) continue;
    bool normalUsed = false;
    float cosMax = 1.0f, cosMin = -1.0f;
    for (int vis = 0; vis < 2; ++vis) {
      const int type = vis + 1;
      IParamBlock2* tb = f.set->TypeBlock(type);
      if (tb) {
        f.wire[vis] = tb->GetInt(kTypeEdgeNormalWire, t) != 0;
        f.outlineOnly[vis] = tb->GetInt(kTypeEdgeOutlineOnly, t) != 0;
      }
      // The crease range spans the visibilities that draw creases by angle.
      if (tb && tb->GetInt(kTypeEdgeNormal, t) != 0 && !f.wire[vis]) {
        const float cMax = CreaseCos(tb->GetFloat(kTypeEdgeNormalMax, t));
        const float cMin = CreaseCos(tb->GetFloat(kTypeEdgeNormalMin, t));
        cosMax = normalUsed ? std::min(cosMax, cMax) : cMax;
        cosMin = normalUsed ? std::max(cosMin, cMin) : cMin;
        normalUsed = true;
      }
      for (int cat = kCategoryObject; cat <= kCategoryIntersection; ++cat) {
        LineSetting* setting = SettingForEdge(*f.set, type, cat, t);
        if (!setting) continue;
        LineJob& job = jobOf(jobs, f, setting, vis, cat, t, lookup);
        f.containers[vis][cat - 1] = &job.edges[static_cast<size_t>(cat - 1)];
      }
    }
    f.cosMax = cosMax;
    f.cosMin = cosMin;
  }
  indexLineSetMembers(lookup);
}

LineDepth::Change readChange(IParamBlock2* block, const CurveControl* curve, TimeValue t,
                             ParamID enable, ParamID min, ParamID max, ParamID nodeEnable,
                             ParamID node) {
  LineDepth::Change c;
  c.on = block->GetInt(enable, t) != 0;
  if (c.on) {
    c.curve = curve;
    c.min = block->GetFloat(min, t);
    c.max = block->GetFloat(max, t);
    if (c.max == c.min) {
      c = LineDepth::Change();
    } else {
      c.invRange = 1.0f / (c.max - c.min);
    }
  }
  auto* reference = block->GetRefAs<INode>(node, t);
  if (block->GetInt(nodeEnable, t) != 0 && reference) {
    c.fromNode = true;
    c.nodePosition = reference->GetNodeTM(t).GetTrans();
  }
  return c;
}

// The stroke parameters of a job drawn by `brush` with the look `v`.
StrokeParams strokeParams(const LineFrameValues& v, Brush& brush, const LineDepth& depth,
                          const LineDrawOptions& o) {
  StrokeParams p;
  p.brush = &brush;
  p.values = brush.Values();
  if (o.colorModEnable) {
    p.values.colorRange.type = o.colorModMode;
    p.values.colorRange.r = o.colorModValues.x;
    p.values.colorRange.g = o.colorModValues.y;
    p.values.colorRange.b = o.colorModValues.z;
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
  const bool noise = p.values.noise.enable && p.values.noise.amp != 0.0f;
  if (noise && p.values.noise.map) {
    p.noiseMap = p.values.noise.map;
    p.noiseMapOpacity = p.values.noise.mapOpacity;
  }
  p.sizeCurve = p.values.dampSizeEnable ? brush.SizeCurve() : nullptr;
  p.alphaCurve = p.values.dampAlphaEnable ? brush.AlphaCurve() : nullptr;
  p.depth = depth;
  p.minimumLength = std::max(1e-4f, p.values.stroke.minimumLength) * o.sizeScale;
  p.strokeType = p.values.stroke.strokeType;
  if (p.strokeType != kStrokeRake && p.strokeType != kStrokeRandom) p.strokeType = kStrokePlain;
  // Random strokes scatter stamps, so a flat tip is stamped as its disc.
  p.stamps = p.values.tip.type != kTipFlat || p.strokeType == kStrokeRandom;
  p.dashed = p.values.stroke.strokeType2 == 1;
  // Maps and distortion change along a piece, so such pieces are drawn in
  // steps of about a pixel; a line map too, or its colour would only be
  // read at the ends of each edge. Falloff and distance damping need no
  // steps: the rasteriser evaluates them at every sample.
  p.stepped = noise || p.sizeMap || p.lineMap || p.values.stroke.strokeType != 0 || p.dashed;
  return p;
}

}  // namespace

std::optional<EffectValues> GatherEffectValues(LineManager& effect, TimeValue t) {
  IParamBlock2* pb = effect.MainBlock();
  if (!pb) return std::nullopt;
  EffectValues v;
  v.elementOnly = pb->GetInt(kLineRenderElementOnly, t) != 0;
  v.sizeByImage = pb->GetInt(kLineLineSizeType, t) == 1;
  v.outsideLength = pb->GetFloat(kLineOutsideLength, t);
  v.overSampling = pb->GetInt(kLineOverSampling, t);
  v.antiAliasSize = pb->GetFloat(kLineAntiAliasSize, t);
  v.motionDetection = pb->GetInt(kLineRndAuto, t) != 0 && pb->GetInt(kLineRndMoveDetect, t) != 0;
  return v;
}

bool GatherFrame(LineManager& effect, RenderGlobalContext& gc, const LineDrawOptions& options,
                 float outsideLength, FrameGeometry& frame, std::deque<LineJob>& jobs) {
  frame.Clear();
  jobs.clear();
  frame.view.SetFromContext(gc);
  frame.view.options = options;
  frame.view.SetExtent(outsideLength);
  try {
    gatherJobs(effect, gc.time, frame.lookup, jobs);
    const int n = gc.NumRenderInstances();
    frame.instances.resize(static_cast<size_t>(std::max(0, n)));
    for (int i = 0; i < n; ++i) {
      DetectAndISectInstance& rec = frame.instances[static_cast<size_t>(i)];
      rec.index = i;
      rec.view = &frame.view;
      if (i == frame.view.options.excludedInstance) continue;
      if (!BuildInstanceRecord(rec, gc.GetRenderInstance(i), frame.lookup, frame.view)) {
        frame.Clear();
        jobs.clear();
        return false;
      }
    }
  } catch (const std::bad_alloc&) {
    frame.Clear();
    jobs.clear();
    return false;
  }
  return true;
}

void GatherJobRecords(LineManager& effect, std::deque<LineJob>& jobs, TimeValue t,
                      const LineDrawOptions& options) {
  const int sets = effect.NumLineSets();
  std::vector<int> seeds(static_cast<size_t>(sets), 0);
  for (int i = 0; i < sets; ++i) {
    LineSet* set = effect.GetLineSet(i);
    if (set && set->Enabled(t)) seeds[static_cast<size_t>(i)] = LineSetSeed(effect, i, t);
  }
  for (LineJob& job : jobs) {
    if (!job.enabled) continue;
    job.seed = job.lineSetIndex >= 0 && job.lineSetIndex < sets
                   ? seeds[static_cast<size_t>(job.lineSetIndex)]
                   : 0;
    Brush* brush = job.lineSetting ? job.lineSetting->GetBrush() : nullptr;
    // Reading the setting brings its brush's working copy up to date.
    const LineFrameValues values =
        job.lineSetting ? job.lineSetting->PrepareFrame(t) : LineFrameValues();
    IParamBlock2* main = job.lineSet ? job.lineSet->MainBlock() : nullptr;
    const bool combine = main && main->GetInt(kLineSetCombineBetweemObjects, t) != 0;
    job.link =
        MakeLinkParams(brush ? brush->Values().stroke : BrushStrokeValues(), options, combine);
    job.stroke = StrokeParams();
    if (!brush) continue;
    const LineDepth depth =
        job.lineSet ? PrepareLineDepth(*job.lineSet, job.visibility + 1, t) : LineDepth();
    job.stroke = strokeParams(values, *brush, depth, options);
  }
}

void GatherPreviewRecords(LineJob& job, Brush& brush, TimeValue t, float size,
                          const LineDrawOptions& options) {
  Interval valid = FOREVER;
  brush.Update(t, valid);
  job.seed = 0;
  job.link = MakeLinkParams(brush.Values().stroke, options, false);
  LineFrameValues look;
  look.size = size;
  look.color = Color(0, 0, 0);
  job.stroke = strokeParams(look, brush, LineDepth(), options);
}

int LineSetSeed(LineManager& effect, int lineSetIndex, TimeValue t) {
  IParamBlock2* pb = effect.MainBlock();
  if (!pb) return 0;
  int seed = pb->GetInt(kLineSeed, t);
  if (pb->GetInt(kLineRndAuto, t) != 0) {
    const float frame = static_cast<float>(GetFrameRate()) * static_cast<float>(t) /
                            static_cast<float>(TIME_TICKSPERSEC) +
                        0.5f;
    const std::vector<int>& offsets = effect.RenderState().frameOffsets;
    const float offset = lineSetIndex >= 0 && static_cast<size_t>(lineSetIndex) < offsets.size()
                             ? static_cast<float>(offsets[static_cast<size_t>(lineSetIndex)])
                             : 0.0f;
    const int interval = std::max(pb->GetInt(kLineRndInterval, t), 1);
    seed += static_cast<int>((frame - offset) / static_cast<float>(interval));
  }
  return seed;
}

LineDepth PrepareLineDepth(const LineSet& set, int type, TimeValue t) {
  const int depthType = type == 1 ? 1 : 2;
  LineDepth depth;
  IParamBlock2* block = set.DepthBlock(depthType);
  if (!block) return depth;
  depth.size = readChange(block, set.SizeCurve(depthType), t, kDepthZScaleEnable, kDepthZMin,
                          kDepthZMax, kDepthZScaleObjectEnable, kDepthZScaleObjectNode);
  depth.alpha = readChange(block, set.AlphaCurve(depthType), t, kDepthZAlphaEnable, kDepthZAlphaMin,
                           kDepthZAlphaMax, kDepthZAlphaObjectEnable, kDepthZAlphaObjectNode);
  if (depth.alpha.on) depth.alpha.farValue = block->GetFloat(kDepthZAlphaMaxValue, t) * 0.01f;
  return depth;
}

}  // namespace tarnis
