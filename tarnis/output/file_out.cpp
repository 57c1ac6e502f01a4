#include "tarnis/output/file_out.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <mutex>
#include <vector>

#include "sdk/class_desc.h"
#include "sdk/interface.h"
#include "sdk/notify.h"
#include "sdk/param_builders.h"
#include "sdk/save_load.h"
#include "tarnis/line/output/vector_sinks.h"
#include "tarnis/output/ai_eps_image.h"
#include "tarnis/output/eps_image.h"
#include "tarnis/output/file_out_class_desc.h"
#include "tarnis/output/svg_image.h"

namespace tarnis {

namespace {

constexpr uint16_t kOnStateChunk = 0x4001;
constexpr int kHidden = 1;
// A layer name longer than this is cut.
constexpr size_t kMaxLayerName = 255;
// Pieces of a path whose ends lie this close (in pixels) join into one path.
constexpr float kJoinTolerance = 0.01f;
// Round joins and caps, as the line effect draws its strokes.
constexpr int kRoundJoin = 1;
constexpr int kRoundCap = 1;

constexpr int kRenderNotifications[] = {NOTIFY_PRE_RENDER, NOTIFY_POST_RENDER,
                                        NOTIFY_PRE_RENDERFRAME, NOTIFY_POST_RENDERFRAME,
                                        NOTIFY_FRAME_COMPLETE};

std::string Text(int id) {
  const char* text = FindString(id);
  return text ? text : "";
}

ParamDef FileTypeParam() {
  ParamDef def = IntComboParam(
      kFileOutFileType, "fileType", 0, kFileTypeIllustratorEps,
      {0.0f, static_cast<float>(kNumFileOutTypes - 1)},
      {Text(kStrFileTypeIllustratorEps), Text(kStrFileTypeEps), Text(kStrFileTypeSvg)});
  def.ui.ctrlIds = {kFileTypeComboCtrl};
  return def;
}

ParamDef FileNameParam() {
  // Shown in a label and chosen with the save-file dialog, not typed.
  ParamDef def = PlainParam(kFileOutFileName, "fileName", TYPE_STRING, "");
  def.ui.ctrlIds = {kFileNameLabelCtrl, kFileNameBrowseCtrl, kFileNameClearCtrl};
  return def;
}

// A relative file name lies in the folder of the rendered images.
std::string ResolveFileName(const std::string& fileName) {
  if (fileName.empty() || fileName.front() == '/') return fileName;
  std::string folder = GetCOREInterface()->GetDir(APP_RENDER_OUTPUT_DIR);
  if (folder.empty()) return fileName;
  if (folder.back() != '/') folder += '/';
  return folder + fileName;
}

bool MakeFolderOf(const std::string& path, std::string& problem) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::path(path).parent_path();
  std::error_code ec;
  if (folder.empty() || fs::is_directory(folder, ec)) return true;
  fs::create_directories(folder, ec);
  if (!ec) return true;
  problem = "cannot make the folder " + folder.string() + " (" + ec.message() + ")";
  return false;
}

}  // namespace

// --- The list of outputs ---------------------------------------------------------------

// Holds every FileOut alive, hears the render notifications and receives the
// line effects' strokes for all of them.
class FileOutRegistry final : public LineVectorSink {
 public:
  static FileOutRegistry& Get() {
    // Never destroyed: outputs may outlive static destruction.
    static FileOutRegistry* const registry = new FileOutRegistry;
    return *registry;
  }

  void Add(FileOut* out) {
    std::lock_guard<std::mutex> lock(mutex_);
    outputs_.push_back(out);
    if (outputs_.size() > 1) return;
    for (int code : kRenderNotifications) RegisterNotification(&Notify, this, code);
    RegisterVectorSink(this);
  }

  void Remove(FileOut* out) {
    std::lock_guard<std::mutex> lock(mutex_);
    outputs_.erase(std::remove(outputs_.begin(), outputs_.end(), out), outputs_.end());
    if (!outputs_.empty()) return;
    for (int code : kRenderNotifications) UnRegisterNotification(&Notify, this, code);
    UnregisterVectorSink(this);
  }

  void FrameStart(TimeValue t, int width, int height) override {
    forEach([&](FileOut& o) { o.frameStart(t, width, height); });
  }
  void LineSetStart(LineSet* set, const std::string& name, LineSetting* setting,
                    int visibility) override {
    forEach([&](FileOut& o) { o.lineSetStart(set, name, setting, visibility); });
  }
  void StrokeStart(int, float width, const Color& colour, float opacity, bool dashed, float dash,
                   float gap) override {
    forEach([&](FileOut& o) { o.strokeStart(width, colour, opacity, dashed, dash, gap); });
  }
  void Segment(float x0, float y0, float x1, float y1) override {
    const float piece[] = {x0, y0, x1, y1};
    forEach([&](FileOut& o) { o.segments(piece); });
  }
  void Segments(std::span<const float> pieces) override {
    forEach([&](FileOut& o) { o.segments(pieces); });
  }
  void StrokeEnd() override {
    forEach([](FileOut& o) { o.strokeEnd(); });
  }
  void PassEnd() override {
    forEach([](FileOut& o) { o.passEnd(); });
  }

