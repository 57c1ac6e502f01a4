// PresetStore: all presets of one kind, held in memory by a MemIniHandler
// over one text file of the settings directory. A preset is a section: its
// name is the preset's name, its keys are the values the panel wrote. The
// store reads its file on first use, once the settings directory is known,
// and keeps it for the rest of the run; the preset bar's save and delete
// write the whole store back (PresetController).
//
// The file is the user's: one that exists but cannot be taken as a preset
// file (too large, not a regular file, binary data) is read as empty and
// never written over. Several stores, in this process or others, may share
// one file; before a change or an apply a store takes in what the others
// wrote since it last read or wrote the file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tarnis/common/ini_file.h"
#include "tarnis/common/mem_ini_handler.h"

namespace tarnis {

// The preset files, one per kind of panel with a preset bar.
inline constexpr char kPresetHighlightFile[] = "tarnis_preset_hidesign.txt";
inline constexpr char kPresetStrokeFile[] = "tarnis_preset_stroke.txt";
inline constexpr char kPresetBrushFile[] = "tarnis_preset_line_brush.txt";
inline constexpr char kPresetBrushStrokeFile[] = "tarnis_preset_line_stroke.txt";
inline constexpr char kPresetMatElementFile[] = "tarnis_preset_matelem.txt";

class PresetStore {
 public:
  // The store of `fileName` in the settings directory (SettingsFilePath).
  explicit PresetStore(std::string fileName);
  // The store of the file at `path`, wherever it is.
  static PresetStore AtPath(std::string path);

  // The presets in memory, the file read on first use: the path is passed
  // through ResolvePath (a settings directory that cannot be written sends
  // the file to the fallback directory) and the file loaded. Null while the
  // settings directory is not known; asked again later, the store then
  // tries again. A store of the settings directory follows it when it
  // changes (the new directory's file is read).
  MemIniHandler* Handler();
  // The file the store reads and writes; empty before the first use.
  const std::string& Path() const { return handler_.Path(); }
  // Why the file was not read ("<path>: ..."), or empty.
  const std::string& Problem() const { return problem_; }

  // The preset names in file order (none before a settings directory is
  // known).
  std::vector<std::string> Names();
  // The name as stored of the first preset equal to `name` ignoring letter
  // case, or empty.
  std::string Find(std::string_view name);

  // Reads the file again when another writer changed it since this store
  // last read or wrote it; presets only this store holds (a write that
  // failed) are kept otherwise.
  void TakeInChanges();
  // Writes every preset to the file. False, with the reason in `error`,
  // when there is no file, the file was not readable (it is left as it
  // is) or the write failed (the presets stay in memory and the file as
  // it was).
  bool Write(std::string* error);

 private:
  PresetStore(std::string fileName, std::string path);
  void Load(const std::string& requested);

  std::string fileName_;   // in the settings directory; empty for a store AtPath
  std::string requested_;  // the path asked for, before ResolvePath
  bool loaded_ = false;
  bool readable_ = true;
  std::string problem_;
  FileStamp stamp_;  // the file as last read or written
  MemIniHandler handler_;
};

}  // namespace tarnis
