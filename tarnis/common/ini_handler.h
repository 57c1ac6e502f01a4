// IniHandler: one settings file of the plug-in, read and written key by key,
// plus the operations built on those keys that store parameter blocks,
// descriptor defaults, curves, shapes and texture coordinates. Also here: the
// plug-in's settings directory, the handler types of each settings file and
// the save-as-default step every panel's button runs.
//
// Handlers are short-lived: a save or load makes one, gives it its path,
// uses it and drops it. MemIniHandler (mem_ini_handler.h) does the same over
// sections held in memory; the non-virtual operations go through the virtual
// ones and so work the same on both.
//
// Values are written in the formats "%f" (floats), "%d" (ints, bools, flags)
// and "%f %f %f" (colours), always with "." as the decimal point whatever the
// process locale. A key that is missing, empty or does not parse counts as
// missing.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "sdk/curve_control.h"
#include "sdk/mtl.h"
#include "sdk/param_block.h"
#include "tarnis/common/ini_file.h"

namespace tarnis {

class QvPolygonCtrl;

// Picks the parameters a block operation handles, by id.
using ParamFilter = std::function<bool(ParamID)>;

class IniHandler {
 public:
  // Paths are held in 1024 characters including the terminator.
  static constexpr size_t kMaxPath = 1024;
  // The most a value read by the block, curve and coordinate operations
  // (and ReadValue) may hold; longer values are cut.
  static constexpr int kMaxValue = 4096;

  IniHandler() = default;
  // A handler of the file at `path` (see SetPath).
  explicit IniHandler(std::string_view path);
  virtual ~IniHandler() = default;

  // Writes one key into the file, creating the section and the key when
  // absent. A null value writes an empty one. A key that holds the value
  // already leaves the file untouched. False when there is no path, the file
  // exists but cannot be read whole or holds binary data, or the write fails
  // (the old file then stays as it was).
  virtual bool WriteString(const char* section, const char* key, const char* value);
  // Copies the key's value into `buffer` (at most size - 1 bytes, never
  // cutting a UTF-8 sequence, always terminated) and answers true only when
  // the value is present and not empty; otherwise the buffer holds an empty
  // text. A missing or unreadable file reads as a file without keys.
  virtual bool ReadString(const char* section, const char* key, char* buffer, int size);
  // Makes sure the file can be written. An empty path gives false. When the
  // file can be opened for appending (which creates it empty when missing)
  // and its directory takes new files (writes replace the file through a
  // temporary one beside it), the path stands and the answer is false.
  // Otherwise the file moves to the fallback directory
  // (FallbackSettingsDirectory, created when missing): an existing file is
  // copied there unless a copy is already there, the path becomes the new
  // one and the answer is true. Without a usable fallback directory the
  // path stays and the answer is false.
  virtual bool ResolvePath();

  const std::string& Path() const { return path_; }
  // Sets the file path. A path of kMaxPath characters or more does not fit:
  // the path becomes empty (reads then find nothing, writes fail) and the
  // answer is false.
  bool SetPath(std::string_view path);

  // The value of a key (at most kMaxValue - 1 bytes), or nothing when it is
  // missing or empty.
  std::optional<std::string> ReadValue(const char* section, const char* key);

  // Writes the block's values at the current time, one key per parameter
  // named by its internal name, in declaration order: float types "%f", int
  // and bool "%d", colour "%f %f %f", node reference the node's name (left
  // out when no node is set). Other types (Point3, strings, maps,
  // materials, tables) are not written. `filter` picks parameters by id.
  void WriteBlock(const char* section, IParamBlock2& pb, const ParamFilter& filter = {});
  // Sets every parameter whose key is present into the block at the current
  // time; a node is looked up by name in the scene (none when no node has
  // it). False when a float, int, bool or colour key was missing or did not
  // parse; the other keys are still applied. A missing node key leaves the
  // node as it is and does not count, since WriteBlock leaves out empty
  // nodes.
  bool ReadBlock(const char* section, IParamBlock2& pb, const ParamFilter& filter = {});
  // Makes the values of the float, int, bool and colour keys that are
  // present the defaults (and script defaults) of the descriptor's
  // parameters, for blocks created afterwards. Missing keys leave their
  // defaults; existing blocks keep their values.
  void LoadDefaults(const char* section, ParamBlockDesc2& desc);

  // Writes the curve's points: "<prefix>num", then per point i the keys
  // "<prefix><i>px", "py", "ix", "iy", "ox", "oy" ("%f") and "f" (flags).
  void WriteCurve(const char* section, const ICurve& curve, const char* prefix = "");
  // Sets the number of points from "<prefix>num", then each point as
  // stored (no x-order constraint). Stops at the first missing key (or a
  // value that does not parse), leaving the points read so far and the rest
  // as they were, and answers false; true when every point was read.
  bool ReadCurve(const char* section, ICurve& curve, const char* prefix = "");

