// Line-set files (".tln"): a line set's look — its line-type and depth
// blocks, damping curves, 18 line settings and their brushes — written as an
// INI text and read back into any line set, in this scene or another.
//
// The file describes a small object graph. Instances are numbered in
// depth-first pre-order from the line set (instance 0) over its references;
// only line sets, line settings and brushes are listed (and walked through),
// each once, so an object reached twice is written once and linked twice:
//
//   [Params]         NumInstance
//   [Instance<k>]    SClass_ID, Class_ID ("<a> <b>"), SubInstance<j> (the
//                    instance held in reference slot j), Name (maps only)
//   [Instance<k> PB<j>]  parameter block j, one key per parameter (WriteBlock)
//   [Instance<k> CC<n>]  the n-th curve-control slot, first curve (WriteCurve)
//
// Strings, tables and maps other than settings and brushes are not stored,
// so a line set's name, members and map slots never appear in the file.
//
// Reading never trusts the file. It is checked and the new settings and
// brushes are built aside first; the line set changes only when that
// succeeded, so a file that cannot be read, is not a line-set file or was cut
// short leaves the line set exactly as it was. The line set keeps its name,
// members and `enable`.
#pragma once

#include <string>
#include <utility>

namespace tarnis {

class LineSet;

// Most instances a file may list: far more than a line set reaches (37 for a
// new one), few enough that a hostile count cannot make the reader build
// objects without end.
inline constexpr int kMaxLineSetFileInstances = 4096;

// The outcome of a read or write: `problem` says what went wrong, without
// the file's name (callers put it in front: "<file>: <problem>").
struct LineSetFileResult {
  bool ok = true;
  std::string problem;

  explicit operator bool() const { return ok; }
  static LineSetFileResult Failed(std::string problem) { return {false, std::move(problem)}; }
};

// Writes the line set to `path` through a temporary file renamed over it, so
// an existing file is whole or untouched. Values are those at the current
// time. Fails without a line set or a file name, for a graph of more than
// kMaxLineSetFileInstances instances, and when the file cannot be written.
LineSetFileResult WriteLineSetFile(LineSet* set, const char* path);

// Reads the file into the line set: its blocks and curves take the file's
// values (keys that are missing keep theirs), and its 18 setting slots take
// new settings and brushes built from the file (sharing as the file links
// it; settings shared with other line sets stay with those). Scene-node
// parameters are found by name in the scene (none when no node has it).
// Fails, changing nothing, without a line set or a file name, and when the
// file cannot be read, holds binary data, has no "NumInstance" in "Params",
// a count outside 0..kMaxLineSetFileInstances, an instance without its
// section and class, or a curve section that is missing, cut short or holds
// more points than a curve takes. A file with NumInstance 0 reads and
// changes nothing. Links that name no instance, an instance of a class that
// is not a line setting or brush, a slot holding a block or curve, or that
// would make an object contain itself, are skipped: the slot keeps what it
// had.
LineSetFileResult ReadLineSetFile(LineSet* set, const char* path);

// Told around every read that changes a line set (also one with
// NumInstance 0): before it, the line-effect panel closes the editors that
// show one of the set's settings; after it, the panel rebuilds its list of
// line sets and selects the set when its effect is shown. Not told of reads
// that fail.
class LineSetReadListener {
 public:
  virtual void BeforeLineSetRead(LineSet& set) = 0;
  virtual void AfterLineSetRead(LineSet& set) = 0;

 protected:
  ~LineSetReadListener() = default;
};
// Listeners are told in the order they were added; adding one twice counts
// once. A listener removes itself before it goes.
void AddLineSetReadListener(LineSetReadListener* listener);
void RemoveLineSetReadListener(LineSetReadListener* listener);

}  // namespace tarnis
