// The render sequence (notifications, effects, progress, cancel, the frame
// sink) and the material-editor sample render. The sequence clears the
// cancel flag when it starts, so a render cancelled earlier does not stop the
// next one. A frame whose NOTIFY_PRE_RENDERFRAME went out also gets its
// NOTIFY_POST_RENDERFRAME when it is cancelled, so listeners can pair them.
// The sample render is a preview: it broadcasts no notifications, applies no
// effects, ignores the cancel flag and shades the caller's material without
// taking a reference to it.
#include "host/renderer.h"

#include <tbb/task_arena.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <new>
#include <set>

#include "host/bitmap_sampler.h"
#include "host/frame_renderer.h"
#include "host/maps.h"
#include "host/primitives.h"
#include "host/scene_loader.h"
#include "sdk/interface.h"
#include "sdk/notify.h"

namespace host {

namespace {

constexpr int kMaxImageSide = 16384;
// A frame with its G-buffer takes 24 bytes a pixel (more with elements).
constexpr long long kMaxFramePixels = 1LL << 26;
constexpr int kMaxSamples = 16;

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// What is wrong with the scene or the settings for rendering, or "".
std::string checkRender(const Scene& scene, const RenderSettings& s) {
  if (!scene.cameraNode || !dynamic_cast<CameraObject*>(scene.cameraNode->GetObjectRef()))
    return "the scene has no camera";
  if (s.width < 1 || s.height < 1 || s.width > kMaxImageSide || s.height > kMaxImageSide ||
      static_cast<long long>(s.width) * s.height > kMaxFramePixels)
    return "the image size " + std::to_string(s.width) + " x " + std::to_string(s.height) +
           " is outside 1 x 1 .. " + std::to_string(kMaxImageSide) + " x " +
           std::to_string(kMaxImageSide) + " or has more than " + std::to_string(kMaxFramePixels) +
           " pixels";
  if (!(s.pixelAspect > 0.0f) || !std::isfinite(s.pixelAspect))
    return "the pixel aspect must be a positive number";
  if (s.fps < 1 || s.fps > TIME_TICKSPERSEC)
    return "the frame rate " + std::to_string(s.fps) + " is outside 1 .. " +
           std::to_string(TIME_TICKSPERSEC);
  return "";
}

// Whether any node of the scene carries a light, switched on or not.
bool hasLights(const Scene& scene) {
  for (HostNode* node : scene.AllNodes()) {
    if (dynamic_cast<LightObject*>(node->GetObjectRef())) return true;
  }
  return false;
}

// Full alpha everywhere: the background colour is part of the picture.
void makeOpaque(Bitmap& image) {
  for (int y = 0; y < image.Height(); ++y) {
    BMM_Color_64* row = image.Row(y);
    for (int x = 0; x < image.Width(); ++x) row[x].a = 0xFFFF;
  }
}

// Reports an effect's progress through the core interface.
class EffectProgress : public CheckAbortCallback {
 public:
  bool Check() override { return GetCOREInterface()->GetCancel(); }
  bool Progress(int done, int total) override {
    int percent = total > 0 ? static_cast<int>(100LL * done / total) : 0;
    GetCOREInterface()->ProgressUpdate(percent, title_.empty() ? nullptr : title_.c_str());
    return Check();
  }
  // A new stage shows at once, even one too short to report any progress.
  void SetTitle(const char* title) override {
    title_ = title ? title : "";
    if (!title_.empty()) GetCOREInterface()->ProgressUpdate(0, title_.c_str());
  }

 private:
  std::string title_;
};

// One render of a sequence: the state shared by its frames.
class SequenceRender {
 public:
  SequenceRender(Scene& scene, const RenderSettings& settings, const SequencePart& part,
                 FrameSink& sink, RenderReport& report);
  void Run();