 private:
  FileOutRegistry() = default;

  static void Notify(void* param, NotifyInfo* info) {
    auto* self = static_cast<FileOutRegistry*>(param);
    switch (info->intcode) {
      case NOTIFY_PRE_RENDER: {
        const auto* params = static_cast<const RendParams*>(info->callParam);
        self->forEach([&](FileOut& o) { o.renderStart(params); });
        break;
      }
      case NOTIFY_PRE_RENDERFRAME:
        self->forEach([](FileOut& o) { o.beforeFrame(); });
        break;
      case NOTIFY_POST_RENDERFRAME:
        self->forEach([](FileOut& o) { o.afterFrame(); });
        break;
      case NOTIFY_FRAME_COMPLETE:
        self->forEach([](FileOut& o) { o.frameComplete(); });
        break;
      case NOTIFY_POST_RENDER:
        self->forEach([](FileOut& o) { o.renderEnd(); });
        break;
      default:
        break;
    }
  }

  template <class F>
  void forEach(F&& f) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (FileOut* out : outputs_) f(*out);
  }

  std::mutex mutex_;
  std::vector<FileOut*> outputs_;  // in creation order
};

// --- Blocks and names --------------------------------------------------------------------

ParamBlockDesc2* FileOutBlockDesc() {
  static ParamBlockDesc2 desc{AutoBlockHeader(kFileOutBlockID, "tarnis_fileout", kFileOutBlockRef),
                              {FileTypeParam(), FileNameParam()}};
  return &desc;
}

ParamBlockDesc2* FileOutLineBlockDesc() {
  static ParamBlockDesc2 desc{
      AutoBlockHeader(kFileOutLineBlockID, "tarnis_fileout_line", kFileOutLineBlockRef),
      {CheckboxParam(kFileOutLineEnable, "lineEnable", P_ANIMATABLE, true),
       CheckboxParam(kFileOutHiddenLineEnable, "hiddenLineEnable", P_ANIMATABLE, true)}};
  return &desc;
}

void BindFileOutBlocks(ClassDesc2* cd) {
  FileOutBlockDesc()->SetClassDesc(cd);
  FileOutLineBlockDesc()->SetClassDesc(cd);
}

PluginClassDesc<FileOut>* GetFileOutDesc() {
  return PluginClassDesc<FileOut>::Get();
}

const char* FileOutParamDisplayName(int blockID, ParamID id) {
  int text = -1;
  if (blockID == kFileOutBlockID) {
    text = id == kFileOutFileType ? kStrFileOutFileType
                                  : (id == kFileOutFileName ? kStrFileOutFileName : -1);
  } else if (blockID == kFileOutLineBlockID) {
    text = id == kFileOutLineEnable
               ? kStrFileOutLineEnable
               : (id == kFileOutHiddenLineEnable ? kStrFileOutHiddenLineEnable : -1);
  }
  const char* name = text < 0 ? nullptr : FindString(text);
  return name ? name : "";
}

const char* FileOutPanelTitle(int blockID) {
  const int text = blockID == kFileOutBlockID
                       ? kStrFileOutClassName
                       : (blockID == kFileOutLineBlockID ? kStrFileOutLinePanel : -1);
  const char* title = text < 0 ? nullptr : FindString(text);
  return title ? title : "";
}

std::string FileOutLayerName(const std::string& lineSetName, bool hidden) {
  const std::string suffix = hidden ? "(hidden)" : "";
  size_t keep = std::min(lineSetName.size(), kMaxLayerName - suffix.size());
  // Back up to the start of a UTF-8 sequence.
  while (keep > 0 && keep < lineSetName.size() &&
         (static_cast<unsigned char>(lineSetName[keep]) & 0xC0) == 0x80) {
    --keep;
  }
  return lineSetName.substr(0, keep) + suffix;
}

std::unique_ptr<VectorImage> MakeVectorWriter(int fileType) {
  switch (fileType) {
    case kFileTypeIllustratorEps:
      return std::make_unique<AIEPSImage>();
    case kFileTypePlainEps:
      return std::make_unique<EPSImage>();
    case kFileTypeSvg:
      return std::make_unique<SVGImage>();
    default:
      return nullptr;
  }
}

// --- FileOut -------------------------------------------------------------------------------

FileOut::FileOut(bool loading) {
  FileOutRegistry::Get().Add(this);
  if (!loading) GetFileOutDesc()->MakeAutoParamBlocks(this);
}

