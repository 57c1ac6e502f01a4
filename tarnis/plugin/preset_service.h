// PresetService: the plug-in's presets as the programs that load the module
// reach them. The module exports, beside the class entry points,
//   extern "C" tarnis::PresetService* TarnisPresetService();
// which answers the service of the loaded module; a program looks it up by
// kPresetServiceEntry in the module that holds the plug-in's classes and
// calls it on the interface thread. Only this header is shared: the calls
// run the module's own code on objects of the module's classes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sdk/reference.h"
#include "tarnis/common/preset_controller.h"

namespace tarnis {

// The kinds of presets, one store and one file each.
enum class PresetKind : int {
  kHighlight = 0,    // the advanced settings' highlight design
  kStroke = 1,       // the stroke map
  kBrush = 2,        // the brush tip (the brush's "parameters")
  kBrushStroke = 3,  // the brush's strokes, distortion, falloff and colour range
  kMatElement = 4,   // the material render element
};
inline constexpr int kNumPresetKinds = 5;

struct PresetKindInfo {
  PresetKind kind;
  const char* word;      // how the command line names the kind
  const char* fileName;  // the store's file in the settings directory
  const char* what;      // what a preset is applied to, for messages
};

inline constexpr PresetKindInfo kPresetKinds[kNumPresetKinds] = {
    {PresetKind::kHighlight, "highlight", kPresetHighlightFile,
     "toon material or advanced settings"},
    {PresetKind::kStroke, "stroke", kPresetStrokeFile, "stroke map"},
    {PresetKind::kBrush, "brush", kPresetBrushFile, "brush or line setting"},
    {PresetKind::kBrushStroke, "brush-stroke", kPresetBrushStrokeFile, "brush or line setting"},
    {PresetKind::kMatElement, "matelem", kPresetMatElementFile, "material render element"},
};

class PresetService {
 public:
  // The preset names of a kind in file order.
  virtual std::vector<std::string> Names(PresetKind kind) = 0;
  // The file of the kind's store; empty while no settings directory is known.
  virtual std::string FilePath(PresetKind kind) = 0;
  // Why the kind's file was not read ("<path>: ..."), or empty.
  virtual std::string FileProblem(PresetKind kind) = 0;
  // The object that presets of `kind` are saved from and applied to when
  // the user names `object`: the object itself when it is of the kind's
  // class, the brush of a line setting, the advanced settings of a toon
  // material; null when there is none.
  virtual ReferenceTarget* TargetOf(PresetKind kind, ReferenceTarget* object) = 0;
  // The preset bar's save, apply and delete (PresetController) on the
  // kind's store, for the object TargetOf gives.
  virtual PresetResult Save(PresetKind kind, std::string_view name, ReferenceTarget* object) = 0;
  virtual PresetResult Apply(PresetKind kind, std::string_view name, ReferenceTarget* object) = 0;
  virtual PresetResult Delete(PresetKind kind, std::string_view name) = 0;

 protected:
  ~PresetService() = default;
};

inline constexpr char kPresetServiceEntry[] = "TarnisPresetService";
using PresetServiceFn = PresetService* (*)();

}  // namespace tarnis