 private:
  TimeValue FrameTime(int frame) const;
  std::vector<IRenderElement*> EnabledElements();
  std::vector<Effect*> Effects();
  RenderStatus RenderFrame(int frame, int index, int count);
  // RenderFrame, with running out of memory turned into a failed frame.
  RenderStatus RenderFrameOrFail(int frame, int index, int count);
  // Builds an earlier frame's render instances for the listeners that follow
  // the sequence, when one of them asks for it.
  RenderStatus FollowFrame(int frame);
  FrameSetup MakeSetup(TimeValue t);
  RenderStatus Deliver(const FrameResult& result);
  bool ShadeFrame(FrameRenderer& fr, FrameResult& result);
  bool ApplyEffects(FrameRenderer& fr, FrameResult& result);
  void Warn(const std::string& text);
  void Note(const std::string& text) { report_.notes.push_back(text); }

  Scene& scene_;
  const RenderSettings& settings_;
  const SequencePart& part_;
  bool defaultLights_ = false;
  FrameSink& sink_;
  RenderReport& report_;
  tbb::task_arena arena_;
  RayDevice device_;
  Background background_;
  std::set<std::string> warned_;
};

SequenceRender::SequenceRender(Scene& scene, const RenderSettings& settings,
                               const SequencePart& part, FrameSink& sink, RenderReport& report)
    : scene_(scene),
      settings_(settings),
      part_(part),
      defaultLights_(!hasLights(scene)),
      sink_(sink),
      report_(report),
      arena_(settings.threads > 0 ? settings.threads : tbb::task_arena::automatic) {
  std::vector<std::string> warnings;
  background_ = Background::FromEnvironment(scene.environment, scene.sourcePath, &warnings);
  for (const std::string& w : warnings) Warn(w);
  if (settings.samples > kMaxSamples)
    Warn("samples " + std::to_string(settings.samples) + " is more than " +
         std::to_string(kMaxSamples) + "; " + std::to_string(kMaxSamples) + " are taken");
  if (defaultLights_) {
    Note("the scene has no lights; a key and a fill light from the camera light it");
  }
}

void SequenceRender::Warn(const std::string& text) {
  if (warned_.insert(text).second) report_.warnings.push_back(text);
}

TimeValue SequenceRender::FrameTime(int frame) const {
  return static_cast<TimeValue>(static_cast<long long>(frame) * TIME_TICKSPERSEC / settings_.fps);
}

std::vector<IRenderElement*> SequenceRender::EnabledElements() {
  std::vector<IRenderElement*> out;
  for (int i = 0; i < scene_.Elements().Count(); ++i) {
    auto* e = dynamic_cast<IRenderElement*>(scene_.Elements().Get(i));
    if (!e || !e->IsEnabled()) continue;
    if (static_cast<int>(out.size()) == kMaxRenderElements) {
      Warn("more than " + std::to_string(kMaxRenderElements) +
           " render elements are enabled; the rest are left out");
      break;
    }
    out.push_back(e);
  }
  return out;
}

std::vector<Effect*> SequenceRender::Effects() {
  std::vector<Effect*> out;
  for (int i = 0; i < scene_.Effects().Count(); ++i) {
    auto* e = dynamic_cast<Effect*>(scene_.Effects().Get(i));
    if (e && e->SuperClassID() == RENDER_EFFECT_CLASS_ID) out.push_back(e);
  }
  return out;
}

void SequenceRender::Run() {
  GetCOREInterface()->SetCancel(false);
  const std::vector<int>& frames = part_.sequence;
  RendParams params;
  params.singleFrame = frames.size() == 1;
  params.firstFrame = frames.front();
  params.lastFrame = frames.back();
  params.width = settings_.width, params.height = settings_.height;
  BroadcastNotification(NOTIFY_PRE_RENDER, &params);
  TimeValue t0 = FrameTime(frames.front());
  for (Effect* e : Effects()) {
    Interval valid = FOREVER;
    e->Update(t0, valid);
  }
  const int count = static_cast<int>(std::count(part_.rendered.begin(), part_.rendered.end(), true));
  int index = 0;
  for (size_t i = 0; i < frames.size() && index < count; ++i) {
    if (part_.rendered[i]) {
      report_.status = RenderFrameOrFail(frames[i], index++, count);
    } else {
      report_.status = FollowFrame(frames[i]);
    }
    if (report_.status != RenderStatus::kDone) break;
  }
  // Listeners finish the render's own outputs here (the last frame's vector files).
  const auto start = std::chrono::steady_clock::now();
  BroadcastNotification(NOTIFY_POST_RENDER, &params);
  report_.seconds.postRender += secondsSince(start);
}

RenderStatus SequenceRender::FollowFrame(int frame) {
  Interface* ip = GetCOREInterface();
  if (ip->GetCancel()) return RenderStatus::kCancelled;
  FrameHistoryQuery query;
  query.time = FrameTime(frame);
  BroadcastNotification(NOTIFY_FRAME_HISTORY_WANTED, &query);
  if (!query.wanted) return RenderStatus::kDone;
  const auto start = std::chrono::steady_clock::now();
  const std::string title = "Following frame " + std::to_string(frame);
  ip->ProgressStart(title.c_str());
  try {
    FrameRenderer fr(arena_, device_);
    std::vector<std::string> warnings;
    fr.Build(MakeSetup(query.time), &warnings);
    for (const std::string& w : warnings) Warn(w);
    BroadcastNotification(NOTIFY_FRAME_HISTORY, static_cast<RenderGlobalContext*>(&fr.Context()));
  } catch (const std::bad_alloc&) {
    ip->ProgressEnd();
    report_.error = "out of memory while following frame " + std::to_string(frame);
    return RenderStatus::kFailed;
  }
  ip->ProgressEnd();
  report_.seconds.history += secondsSince(start);
  return RenderStatus::kDone;
}

RenderStatus SequenceRender::RenderFrameOrFail(int frame, int index, int count) {
  try {
    return RenderFrame(frame, index, count);
  } catch (const std::bad_alloc&) {
    // Nothing of the frame was written: its files go out only once it is done.
    GetCOREInterface()->ProgressEnd();
    for (IRenderElement* e : EnabledElements()) {
      e->SetRenderBitmap(nullptr);
      e->SetShadeOutputIndex(-1);
    }
    report_.error = "out of memory while rendering frame " + std::to_string(frame) +
                    "; try a smaller image size or fewer samples";
    return RenderStatus::kFailed;
  }
}

RenderStatus SequenceRender::RenderFrame(int frame, int index, int count) {
  Interface* ip = GetCOREInterface();
  if (ip->GetCancel()) return RenderStatus::kCancelled;
  std::string title = "Rendering frame " + std::to_string(frame) + " (" +
                      std::to_string(index + 1) + "/" + std::to_string(count) + ")";
  ip->ProgressStart(title.c_str());
  FrameResult result;
  result.frame = frame;
  result.time = FrameTime(frame);
  result.image.Resize(settings_.width, settings_.height);
  std::vector<IRenderElement*> elements = EnabledElements();
  for (IRenderElement* e : elements) {
    result.elements.push_back({e, Bitmap(settings_.width, settings_.height)});
  }
  StageSeconds& seconds = result.seconds;
  FrameRenderer fr(arena_, device_);
  auto start = std::chrono::steady_clock::now();
  std::vector<std::string> warnings;
  fr.Build(MakeSetup(result.time), &warnings);
  for (const std::string& w : warnings) Warn(w);
  seconds.build += secondsSince(start);
  // The elements' images stay registered until the sink has the frame.
  for (size_t i = 0; i < elements.size(); ++i) {
    elements[i]->SetRenderBitmap(&result.elements[i].image);
    elements[i]->SetShadeOutputIndex(static_cast<int>(i));
  }
  fr.Context().SetRenderElements(elements);

  bool ok = !ip->GetCancel();
  if (ok) {
    auto* context = static_cast<RenderGlobalContext*>(&fr.Context());
    start = std::chrono::steady_clock::now();
    BroadcastNotification(NOTIFY_PRE_RENDERFRAME, context);
    seconds.preFrame += secondsSince(start);
    start = std::chrono::steady_clock::now();
    fr.Prepare();
    seconds.build += secondsSince(start);
    ok = !ip->GetCancel() && ShadeFrame(fr, result);
    // Listeners that prepared for the frame hear its end, finished or not.
    start = std::chrono::steady_clock::now();
    BroadcastNotification(NOTIFY_POST_RENDERFRAME, context);
    seconds.postFrame += secondsSince(start);
    ok = ok && ApplyEffects(fr, result);
    // Plug-ins write their own files of the frame before its images go out,
    // so a frame whose image exists has all of its files.
    if (ok) {
      start = std::chrono::steady_clock::now();
      BroadcastNotification(NOTIFY_FRAME_COMPLETE, context);
      seconds.outputs += secondsSince(start);
    }
  }
  report_.seconds += seconds;
  // Effects drew over the background with its alpha still 0; render elements
  // keep whatever alpha their own rules gave them.
  if (ok && !settings_.alpha) makeOpaque(result.image);
  // Maps report what they could not load (a missing texture) while they update.
  for (const std::string& w : TakeMapWarnings()) Warn(w);
  ip->ProgressEnd();
  RenderStatus status = ok ? Deliver(result) : RenderStatus::kCancelled;
  for (IRenderElement* e : elements) {
    e->SetRenderBitmap(nullptr);
    e->SetShadeOutputIndex(-1);
  }
  return status;
}

FrameSetup SequenceRender::MakeSetup(TimeValue t) {
  FrameSetup setup;
  setup.nodes = scene_.AllNodes();
  setup.cameraNode = scene_.cameraNode;
  setup.camera = dynamic_cast<CameraObject*>(scene_.cameraNode->GetObjectRef());
  setup.time = t;
  setup.width = settings_.width, setup.height = settings_.height;
  setup.pixelAspect = settings_.pixelAspect;
  setup.samples = std::clamp(settings_.samples, 1, kMaxSamples);
  setup.ambient = scene_.environment.ambient;
  setup.background = &background_;
  setup.defaultLights = defaultLights_;
  return setup;
}

RenderStatus SequenceRender::Deliver(const FrameResult& result) {
  std::string error;
  if (!sink_.WriteFrame(result, &error)) {
    report_.error =
        error.empty() ? "frame " + std::to_string(result.frame) + " was not written" : error;
    return RenderStatus::kFailed;
  }
  ++report_.framesWritten;
  return RenderStatus::kDone;
}

bool SequenceRender::ShadeFrame(FrameRenderer& fr, FrameResult& result) {
  Interface* ip = GetCOREInterface();
  auto start = std::chrono::steady_clock::now();
  bool ok = fr.BuildMaps();
  int lastPercent = -1;
  auto afterBand = [&](int rows) {
    int percent = static_cast<int>(100LL * rows / settings_.height);
    if (percent != lastPercent) ip->ProgressUpdate(percent);
    lastPercent = percent;
    return !ip->GetCancel();
  };
  long long shaded = 0;
  ok = ok && !ip->GetCancel() && fr.Shade(result, afterBand, &shaded);
  report_.samplesShaded += shaded;
  result.seconds.shade += secondsSince(start);
  return ok;
}

bool SequenceRender::ApplyEffects(FrameRenderer& fr, FrameResult& result) {
  Interface* ip = GetCOREInterface();
  if (!ip->RenderEffectsEnabled()) return !ip->GetCancel();
  auto start = std::chrono::steady_clock::now();
  EffectProgress progress;
  for (Effect* e : Effects()) {
    if (ip->GetCancel()) break;
    if (e->Active(result.time)) e->Apply(result.time, &result.image, &fr.Context(), &progress);
  }
  result.seconds.effects += secondsSince(start);
  return !ip->GetCancel();
}

// The material editor's sample: a sphere of radius 1 seen from the front.
void buildSampleScene(Scene& scene) {
  auto* sphere = new GeomObject;
  scene.CreateNode("Sample")->SetObject(sphere);
  PrimitiveParams params;
  params.type = "sphere";
  params.radius = 1.0f;
  params.segments = 64;
  std::string error;
  MakePrimitive(params, sphere->mesh, &error);
  sphere->source = "material sample";

  HostNode* cam = scene.CreateNode("Sample Camera");
  auto* camera = new CameraObject;
  camera->fovDegrees = 37.0f;
  cam->SetObject(camera);
  cam->position = Point3(0.0f, -3.5f, 0.0f);
  cam->target = Point3(0.0f, 0.0f, 0.0f);
  scene.cameraNode = cam;

  struct LightPlace {
    Point3 position;
    float multiplier;
  };
  // A key light above left and a dimmer fill from the lower right.
  for (const LightPlace& l :
       {LightPlace{{-3.0f, -4.0f, 4.0f}, 1.0f}, LightPlace{{4.0f, -2.0f, -1.5f}, 0.4f}}) {
    auto* light = new LightObject;
    light->multiplier = l.multiplier;
    HostNode* node = scene.CreateNode("Sample Light");
    node->SetObject(light);
    node->position = l.position;
  }
  scene.environment.ambient = Color(0.05f, 0.05f, 0.05f);
}

}  // namespace

StageSeconds& StageSeconds::operator+=(const StageSeconds& other) {
  build += other.build;
  preFrame += other.preFrame;
  shade += other.shade;
  postFrame += other.postFrame;
  effects += other.effects;
  postRender += other.postRender;
  outputs += other.outputs;
  history += other.history;
  return *this;
}

RenderReport RenderSequence(Scene& scene, const RenderSettings& settings, FrameSink& sink) {
  std::vector<int> frames;
  for (int f = settings.firstFrame; f <= settings.lastFrame && f <= kMaxFrame; ++f) {
    frames.push_back(f);
  }
  return RenderFrames(scene, settings, frames, sink);
}

RenderReport RenderFrames(Scene& scene, const RenderSettings& settings,
                          const std::vector<int>& frames, FrameSink& sink) {
  const SequencePart whole{frames, std::vector<bool>(frames.size(), true)};
  return RenderPart(scene, settings, whole, sink);
}

RenderReport RenderPart(Scene& scene, const RenderSettings& settings, const SequencePart& part,
                        FrameSink& sink) {
  RenderReport report;
  report.error = checkRender(scene, settings);
  if (report.error.empty() && part.rendered.size() != part.sequence.size()) {
    report.error = "the part names " + std::to_string(part.rendered.size()) +
                   " frames to render of a sequence of " + std::to_string(part.sequence.size());
  }
  if (report.error.empty() && std::find(part.rendered.begin(), part.rendered.end(), true) ==
                                  part.rendered.end()) {
    report.error = "no frame to render";
  }
  for (int f : part.sequence) {
    if (report.error.empty() && (f < -kMaxFrame || f > kMaxFrame)) {
      report.error = "frame " + std::to_string(f) + " is outside -" + std::to_string(kMaxFrame) +
                     " .. " + std::to_string(kMaxFrame);
    }
  }
  if (!report.error.empty()) {
    report.status = RenderStatus::kFailed;
    return report;
  }
  LimitTexturesToRender(settings.width, settings.height);
  // Plug-ins turn times into frame numbers with the render's own rate.
  SetFrameRate(settings.fps);
  SequenceRender(scene, settings, part, sink, report).Run();
  return report;
}

bool RenderMaterialSample(Mtl* mtl, int size, Bitmap& out, std::string* error) {
  constexpr int kMaxSampleSize = 4096;
  if (size < 1 || size > kMaxSampleSize) {
    if (error) *error = "the sample size " + std::to_string(size) + " is outside 1 .. 4096";
    return false;
  }
  Scene scene;
  buildSampleScene(scene);
  tbb::task_arena arena;
  RayDevice device;
  Background background(Color(0.2f, 0.2f, 0.2f));
  FrameSetup setup;
  setup.nodes = scene.AllNodes();
  setup.cameraNode = scene.cameraNode;
  setup.camera = dynamic_cast<CameraObject*>(scene.cameraNode->GetObjectRef());
  setup.width = setup.height = size;
  setup.samples = 2;
  // The caller's material is used, never referenced, so its lifetime stays the caller's.
  setup.mtlOverride = mtl;
  setup.inMtlEdit = true;
  setup.ambient = scene.environment.ambient;
  setup.background = &background;
  FrameRenderer fr(arena, device);
  fr.Build(setup, nullptr);
  fr.Prepare();
  fr.BuildMaps();
  FrameResult result;
  result.image.Resize(size, size);
  fr.Shade(result, nullptr, nullptr);
  out = std::move(result.image);
  return true;
}

}  // namespace host