FileOut::~FileOut() {
  FileOutRegistry::Get().Remove(this);
}

void FileOut::Apply(TimeValue, Bitmap*, RenderGlobalContext*, CheckAbortCallback*) {}

void FileOut::GetClassName(CStr& s) {
  s = GetFileOutDesc()->ClassName();
}

ReferenceTarget* FileOut::GetReference(int i) {
  return i >= 0 && i < kFileOutNumRefs ? blocks_[i] : nullptr;
}

CStr FileOut::SubAnimName(int i) {
  return FileOutPanelTitle(i == kFileOutBlockRef
                               ? kFileOutBlockID
                               : (i == kFileOutLineBlockRef ? kFileOutLineBlockID : -1));
}

void FileOut::SetReference(int i, ReferenceTarget* target) {
  if (i < 0 || i >= kFileOutNumRefs) return;
  auto* pb = dynamic_cast<IParamBlock2*>(target);
  const ParamBlockDesc2* want = i == kFileOutBlockRef ? FileOutBlockDesc() : FileOutLineBlockDesc();
  if (target && (!pb || pb->GetDesc() != want)) return;
  blocks_[i] = pb;
}

ReferenceTarget* FileOut::Clone(RemapDir& remap) {
  auto* copy = new FileOut(true);
  BaseClone(this, copy, remap);
  for (int i = 0; i < kFileOutNumRefs; ++i) copy->ReplaceReference(i, remap.CloneRef(blocks_[i]));
  copy->SetOn(IsOn());
  return copy;
}

IOResult FileOut::Save(ISave* isave) {
  isave->BeginChunk(kOnStateChunk);
  const IOResult r = isave->WriteInt(IsOn() ? 1 : 0);
  isave->EndChunk();
  return r;
}

IOResult FileOut::Load(ILoad* iload) {
  IOResult r = IO_OK;
  while ((r = iload->OpenChunk()) == IO_OK) {
    if (iload->CurChunkID() == kOnStateChunk) {
      int32_t on = 1;
      if (iload->ReadInt(on) != IO_OK) return IO_ERROR;
      SetOn(on != 0);
    }
    if (iload->CloseChunk() != IO_OK) return IO_ERROR;
  }
  return r == IO_ERROR ? IO_ERROR : IO_OK;
}

// --- Render notifications ------------------------------------------------------------------

void FileOut::renderStart(const RendParams* params) {
  writer_.reset();
  disabled_ = false;
  active_ = false;
  passes_ = 0;
  set_ = nullptr;
  part_ = nullptr;
  strokeFlag_ = false;
  strokeOpen_ = false;
  passesDone_ = false;
  if (!params) {
    disabled_ = true;
    return;
  }
  IParamBlock2* file = FileBlock();
  IParamBlock2* lines = LineBlock();
  if (!file || !lines) return;
  const std::string fileName = file->GetStr(kFileOutFileName);
  if (fileName.empty()) return;
  name_ = SplitOutputName(ResolveFileName(fileName));
  writer_ = MakeVectorWriter(file->GetInt(kFileOutFileType));
  if (!writer_) return;
  lineEnable_ = lines->GetInt(kFileOutLineEnable, 0) != 0;
  hiddenLineEnable_ = lines->GetInt(kFileOutHiddenLineEnable, 0) != 0;
  singleFrame_ = params->singleFrame;
  base_ = remembered_ = strokeFirst_ = writer_->End();
}

void FileOut::beforeFrame() {
  frameComplete();
  passesDone_ = false;
}

// A host that says when a frame is complete gets the frame's file before the
// frame's images; others get it when the next frame starts or the render ends.
void FileOut::frameComplete() {
  if (!disabled_ && writer_ && writer_->HasCommands()) writeFrame();
}

void FileOut::afterFrame() {
  set_ = nullptr;
  part_ = nullptr;
  passes_ = 0;
}

void FileOut::renderEnd() {
  if (writer_ && writer_->HasCommands()) {
    // A cancel that stopped the frame's lines leaves a frame whose image is
    // not written either: its file would show lines of no picture.
    const bool unfinished = GetCOREInterface()->GetCancel() && !passesDone_;
    if (unfinished) {
      writer_->Clear();
    } else {
      writeFrame();
    }
  }
  writer_.reset();
  strokeOpen_ = false;
}

void FileOut::writeFrame() {
  dropUnpaintedStroke();
  const std::string path = FrameOutputPath(name_, frame_, singleFrame_);
  writer_->Optimize();
  std::string problem;
  if (!MakeFolderOf(path, problem) || !writer_->Write(path, &problem)) {
    GetCOREInterface()->OutputFailed(path.c_str(), problem.c_str());
  }
  writer_->Clear();
  base_ = remembered_ = strokeFirst_ = writer_->End();
}

// --- The line effects' calls ----------------------------------------------------------------

