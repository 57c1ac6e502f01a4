// Writing files so that an interrupted or failed write never damages what
// was there: the data goes to a new file beside the target, named
// "<target>.tmp-XXXXXX", which replaces the target only when it is complete.
// Dropped without Commit, the temporary file is removed.
//
// Only regular files are replaced. A target that is a symbolic link is
// written through: its final target is replaced (or made), the link stays.
// A device node, folder, pipe or socket is refused, and so is a file that
// has no write permission (even for root, who could otherwise write it);
// a replaced file keeps its permission bits.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

class AtomicFile {
 public:
  AtomicFile() = default;
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;
  ~AtomicFile();

  // Creates the temporary file for `target`; false with the reason.
  bool Create(const std::string& target, std::string& problem);
  FILE* File() const { return file_; }
  const std::string& Name() const { return name_; }
  // Flushes and closes the temporary file; false (and it is removed) when
  // that fails.
  bool Finish(std::string& problem);
  // Finishes when not done yet and renames over the target; false (and the
  // temporary file is removed) when any of it fails.
  bool Commit(std::string& problem);

 private:
  std::string target_;
  std::string name_;
  FILE* file_ = nullptr;
  bool finished_ = false;
  bool committed_ = false;
};

// Several files that replace their targets together: each is written in
// full first, and the targets are replaced only when every one was written.
// Dropped without Commit, no target changes.
class FileBatch {
 public:
  // A new temporary file for `target` (kept by the batch), or null with the
  // reason ("<target>: ...") in `error`.
  AtomicFile* Add(const std::string& target, std::string* error);
  // Finishes every file, then replaces the targets, the first one added
  // last: where the first target is new, the others are already in place.
  // False with a message naming the file when one of them fails. Replacing
  // stops at the first failure, which leaves the targets not yet replaced
  // as they were.
  bool Commit(std::string* error);
  // The targets, in the order they were added.
  const std::vector<std::string>& Targets() const { return targets_; }

 private:
  std::vector<std::unique_ptr<AtomicFile>> files_;
  std::vector<std::string> targets_;
};

// The file a write to `path` would replace or make, following symbolic
// links; false with the reason when that is not a regular file, or is one
// without write permission. Missing folders on the way are not a problem
// (writers make them).
bool ResolveWriteTarget(const std::string& path, std::string& resolved, std::string& problem);

// Whether `path` may be written (see ResolveWriteTarget); false with
// "<path>: <reason>" in `error`.
bool CheckWritable(const std::string& path, std::string* error);

// Writes `bytes` to `path` through an AtomicFile; false with a message
// naming the file.
bool WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes,
                         std::string* error);
// The text of an errno value.
std::string ErrnoText(int err);
