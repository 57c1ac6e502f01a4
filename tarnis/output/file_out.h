// FileOut: the render effect that writes the lines the line effects draw
// into vector files, one per frame, as Illustrator 8 EPS (one layer per line
// set and visibility), plain EPS or SVG. It leaves the rendered image alone.
//
// Every FileOut alive is kept in one list in creation order. While the list
// is not empty, the outputs hear the render notifications and receive the
// line effects' strokes through one vector sink, which hands each call to
// every output that is set up for the render and switched on in the host's
// effect list; so all of them collect the same strokes.
//
// A render, for each output:
//   render start   reads the file name and type (no file name or an unknown
//                  type: no output) and both line switches, and makes the
//                  writer;
//   frame          the line effects' passes add commands: the page once per
//                  frame, then per line set (visible, then hidden) a layer
//                  and the strokes, each painted at its end;
//   next frame     before it renders, the frame collected last is written
//                  and the writer cleared;
//   render end     the last frame is written (not when the render was
//                  cancelled before its lines were done) and the writer
//                  goes.
// A file that cannot be written is reported to the host, which names it and
// fails the render. Files are written to a temporary name and renamed, and
// their folder is made when missing; a relative file name is taken from the
// folder of the rendered images.
//
// Instances are made and deleted on the host's interface thread; the strokes
// arrive on the thread that runs the line effect. One lock guards the list
// and every output's render state.
#pragma once

#include <memory>
#include <span>
#include <string>

#include "sdk/effect.h"
#include "sdk/param_block.h"
#include "tarnis/output/output_paths.h"
#include "tarnis/output/vector_image.h"

class ClassDesc2;

namespace tarnis {

class LineSet;
class LineSetting;
class FileOutRegistry;

inline constexpr Class_ID kFileOutClassID(0x8EFB0A76, 0xB9BAC05D);

// The blocks and the references that hold them.
inline constexpr int kFileOutBlockID = 0;      // "tarnis_fileout"
inline constexpr int kFileOutLineBlockID = 1;  // "tarnis_fileout_line"
inline constexpr int kFileOutBlockRef = 0;
inline constexpr int kFileOutLineBlockRef = 1;
inline constexpr int kFileOutNumRefs = 2;

enum FileOutParamID : ParamID {
  kFileOutFileType = 0,          // block 0
  kFileOutFileName = 1,          // block 0
  kFileOutLineEnable = 0,        // block 1
  kFileOutHiddenLineEnable = 1,  // block 1
};

// Values of fileType.
enum FileOutType : int {
  kFileTypeIllustratorEps = 0,
  kFileTypePlainEps = 1,
  kFileTypeSvg = 2,
};
inline constexpr int kNumFileOutTypes = 3;

// The panels: block 0's (file type combo box, file name label with a browse
// and a clear button) and block 1's (the two check boxes).
inline constexpr int kFileOutPanel = 197;
inline constexpr int kFileOutLinePanel = 196;
inline constexpr int kFileTypeComboCtrl = 1735;
inline constexpr int kFileNameBrowseCtrl = 1709;
inline constexpr int kFileNameLabelCtrl = 1711;
inline constexpr int kFileNameClearCtrl = 1715;

ParamBlockDesc2* FileOutBlockDesc();
ParamBlockDesc2* FileOutLineBlockDesc();
void BindFileOutBlocks(ClassDesc2* cd);
// The name a parameter is shown with ("" for an unknown one).
const char* FileOutParamDisplayName(int blockID, ParamID id);
// The title of a block's panel ("" for an unknown block).
const char* FileOutPanelTitle(int blockID);

// The layer a line set's strokes go to: its name, followed by "(hidden)"
// for the hidden lines ("Objects(hidden)"), at most 255 bytes (the name is cut, never the suffix,
// and never inside a UTF-8 sequence).
std::string FileOutLayerName(const std::string& lineSetName, bool hidden);

// The writer of a file type, or null for a type that has none.
std::unique_ptr<VectorImage> MakeVectorWriter(int fileType);

class FileOut : public Effect {
 public:
  // A new output at the defaults (no file); with `loading` the block slots
  // stay empty for a saved scene to fill.
  explicit FileOut(bool loading = false);
  ~FileOut() override;