bool FileOut::inEffectList() {
  Interface* ip = GetCOREInterface();
  const int n = ip->NumEffects();
  for (int i = 0; i < n; ++i) {
    if (ip->GetEffect(i) == this) return true;
  }
  return false;
}

void FileOut::frameStart(TimeValue t, int width, int height) {
  if (disabled_ || !writer_) return;
  active_ = inEffectList() && Active(t);
  if (!active_) return;
  dropUnpaintedStroke();
  width_ = width, height_ = height;
  const float w = static_cast<float>(width), h = static_cast<float>(height);
  // A second line effect in the frame draws onto the page the first set up.
  if (passes_ == 0) {
    writer_->SetTolerance(kJoinTolerance);
    writer_->SetBoundingBox(0.0f, 0.0f, w, h);
    // The page has y upward; strokes come in image pixels with y downward.
    writer_->Translate(0.0f, h);
    writer_->Scale(1.0f, -1.0f);
    if (!writer_->SupportsLayers()) writer_->ClipRect(0.0f, 0.0f, w, h);
    writer_->SetLineJoin(kRoundJoin);
    writer_->SetLineCap(kRoundCap);
    frame_ = t / GetTicksPerFrame();
    passesDone_ = false;
  }
  writer_->SetCursor(writer_->End());
  base_ = writer_->Last();
  lastLookValid_ = false;
}

void FileOut::lineSetStart(LineSet* set, const std::string& name, LineSetting* part,
                           int visibility) {
  if (!collecting()) return;
  dropUnpaintedStroke();
  strokeFlag_ = visibility == kHidden ? hiddenLineEnable_ : lineEnable_;
  if (!strokeFlag_) return;
  if (set != set_ || visibility != visibility_ || part != part_) lastLookValid_ = false;
  if (set != set_ || visibility != visibility_) {
    // Line sets of one visibility go before those that started earlier; the
    // first of the other visibility goes after everything so far.
    if (visibility != visibility_) base_ = writer_->Last();
    writer_->SetCursor(writer_->After(base_));
    if (writer_->SupportsLayers()) {
      writer_->BeginLayer(FileOutLayerName(name, visibility == kHidden));
      writer_->ClipRect(0.0f, 0.0f, static_cast<float>(width_), static_cast<float>(height_));
    }
    remembered_ = writer_->Before(writer_->Cursor());
    // The anchor: the first part's strokes follow it, later parts' precede it.
    writer_->Comment("");
    set_ = set;
    visibility_ = visibility;
    part_ = part;
  } else if (part != part_) {
    writer_->SetCursor(writer_->After(remembered_));
    writer_->Comment("");
    part_ = part;
  }
}

void FileOut::strokeStart(float width, const Color& colour, float opacity, bool dashed, float dash,
                          float gap) {
  if (!collecting() || !strokeFlag_) return;
  dropUnpaintedStroke();
  const Position before = writer_->Before(writer_->Cursor());
  const StrokeLook look{width,
                        colour.r,
                        colour.g,
                        colour.b,
                        opacity,
                        dashed,
                        dashed ? dash : 0.0f,
                        dashed ? gap : 0.0f};
  if (!lastLookValid_ || !(look == lastLook_)) {
    writer_->SetLineWidth(width);
    writer_->SetColor(colour.r, colour.g, colour.b);
    writer_->SetOpacity(opacity);
    if (dashed) {
      const float pattern[] = {dash, gap};
      writer_->SetDash(pattern, 0.0f);
    } else {
      writer_->ClearDash();
    }
    lastLook_ = look;
    lastLookValid_ = true;
  }
  writer_->NewPath();
  strokeFirst_ = writer_->After(before);
  strokeOpen_ = true;
}

void FileOut::segments(std::span<const float> pieces) {
  if (!strokeOpen_ || !collecting() || !strokeFlag_) return;
  for (size_t i = 0; i + 3 < pieces.size(); i += 4) {
    const float x0 = pieces[i], y0 = pieces[i + 1], x1 = pieces[i + 2], y1 = pieces[i + 3];
    // A piece that is not a number would break the file.
    if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1))
      continue;
    writer_->AddLine(x0, y0, x1, y1);
  }
}

void FileOut::strokeEnd() {
  if (!strokeOpen_ || !collecting()) return;
  writer_->StrokePath();
  strokeOpen_ = false;
}

void FileOut::passEnd() {
  if (!collecting()) return;
  dropUnpaintedStroke();
  ++passes_;
  passesDone_ = !GetCOREInterface()->GetCancel();
}

void FileOut::dropUnpaintedStroke() {
  if (!strokeOpen_) return;
  strokeOpen_ = false;
  lastLookValid_ = false;
  if (writer_) writer_->Erase(strokeFirst_, writer_->Cursor());
}

}  // namespace tarnis
