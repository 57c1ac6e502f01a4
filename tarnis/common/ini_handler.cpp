// The file-backed settings handler, the settings directory and its
// fallback, and the parameter-block and curve operations over keys.
#include "tarnis/common/ini_handler.h"

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "sdk/inode.h"
#include "sdk/interface.h"
#include "tarnis/common/ini_values.h"
#include "tarnis/common/shape_control.h"

namespace tarnis {
namespace fs = std::filesystem;

namespace {

std::mutex gSettingsDirMutex;
std::string gSettingsDir;

// How a parameter type is stored in a settings file.
enum class KeyKind { kNone, kFloat, kInt, kColor, kNode };

KeyKind KindOf(ParamType2 type) {
  switch (type) {
    case TYPE_FLOAT:
    case TYPE_ANGLE:
    case TYPE_PCNT_FRAC:
    case TYPE_WORLD:
      return KeyKind::kFloat;
    case TYPE_INT:
    case TYPE_BOOL:
      return KeyKind::kInt;
    case TYPE_RGBA:
      return KeyKind::kColor;
    case TYPE_INODE:
      return KeyKind::kNode;
    default:
      return KeyKind::kNone;
  }
}

TimeValue Now() {
  return GetCOREInterface()->GetTime();
}

// True when the file can be opened for appending (which creates it empty
// when missing) and its directory takes new files: writes go to a temporary
// file beside the target that then replaces it. O_NONBLOCK keeps a pipe
// without reader from stalling the open.
bool CanWrite(const std::string& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  ::close(fd);
  std::string dir = fs::path(path).parent_path().string();
  return ::access(dir.empty() ? "." : dir.c_str(), W_OK | X_OK) == 0;
}

// The block value of a written type as its text; nothing when the block
// does not answer it or (for nodes) no node is set.
std::optional<std::string> BlockValueText(IParamBlock2& pb, const ParamDef& def, TimeValue t) {
  Interval valid = FOREVER;
  switch (KindOf(def.type)) {
    case KeyKind::kFloat: {
      float v = 0.0f;
      if (pb.GetValue(def.id, t, v, valid)) return FormatFloat(v);
      break;
    }
    case KeyKind::kInt: {
      int v = 0;
      if (pb.GetValue(def.id, t, v, valid)) return std::to_string(v);
      break;
    }
    case KeyKind::kColor: {
      Color v;
      if (pb.GetValue(def.id, t, v, valid)) return FormatColor(v);
      break;
    }
    case KeyKind::kNode: {
      ReferenceTarget* target = nullptr;
      if (!pb.GetValue(def.id, t, target, valid)) break;
      auto* node = dynamic_cast<INode*>(target);
      if (node && node->GetName()) return std::string(node->GetName());
      break;
    }
    case KeyKind::kNone:
      break;
  }
  return std::nullopt;
}

// The value a key's text stands for, for a parameter of that kind (nodes
// excluded); empty when it does not parse.
PB2Value ParseValue(KeyKind kind, std::string_view text) {
  switch (kind) {
    case KeyKind::kFloat:
      if (std::optional<float> v = ParseFloat(text)) return *v;
      break;
    case KeyKind::kInt:
      if (std::optional<int> v = ParseInt(text)) return *v;
      break;
    case KeyKind::kColor:
      if (std::optional<Color> v = ParseColor(text)) return *v;
      break;
    default:
      break;
  }
  return {};
}

}  // namespace

// --- The file and its path --------------------------------------------------

IniHandler::IniHandler(std::string_view path) {
  SetPath(path);
}

bool IniHandler::SetPath(std::string_view path) {
  file_.reset();
  bool fits = path.size() < kMaxPath;
  path_ = fits ? path : std::string_view();
  return fits;
}

namespace {

// Every handler of one file version shares one parsed and indexed copy: a
// run makes handlers by the hundred (a brush reads its curves through one
// each), and parsing a large file for each would cost its size every time.
std::shared_ptr<IniFile> SharedFile(const std::string& path, const FileStamp& stamp) {
  static std::mutex mutex;
  static std::unordered_map<std::string, std::pair<FileStamp, std::shared_ptr<IniFile>>> files;
  std::lock_guard<std::mutex> guard(mutex);
  auto& [kept, file] = files[path];
  if (file && kept == stamp) return file;
  auto loaded = std::make_shared<IniFile>();
  if (loaded->Load(path) == IniFile::LoadStatus::kFailed) {
    file.reset();
    return nullptr;
  }
  // Indexed now, so that handlers sharing it only ever read it.
  loaded->Get("", "");
  kept = stamp;
  file = loaded;
  return file;
}

}  // namespace

IniFile* IniHandler::CurrentFile() {
  FileStamp stamp = FileStamp::Of(path_);
  if (file_ && stamp == fileStamp_) return file_.get();
  file_ = SharedFile(path_, stamp);
  fileStamp_ = stamp;
  return file_.get();
}

bool IniHandler::WriteString(const char* section, const char* key, const char* value) {
  if (path_.empty() || !section || !key) return false;
  IniFile* file = CurrentFile();
  if (!file) return false;
  // A value the file holds already is not written again: the file stays byte for byte.
  if (file->Get(section, key) == IniFile::CleanValue(value ? value : "")) return true;
  // The shared copy stays as the disk has it; this handler changes its own.
  if (file_.use_count() > 1) {
    file_ = std::make_shared<IniFile>(*file_);
    file = file_.get();
  }
  if (!file->Set(section, key, value ? value : "")) return false;
  if (!file->Save(path_)) {
    file_.reset();  // holds a change the disk does not
    return false;
  }
  fileStamp_ = FileStamp::Of(path_);
  return true;
}

bool IniHandler::ReadString(const char* section, const char* key, char* buffer, int size) {
  if (!buffer || size <= 0) return false;
  buffer[0] = '\0';
  if (path_.empty() || !section || !key) return false;
  IniFile* file = CurrentFile();
  std::optional<std::string> value = file ? file->Get(section, key) : std::nullopt;
  if (!value || value->empty()) return false;
  CopyToBuffer(*value, buffer, size);
  return true;
}

bool IniHandler::ResolvePath() {
  if (path_.empty()) return false;
  if (CanWrite(path_)) return false;
  std::string dir = FallbackSettingsDirectory();
  if (dir.empty()) return false;
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (!fs::is_directory(dir, ec)) return false;
  fs::path target = fs::path(dir) / fs::path(path_).filename();
  if (target.string().size() >= kMaxPath) return false;
  if (fs::is_regular_file(path_, ec)) {
    // An earlier copy holds what was saved since; it is not overwritten.
    fs::copy_file(path_, target, fs::copy_options::skip_existing, ec);
  }
  return SetPath(target.string());
}

std::optional<std::string> IniHandler::ReadValue(const char* section, const char* key) {
  std::string buffer(kMaxValue, '\0');
  if (!ReadString(section, key, buffer.data(), kMaxValue)) return std::nullopt;
  buffer.resize(std::strlen(buffer.c_str()));
  return buffer;
}

bool IniHandler::WriteInt(const char* section, const std::string& key, int v) {
  return WriteString(section, key.c_str(), std::to_string(v).c_str());
}

bool IniHandler::WriteFloat(const char* section, const std::string& key, float v) {
  return WriteString(section, key.c_str(), FormatFloat(v).c_str());
}

std::optional<int> IniHandler::ReadInt(const char* section, const std::string& key) {
  std::optional<std::string> text = ReadValue(section, key.c_str());
  return text ? ParseInt(*text) : std::nullopt;
}

std::optional<float> IniHandler::ReadFloat(const char* section, const std::string& key) {
  std::optional<std::string> text = ReadValue(section, key.c_str());
  return text ? ParseFloat(*text) : std::nullopt;
}

// --- Parameter blocks ---------------------------------------------------------

void IniHandler::WriteBlock(const char* section, IParamBlock2& pb, const ParamFilter& filter) {
  ParamBlockDesc2* desc = pb.GetDesc();
  if (!desc) return;
  TimeValue t = Now();
  for (int i = 0; i < desc->Count(); ++i) {
    const ParamDef& def = desc->GetParamDefByIndex(i);
    if (filter && !filter(def.id)) continue;
    if (std::optional<std::string> text = BlockValueText(pb, def, t)) {
      WriteString(section, def.internalName.c_str(), text->c_str());
    }
  }
}

bool IniHandler::ReadBlock(const char* section, IParamBlock2& pb, const ParamFilter& filter) {
  ParamBlockDesc2* desc = pb.GetDesc();
  if (!desc) return false;
  TimeValue t = Now();
  bool complete = true;
  for (int i = 0; i < desc->Count(); ++i) {
    const ParamDef& def = desc->GetParamDefByIndex(i);
    KeyKind kind = KindOf(def.type);
    if (kind == KeyKind::kNone || (filter && !filter(def.id))) continue;
    std::optional<std::string> text = ReadValue(section, def.internalName.c_str());
    if (kind == KeyKind::kNode) {
      if (text) {
        INode* node = GetCOREInterface()->GetINodeByName(text->c_str());
        pb.SetValue(def.id, t, static_cast<ReferenceTarget*>(node));
      }
      continue;
    }
    PB2Value value = text ? ParseValue(kind, *text) : PB2Value();
    if (value.IsEmpty()) {
      complete = false;
      continue;
    }
    pb.SetValue(def.id, t, value);
  }
  return complete;
}

void IniHandler::LoadDefaults(const char* section, ParamBlockDesc2& desc) {
  for (int i = 0; i < desc.Count(); ++i) {
    const ParamDef& def = desc.GetParamDefByIndex(i);
    KeyKind kind = KindOf(def.type);
    if (kind == KeyKind::kNone || kind == KeyKind::kNode) continue;
    std::optional<std::string> text = ReadValue(section, def.internalName.c_str());
    if (!text) continue;
    PB2Value value = ParseValue(kind, *text);
    if (!value.IsEmpty()) desc.SetDefault(def.id, std::move(value));
  }
}

// --- Curves -------------------------------------------------------------------

void IniHandler::WriteCurve(const char* section, const ICurve& curve, const char* prefix) {
  const std::string p = prefix ? prefix : "";
  TimeValue t = Now();
  WriteInt(section, p + "num", curve.GetNumPts());
  for (int i = 0; i < curve.GetNumPts(); ++i) {
    const CurvePoint pt = curve.GetPoint(t, i);
    const std::string k = p + std::to_string(i);
    WriteFloat(section, k + "px", pt.p.x);
    WriteFloat(section, k + "py", pt.p.y);
    WriteFloat(section, k + "ix", pt.in.x);
    WriteFloat(section, k + "iy", pt.in.y);
    WriteFloat(section, k + "ox", pt.out.x);
    WriteFloat(section, k + "oy", pt.out.y);
    WriteInt(section, k + "f", pt.flags);
  }
}

bool IniHandler::ReadPoint(const char* section, const std::string& key, CurvePoint& pt) {
  float* coords[] = {&pt.p.x, &pt.p.y, &pt.in.x, &pt.in.y, &pt.out.x, &pt.out.y};
  const char* names[] = {"px", "py", "ix", "iy", "ox", "oy"};
  for (int c = 0; c < 6; ++c) {
    std::optional<float> v = ReadFloat(section, key + names[c]);
    if (!v) return false;
    *coords[c] = *v;
  }
  std::optional<int> flags = ReadInt(section, key + "f");
  if (!flags) return false;
  pt.flags = *flags;
  return true;
}

bool IniHandler::ReadCurve(const char* section, ICurve& curve, const char* prefix) {
  const std::string p = prefix ? prefix : "";
  std::optional<int> num = ReadInt(section, p + "num");
  if (!num || !curve.SetNumPts(*num)) return false;
  TimeValue t = Now();
  for (int i = 0; i < *num; ++i) {
    CurvePoint pt;
    if (!ReadPoint(section, p + std::to_string(i), pt)) return false;
    // The whole curve is being replaced point by point: neighbours still
    // hold old values, so constraints against them would bend the new ones.
    if (!curve.SetPoint(t, i, pt, /*checkConstraints=*/false)) return false;
  }
  return true;
}

// --- Shapes -------------------------------------------------------------------

namespace {
constexpr char kShapePrefix[] = "hi_";
}  // namespace

void IniHandler::WriteShape(const char* section, const QvPolygonCtrl& shape) {
  const std::string p = kShapePrefix;
  WriteInt(section, p + "num", shape.NumNodes());
  for (int i = 0; i < shape.NumNodes(); ++i) {
    const ShapeNode node = shape.GetNode(i);
    const Point2 in = shape.InHandle(i);
    const Point2 out = shape.OutHandle(i);
    const std::string k = p + std::to_string(i);
    WriteFloat(section, k + "a", node.angle);
    WriteFloat(section, k + "r", node.radius);
    WriteInt(section, k + "t", node.type);
    WriteFloat(section, k + "h0x", in.x);
    WriteFloat(section, k + "h0y", in.y);
    WriteFloat(section, k + "h1x", out.x);
    WriteFloat(section, k + "h1y", out.y);
  }
}

bool IniHandler::ReadShape(const char* section, QvPolygonCtrl& shape) {
  const std::string p = kShapePrefix;
  std::optional<int> num = ReadInt(section, p + "num");
  if (!num || *num < 0 || *num > kMaxShapeNodes) return false;
  QvPolygonCtrl::BatchEdit batch(shape);
  if (!shape.Reset(*num)) return false;
  for (int i = 0; i < *num; ++i) {
    const std::string k = p + std::to_string(i);
    std::optional<float> angle = ReadFloat(section, k + "a");
    std::optional<float> radius = angle ? ReadFloat(section, k + "r") : std::nullopt;
    std::optional<int> type = radius ? ReadInt(section, k + "t") : std::nullopt;
    float h[4] = {};
    const char* names[] = {"h0x", "h0y", "h1x", "h1y"};
    bool complete = type.has_value();
    for (int c = 0; c < 4 && complete; ++c) {
      std::optional<float> v = ReadFloat(section, k + names[c]);
      complete = v.has_value();
      if (complete) h[c] = *v;
    }
    if (!complete) return false;
    shape.SetNode(i, *angle, *radius, *type, Point2(h[0], h[1]), Point2(h[2], h[3]));
  }
  return true;
}

// --- Texture coordinates ------------------------------------------------------

namespace {

constexpr char kCoordPrefix[] = "StdUV_";

// One key of the standard generator's settings: how it is written and its
// getter and setter (ints travel as doubles, which hold them exactly).
struct CoordKey {
  enum Format { kFloat, kInt, kIntReadAsNumber } format;
  const char* name;
  double (*get)(StdUVGen&, TimeValue);
  void (*set)(StdUVGen&, double, TimeValue);
};

template <float (StdUVGen::*Get)(TimeValue), void (StdUVGen::*Set)(float, TimeValue)>
CoordKey FloatKey(const char* name) {
  return {CoordKey::kFloat, name, [](StdUVGen& g, TimeValue t) -> double { return (g.*Get)(t); },
          [](StdUVGen& g, double v, TimeValue t) { (g.*Set)(static_cast<float>(v), t); }};
}

template <int (StdUVGen::*Get)(), void (StdUVGen::*Set)(int)>
CoordKey IntKey(const char* name) {
  return {CoordKey::kInt, name, [](StdUVGen& g, TimeValue) -> double { return (g.*Get)(); },
          [](StdUVGen& g, double v, TimeValue) { (g.*Set)(static_cast<int>(v)); }};
}

template <int Flag>
CoordKey FlagKey(const char* name) {
  return {CoordKey::kInt, name,
          [](StdUVGen& g, TimeValue) -> double { return g.GetFlag(Flag) != 0 ? 1 : 0; },
          [](StdUVGen& g, double v, TimeValue) { g.SetFlag(Flag, v != 0.0 ? 1 : 0); }};
}

// Every key in the order it is written; the mapping comes first and the slot
// type, which decides whether the mapping is read, is read before all.
const std::vector<CoordKey>& CoordKeys() {
  using G = StdUVGen;
  static const std::vector<CoordKey> keys = {
      {CoordKey::kInt, "CoordMapping",
       [](G& g, TimeValue) -> double { return g.GetCoordMapping(0); },
       [](G& g, double v, TimeValue) { g.SetCoordMapping(static_cast<int>(v)); }},
      FloatKey<&G::GetUOffs, &G::SetUOffs>("UOffs"),
      FloatKey<&G::GetVOffs, &G::SetVOffs>("VOffs"),
      FloatKey<&G::GetUScl, &G::SetUScl>("UScl"),
      FloatKey<&G::GetVScl, &G::SetVScl>("VScl"),
      FloatKey<&G::GetAng, &G::SetAng>("Ang"),
      FloatKey<&G::GetUAng, &G::SetUAng>("UAng"),
      FloatKey<&G::GetVAng, &G::SetVAng>("VAng"),
      FloatKey<&G::GetWAng, &G::SetWAng>("WAng"),
      FloatKey<&G::GetBlur, &G::SetBlur>("Blur"),
      FloatKey<&G::GetBlurOffs, &G::SetBlurOffs>("BlurOffs"),
      FloatKey<&G::GetNoiseAmt, &G::SetNoiseAmt>("NoiseAmt"),
      FloatKey<&G::GetNoiseSize, &G::SetNoiseSize>("NoiseSize"),
      {CoordKey::kIntReadAsNumber, "NoiseLev",
       [](G& g, TimeValue t) -> double { return g.GetNoiseLev(t); },
       [](G& g, double v, TimeValue t) { g.SetNoiseLev(static_cast<int>(v), t); }},
      FloatKey<&G::GetNoisePhs, &G::SetNoisePhs>("NoisePhs"),
      IntKey<&G::GetTextureTiling, &G::SetTextureTiling>("TextureTiling"),
      IntKey<&G::GetMapChannel, &G::SetMapChannel>("MapChannel"),
      IntKey<&G::GetSymFlags, &G::SetSymFlags>("SymFlags"),
      {CoordKey::kInt, "HideMapBackFlag",
       [](G& g, TimeValue) -> double { return g.GetHideMapBackFlag() ? 1 : 0; },
       [](G& g, double v, TimeValue) { g.SetHideMapBackFlag(v != 0.0); }},
      IntKey<&G::GetUVWSource, &G::SetUVWSource>("UVWSource"),
      IntKey<&G::GetSlotType, &G::SetSlotType>("SlotType"),
      IntKey<&G::GetAxis, &G::SetAxis>("Axis"),
      IntKey<&G::GetClipFlag, &G::SetClipFlag>("ClipFlag"),
      FlagKey<UV_NOISE>("Noize"),
      FlagKey<UV_NOISE_ANI>("NoizeAni"),
  };
  return keys;
}

}  // namespace

std::optional<double> IniHandler::ReadCoordValue(const char* section, const char* name,
                                                 bool truncate) {
  std::string key = std::string(kCoordPrefix) + name;
  if (truncate) {
    // Written as an int, read as a number: "3.7" gives 3.
    std::optional<float> v = ReadFloat(section, key);
    if (!v || *v <= -2147483648.0f || *v >= 2147483648.0f) return std::nullopt;
    return std::trunc(*v);
  }
  std::optional<int> v = ReadInt(section, key);
  return v ? std::optional<double>(*v) : std::nullopt;
}

void IniHandler::WriteCoords(const char* section, StdUVGen& uv) {
  TimeValue t = Now();
  for (const CoordKey& k : CoordKeys()) {
    std::string key = std::string(kCoordPrefix) + k.name;
    double v = k.get(uv, t);
    if (k.format == CoordKey::kFloat) {
      WriteFloat(section, key, static_cast<float>(v));
    } else {
      WriteInt(section, key, static_cast<int>(v));
    }
  }
}

void IniHandler::ReadCoords(const char* section, StdUVGen& uv) {
  TimeValue t = Now();
  std::optional<double> slot = ReadCoordValue(section, "SlotType", false);
  if (slot) uv.SetSlotType(static_cast<int>(*slot));
  for (const CoordKey& k : CoordKeys()) {
    std::string_view name = k.name;
    if (name == "SlotType") continue;
    if (name == "CoordMapping" && slot != std::optional<double>(MAPSLOT_ENVIRON)) continue;
    std::optional<double> v;
    if (k.format == CoordKey::kFloat) {
      if (std::optional<float> f = ReadFloat(section, std::string(kCoordPrefix) + k.name)) v = *f;
    } else {
      v = ReadCoordValue(section, k.name, k.format == CoordKey::kIntReadAsNumber);
    }
    if (v) k.set(uv, *v, t);
  }
}

// --- The settings directory -----------------------------------------------------

std::string SettingsDirectory() {
  std::lock_guard lock(gSettingsDirMutex);
  if (!gSettingsDir.empty()) return gSettingsDir;
  std::string root = GetCOREInterface()->GetDir(APP_USER_SETTINGS_DIR);
  if (root.empty()) return {};
  gSettingsDir = (fs::path(root) / "plugcfg").string();
  // A directory that cannot be made is kept all the same: ResolvePath then
  // sends each file to the fallback directory.
  std::error_code ec;
  fs::create_directories(gSettingsDir, ec);
  return gSettingsDir;
}

void ForgetSettingsDirectory() {
  std::lock_guard lock(gSettingsDirMutex);
  gSettingsDir.clear();
}

std::string SettingsFilePath(std::string_view fileName) {
  std::string dir = SettingsDirectory();
  if (dir.empty()) return {};
  return (fs::path(dir) / fileName).string();
}

std::string FallbackSettingsDirectory() {
  auto absolute = [](const char* v) { return v && v[0] == '/'; };
  fs::path base;
  if (const char* data = std::getenv("XDG_DATA_HOME"); absolute(data)) {
    base = data;
  } else if (const char* home = std::getenv("HOME"); absolute(home)) {
    base = fs::path(home) / ".local" / "share";
  } else {
    return {};
  }
  return (base / "KORVO" / "Tarnis").string();
}

void SaveAsDefault(IniHandler& handler, const char* section, IParamBlock2& pb,
                   const char* curveSection, const ICurve* curve) {
  handler.ResolvePath();
  handler.WriteBlock(section, pb);
  if (curve && curveSection) handler.WriteCurve(curveSection, *curve);
  if (ParamBlockDesc2* desc = pb.GetDesc()) handler.LoadDefaults(section, *desc);
}

}  // namespace tarnis