  IParamBlock2* FileBlock() const { return blocks_[kFileOutBlockRef]; }
  IParamBlock2* LineBlock() const { return blocks_[kFileOutLineBlockRef]; }

  // The image is left as it is: the strokes come from the line effects.
  void Apply(TimeValue t, Bitmap* bm, RenderGlobalContext* gc,
             CheckAbortCallback* checkAbort) override;

  // The writer of the current render (null outside a render or without
  // output), for looking at what was collected.
  const VectorImage* Writer() const { return writer_.get(); }

  // --- Object model --------------------------------------------------------------
  Class_ID ClassID() override { return kFileOutClassID; }
  void GetClassName(CStr& s) override;
  int NumRefs() override { return kFileOutNumRefs; }
  ReferenceTarget* GetReference(int i) override;
  int NumSubs() override { return kFileOutNumRefs; }
  Animatable* SubAnim(int i) override { return GetReference(i); }
  CStr SubAnimName(int i) override;
  // A copy with copies of both blocks and the same on / off state.
  ReferenceTarget* Clone(RemapDir& remap) override;
  // Own data: the on / off state. The graph writer saves the blocks.
  IOResult Save(ISave* isave) override;
  IOResult Load(ILoad* iload) override;

 protected:
  // Each slot takes only its own block.
  void SetReference(int i, ReferenceTarget* target) override;

 private:
  friend class FileOutRegistry;
  using Position = VectorImage::Position;

  // Render notifications.
  void renderStart(const RendParams* params);
  void beforeFrame();
  void afterFrame();
  void frameComplete();
  void renderEnd();
  // The line effects' calls.
  void frameStart(TimeValue t, int width, int height);
  void lineSetStart(LineSet* set, const std::string& name, LineSetting* part, int visibility);
  void strokeStart(float width, const Color& colour, float opacity, bool dashed, float dash,
                   float gap);
  void segments(std::span<const float> pieces);
  void strokeEnd();
  void passEnd();

  bool collecting() const { return writer_ && !disabled_ && active_; }
  bool inEffectList();
  // Removes the commands of a stroke that ended without painting anything.
  void dropUnpaintedStroke();
  // Writes the frame collected last to its file and clears the writer.
  void writeFrame();

  IParamBlock2* blocks_[kFileOutNumRefs] = {};

  // Render state (not saved).
  OutputName name_;
  std::unique_ptr<VectorImage> writer_;
  bool lineEnable_ = true;
  bool hiddenLineEnable_ = true;
  bool singleFrame_ = false;
  int frame_ = 0;
  int width_ = 0, height_ = 0;
  int passes_ = 0;
  LineSet* set_ = nullptr;
  int visibility_ = 0;  // 0 visible, 1 hidden
  LineSetting* part_ = nullptr;
  Position base_;        // the commands of a new line set go right after it
  Position remembered_;  // the command just before the line set's anchor
  bool disabled_ = false;
  bool active_ = false;
  bool strokeFlag_ = false;  // the current line set's strokes are collected
  bool strokeOpen_ = false;  // a stroke started and has not been painted
  Position strokeFirst_;     // its first command
  bool passesDone_ = false;  // the frame's last pass ended before any cancel
  // The look of the stroke just before the cursor, while the cursor has not
  // moved since: a stroke that looks the same sets nothing again (the
  // commands it would repeat are those the optimisation drops).
  struct StrokeLook {
    float width, r, g, b, opacity;
    bool dashed;
    float dash, gap;
    bool operator==(const StrokeLook&) const = default;
  };
  StrokeLook lastLook_{};
  bool lastLookValid_ = false;
};

}  // namespace tarnis
