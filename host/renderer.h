// The host's renderer: turns a Scene into images, frame by frame, the way
// plug-ins expect a render to unfold:
//   NOTIFY_PRE_RENDER (20), effects' Update;
//   per frame: NOTIFY_PRE_RENDERFRAME (22, call data: the frame's
//   RenderGlobalContext), materials' and maps' Update, BuildMaps of maps
//   that render sub-views, shading of every pixel sample on worker threads,
//   NOTIFY_POST_RENDERFRAME (23, call data: the context), Apply of every
//   active render effect in list order, NOTIFY_FRAME_COMPLETE (plug-ins
//   write their files of the frame), then the frame goes to the sink;
//   NOTIFY_POST_RENDER (21) at the end, also after a cancel or a failure.
// Progress and the cancel flag go through GetCOREInterface(). Images do not
// depend on the number of threads.
#pragma once

#include <string>
#include <vector>

#include "host/scene.h"
#include "sdk/bitmap.h"
#include "sdk/effect.h"

namespace host {

// Per-pixel data of the nearest surface, for render elements and tests.
struct GBuffer {
  int width = 0, height = 0;
  std::vector<float> depth;     // distance in front of the camera (-z of the camera-space hit);
                                // +infinity where nothing was hit
  std::vector<int> nodeId;      // render-instance index, -1 for background
  std::vector<int> materialId;  // face material id, -1 for background
  std::vector<int> objectId;    // the node's object (G-buffer) id, 0 for background
};

struct ElementImage {
  IRenderElement* element = nullptr;
  Bitmap image;
};

// Seconds spent in the stages of the render that the renderer times, for one
// frame or added up over several.
struct StageSeconds {
  double build = 0.0;      // render instances, materials' and maps' update, the Embree scene
  double preFrame = 0.0;   // the NOTIFY_PRE_RENDERFRAME listeners
  double shade = 0.0;      // maps' sub-views and every pixel sample
  double postFrame = 0.0;  // the NOTIFY_POST_RENDERFRAME listeners
  double effects = 0.0;    // Apply of the active render effects
  double postRender = 0.0;  // the NOTIFY_POST_RENDER listeners (whole renders only)
  double outputs = 0.0;     // the NOTIFY_FRAME_COMPLETE listeners (plug-ins' files of the frame)
  double history = 0.0;     // earlier frames of the sequence followed for listeners

  StageSeconds& operator+=(const StageSeconds& other);
};

struct FrameResult {
  int frame = 0;
  TimeValue time = 0;
  Bitmap image;
  std::vector<ElementImage> elements;  // enabled render elements, in list order
  GBuffer gbuffer;
  StageSeconds seconds;  // the frame's stages up to the sink
};

// Receives finished frames (writes files, keeps them for a test ...).
class FrameSink {
 public:
  virtual ~FrameSink() = default;
  // False with a message stops the render as failed.
  virtual bool WriteFrame(const FrameResult& frame, std::string* error) = 0;
};

enum class RenderStatus { kDone, kCancelled, kFailed };

struct RenderReport {
  RenderStatus status = RenderStatus::kDone;
  std::string error;                  // for kFailed
  std::vector<std::string> warnings;  // missing textures and the like, each once
  std::vector<std::string> notes;     // what the renderer chose for the scene (default lights)
  int framesWritten = 0;
  StageSeconds seconds;  // every frame rendered, finished or not
  long long samplesShaded = 0;
};

// Renders frames settings.firstFrame..lastFrame of the scene's camera.
RenderReport RenderSequence(Scene& scene, const RenderSettings& settings, FrameSink& sink);
// Renders exactly `frames`, in the order given (the scene's frame range is
// not consulted). A scene without lights is lit by DefaultLights, with a note
// in the report. The image's alpha is full unless settings.alpha asks for a
// transparent background.
RenderReport RenderFrames(Scene& scene, const RenderSettings& settings,
                          const std::vector<int>& frames, FrameSink& sink);

// A part of a sequence (a chunk of a farm job, or what is left of a render
// that stopped): every frame of the sequence in order, and which of them
// this render renders. Listeners see a render of the whole sequence
// (RendParams name its first and last frame, and a sequence of one frame is
// a single frame), and the frames before the last rendered one that are not
// rendered are followed (NOTIFY_FRAME_HISTORY) for listeners that keep
// state from frame to frame, so the part's frames come out as they do in a
// render of the whole sequence.
struct SequencePart {
  std::vector<int> sequence;
  std::vector<bool> rendered;  // one flag per frame of `sequence`
};
RenderReport RenderPart(Scene& scene, const RenderSettings& settings, const SequencePart& part,
                        FrameSink& sink);

// Renders `mtl` on a sample sphere lit by two lights into a size x size
// image, as material editors show it: the render context says inMtlEdit, so
// render effects and line drawing stay out.
bool RenderMaterialSample(Mtl* mtl, int size, Bitmap& out, std::string* error);

}  // namespace host
