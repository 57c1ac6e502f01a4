// The host notifications the line engine answers: before a frame renders
// (frame data released, motion detection; also for the earlier frames a
// part of a sequence follows), after it rendered and before the
// effects run (the geometry half), and at the end of a render (the stored
// vertex positions of motion detection released).
#include <algorithm>
#include <cmath>
#include <mutex>
#include <optional>
#include <vector>

#include "sdk/interface.h"
#include "sdk/notify.h"
#include "tarnis/line/effect/line_manager.h"
#include "tarnis/line/engine/frame_gathering.h"
#include "tarnis/line/engine/line_engine.h"
#include "tarnis/line/frame/line_progress.h"

namespace tarnis {

namespace {

// World positions of every render instance's vertices in the previous frame,
// guarded by the plug-in's motion-detection lock (or, outside the host's
// start-up and shutdown, by a lock of its own).
struct MotionMemory {
  std::mutex lock;
  bool haveFrame = false;
  std::vector<std::vector<Point3>> positions;
};

MotionMemory& motionMemory() {
  static MotionMemory memory;
  return memory;
}

std::vector<LineManager*> activeLineEffects(TimeValue t) {
  std::vector<LineManager*> out;
  Interface* ip = GetCOREInterface();
  for (int i = 0; i < ip->NumEffects(); ++i) {
    auto* lm = dynamic_cast<LineManager*>(ip->GetEffect(i));
    if (lm && lm->Active(t)) out.push_back(lm);
  }
  return out;
}

bool detectsMotion(LineManager& lm, TimeValue t) {
  const std::optional<EffectValues> values = GatherEffectValues(lm, t);
  return values && values->motionDetection;
}

std::vector<Point3> worldPositions(RenderInstance* ri) {
  std::vector<Point3> out;
  Mesh* mesh = ri ? ri->GetMesh() : nullptr;
  if (!mesh) return out;
  out.resize(static_cast<size_t>(mesh->getNumVerts()));
  for (int v = 0; v < mesh->getNumVerts(); ++v) out[static_cast<size_t>(v)] = ri->GetWorldVert(v);
  return out;
}

// Moved: another vertex count, or a coordinate that changed by more than
// 1e-4 of the instance's size (the largest side of its box) on some axis.
bool moved(const std::vector<Point3>& before, const std::vector<Point3>& now) {
  if (before.size() != now.size()) return true;
  Box3 box;
  for (const Point3& p : now) box += p;
  const Point3 side = box.IsEmpty() ? Point3() : box.pmax - box.pmin;
  const float tolerance = 1e-4f * std::max({side.x, side.y, side.z});
  for (size_t i = 0; i < now.size(); ++i) {
    const Point3 d = now[i] - before[i];
    if (std::fabs(d.x) > tolerance || std::fabs(d.y) > tolerance || std::fabs(d.z) > tolerance) {
      return true;
    }
  }
  return false;
}

// Line-set index -> whether one of its instances moved, from the records of
// the motion engine.
std::vector<bool> setsThatMoved(LineManager& lm, const LineEngine& engine,
                                const std::vector<bool>& instanceMoved) {
  std::vector<bool> out(static_cast<size_t>(lm.NumLineSets()), false);
  auto mark = [&](const LineSetRecord& r) {
    const int i = r.lineSet ? lm.IndexOf(r.lineSet) : -1;
    if (i >= 0) out[static_cast<size_t>(i)] = true;
  };
  const auto& records = engine.Instances();
  for (size_t i = 0; i < records.size() && i < instanceMoved.size(); ++i) {
    if (!instanceMoved[i]) continue;
    mark(records[i].defaultRecord);
    for (const LineSetRecord& r : records[i].extraRecords) mark(r);
  }
  return out;
}

void onPreRenderFrame(void*, NotifyInfo* info) {
  auto* gc = info ? static_cast<RenderGlobalContext*>(info->callParam) : nullptr;
  if (!gc || gc->inMtlEdit) return;
  const TimeValue t = gc->time;
  const std::vector<LineManager*> effects = activeLineEffects(t);
  if (effects.empty()) return;
  const int count = gc->NumRenderInstances();
  for (LineManager* lm : effects) {
    LineRenderState& state = lm->RenderState();
    std::lock_guard<std::recursive_mutex> guard(state.lock);
    if (count > 0 && state.engine) state.engine->ReleaseFrame();
  }
  bool anyMotion = false;
  for (LineManager* lm : effects) anyMotion |= detectsMotion(*lm, t);

  MotionMemory& memory = motionMemory();
  std::mutex* lock = MotionDetectionLock();
  std::lock_guard<std::mutex> memoryGuard(lock ? *lock : memory.lock);
  const bool countChanged =
      !memory.haveFrame || memory.positions.size() != static_cast<size_t>(count);
  for (LineManager* lm : effects) {
    LineRenderState& state = lm->RenderState();
    std::lock_guard<std::recursive_mutex> guard(state.lock);
    if (countChanged || state.referenceScale <= 0.0f) {
      state.referenceScale = ReferenceScale(gc->devWidth, gc->devHeight);
    }
  }
  if (!anyMotion) return;

  std::vector<std::vector<Point3>> now(static_cast<size_t>(std::max(0, count)));
  std::vector<bool> instanceMoved(now.size(), true);
  for (int i = 0; i < count; ++i) {
    now[static_cast<size_t>(i)] = worldPositions(gc->GetRenderInstance(i));
    if (!countChanged) {
      instanceMoved[static_cast<size_t>(i)] =
          moved(memory.positions[static_cast<size_t>(i)], now[static_cast<size_t>(i)]);
    }
  }
  for (LineManager* lm : effects) {
    if (!detectsMotion(*lm, t)) continue;
    LineRenderState& state = lm->RenderState();
    std::lock_guard<std::recursive_mutex> guard(state.lock);
    if (countChanged || !state.motionEngine) {
      if (!state.motionEngine) state.motionEngine = std::make_unique<LineEngine>();
      state.motionEngine->Prepare(*lm, *gc, nullptr, 0.0f);
      state.frameOffsets.assign(static_cast<size_t>(lm->NumLineSets()), 0);
    }
    const std::vector<bool> setMoved = setsThatMoved(*lm, *state.motionEngine, instanceMoved);
    if (state.frameOffsets.size() < setMoved.size()) state.frameOffsets.resize(setMoved.size(), 0);
    for (size_t s = 0; s < setMoved.size(); ++s) {
      if (!setMoved[s]) ++state.frameOffsets[s];
    }
  }
  memory.positions = std::move(now);
  memory.haveFrame = true;
}

// A part of a sequence asks about each earlier frame: motion detection
// needs the vertex positions of every frame from the sequence's first, so
// that the part's frame offsets, and so its seeds, are those of a render of
// the whole sequence. The frame itself then goes through onPreRenderFrame.
void onHistoryWanted(void*, NotifyInfo* info) {
  auto* query = info ? static_cast<FrameHistoryQuery*>(info->callParam) : nullptr;
  if (!query || query->wanted) return;
  for (LineManager* lm : activeLineEffects(query->time)) {
    if (detectsMotion(*lm, query->time)) {
      query->wanted = true;
      return;
    }
  }
}

void onPostRenderFrame(void*, NotifyInfo* info) {
  PrepareLineFrame(info ? static_cast<RenderGlobalContext*>(info->callParam) : nullptr);
}

void onPostRender(void*, NotifyInfo*) {
  // The next render tells again what this one was told.
  Interface* ip = GetCOREInterface();
  for (int i = 0; i < ip->NumEffects(); ++i) {
    if (auto* lm = dynamic_cast<LineManager*>(ip->GetEffect(i))) {
      std::lock_guard<std::recursive_mutex> guard(lm->RenderState().lock);
      lm->RenderState().warnedNoLineElement = false;
    }
  }
  MotionMemory& memory = motionMemory();
  std::mutex* lock = MotionDetectionLock();
  std::lock_guard<std::mutex> guard(lock ? *lock : memory.lock);
  memory.positions = {};
  memory.haveFrame = false;
}

}  // namespace

void PrepareLineFrame(RenderGlobalContext* gc) {
  Interface* ip = GetCOREInterface();
  if (!gc || ip->GetCancel() || ip->IsNetServer() || gc->inMtlEdit || !ip->RenderEffectsEnabled()) {
    return;
  }
  const std::vector<LineManager*> effects = activeLineEffects(gc->time);
  if (effects.empty()) return;
  LineCheckAbortCallback progress;
  for (LineManager* lm : effects) {
    RenderLines(*lm, gc->time, nullptr, gc, &progress, nullptr, false);
  }
}

void RegisterLineEngineNotifications() {
  RegisterNotification(onPreRenderFrame, nullptr, NOTIFY_PRE_RENDERFRAME);
  RegisterNotification(onPostRenderFrame, nullptr, NOTIFY_POST_RENDERFRAME);
  RegisterNotification(onPostRender, nullptr, NOTIFY_POST_RENDER);
  RegisterNotification(onHistoryWanted, nullptr, NOTIFY_FRAME_HISTORY_WANTED);
  RegisterNotification(onPreRenderFrame, nullptr, NOTIFY_FRAME_HISTORY);
}

void UnregisterLineEngineNotifications() {
  UnRegisterNotification(onPreRenderFrame, nullptr, NOTIFY_PRE_RENDERFRAME);
  UnRegisterNotification(onPostRenderFrame, nullptr, NOTIFY_POST_RENDERFRAME);
  UnRegisterNotification(onPostRender, nullptr, NOTIFY_POST_RENDER);
  UnRegisterNotification(onHistoryWanted, nullptr, NOTIFY_FRAME_HISTORY_WANTED);
  UnRegisterNotification(onPreRenderFrame, nullptr, NOTIFY_FRAME_HISTORY);
}

}  // namespace tarnis