  // Writes the shape under keys with the prefix "hi_": "hi_num" (the node
  // count), then per node i "hi_<i>a" (angle), "hi_<i>r" (radius), "hi_<i>t"
  // (type, "%d") and the handles as the outline uses them: "hi_<i>h0x",
  // "h0y" the incoming one, "hi_<i>h1x", "h1y" the outgoing one (0 0 for a
  // corner; minus the incoming one for a smooth node).
  void WriteShape(const char* section, const QvPolygonCtrl& shape);
  // Resets the shape to "hi_num" nodes, then sets node after node and stops
  // at the first node with a key missing or not parsing (it and the nodes
  // after it keep their reset values): false then, true when every node was
  // read. A count that is missing, negative or above kMaxShapeNodes changes
  // nothing and answers false.
  bool ReadShape(const char* section, QvPolygonCtrl& shape);

  // Writes the generator's settings under keys "StdUV_<name>" (mapping,
  // offsets, scales, angles, blur, noise, tiling, channel, flags, source,
  // slot type, axis, clip flag, and the noise flags as 0 / 1).
  void WriteCoords(const char* section, StdUVGen& uv);
  // Reads "StdUV_SlotType" first; the mapping is read only when that slot
  // type is the environment slot (1). Every other key is applied only when
  // present.
  void ReadCoords(const char* section, StdUVGen& uv);

 private:
  bool WriteInt(const char* section, const std::string& key, int v);
  bool WriteFloat(const char* section, const std::string& key, float v);
  std::optional<int> ReadInt(const char* section, const std::string& key);
  std::optional<float> ReadFloat(const char* section, const std::string& key);
  bool ReadPoint(const char* section, const std::string& key, CurvePoint& pt);
  // A texture-coordinate int key; `truncate` reads it as a number and drops
  // the fraction.
  std::optional<double> ReadCoordValue(const char* section, const char* name, bool truncate);
  // The file as this handler last read or wrote it, read again whenever its
  // stamp changed; null when it exists but cannot be read.
  IniFile* CurrentFile();

  std::string path_;
  // Kept so that reading a block's keys reads and indexes the file once;
  // shared with the other handlers of the same file version until written.
  std::shared_ptr<IniFile> file_;
  FileStamp fileStamp_;
};

// The plug-in's settings directory: host directory 20 followed by
// "/plugcfg", created when missing. Computed on the first call that finds a
// host directory and kept for the rest of the run; empty while the host has
// no directory 20.
std::string SettingsDirectory();
// Forgets the kept directory, so the next call computes it again (tests that
// switch the host interface).
void ForgetSettingsDirectory();
// The path of a settings file in the settings directory; empty when there is
// no settings directory.
std::string SettingsFilePath(std::string_view fileName);
// Where settings go when the settings directory cannot be written:
// "$XDG_DATA_HOME/KORVO/Tarnis", or "$HOME/.local/share/KORVO/Tarnis" when
// XDG_DATA_HOME is unset, empty or relative; empty when neither is known.
std::string FallbackSettingsDirectory();

// The settings files and their handlers.
inline constexpr char kTarnisIniFile[] = "tarnis.ini";
inline constexpr char kBrushIniFile[] = "tarnis_line.ini";
inline constexpr char kStrokeIniFile[] = "tarnis_stroke.ini";
inline constexpr char kLineRefTexIniFile[] = "tarnis_line_ref_tex.ini";
// Zone gradients are read and written through a plain IniHandler.
inline constexpr char kGradIniFile[] = "tarnis_grad.ini";

// General settings of the plug-in (the line dialog position).
class TarnisIni : public IniHandler {
 public:
  TarnisIni() : IniHandler(SettingsFilePath(kTarnisIniFile)) {}
};
// Brush defaults and their damping curves.
class BrushIniHandler : public IniHandler {
 public:
  BrushIniHandler() : IniHandler(SettingsFilePath(kBrushIniFile)) {}
};
// Stroke map defaults and their damping curves.
class StrokeIniHandler : public IniHandler {
 public:
  StrokeIniHandler() : IniHandler(SettingsFilePath(kStrokeIniFile)) {}
};
// Colour-range defaults of the reflection/refraction line map.
class LineRefTexIniHandler : public IniHandler {
 public:
  LineRefTexIniHandler() : IniHandler(SettingsFilePath(kLineRefTexIniFile)) {}
};

// The save-as-default step of a panel: ResolvePath, write the block's
// current values into `section` (and the curve, when given, into
// `curveSection` with an empty key prefix), then load the section just
// written into the defaults of the block's descriptor, so objects created
// afterwards start from these values. The defaults come from what the file
// holds after the write, so a write that fails changes none of them.
void SaveAsDefault(IniHandler& handler, const char* section, IParamBlock2& pb,
                   const char* curveSection = nullptr, const ICurve* curve = nullptr);

}  // namespace tarnis
