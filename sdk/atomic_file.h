// Writing files so that an interrupted or failed write never damages what
// was there: the data goes to a new file beside the target, named
// "<target>.tmp-XXXXXX", which replaces the target only when it is complete.
// Dropped without Commit, the temporary file is removed.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

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
  // Flushes, closes and renames over the target; false (and the temporary
  // file is removed) when any of it fails.
  bool Commit(std::string& problem);

 private:
  std::string target_;
  std::string name_;
  FILE* file_ = nullptr;
  bool committed_ = false;
};

// Writes `bytes` to `path` through an AtomicFile; false with a message
// naming the file.
bool WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes,
                         std::string* error);
// The text of an errno value.
std::string ErrnoText(int err);
