#include "host/inspection_files.h"

#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "host/frame_writer.h"

namespace host {

namespace fs = std::filesystem;

InspectionFiles::~InspectionFiles() {
  if (stagingDir_.empty()) return;
  std::error_code ec;
  fs::remove_all(stagingDir_, ec);
}

bool InspectionFiles::Set(const std::string& kind, const std::string& path, bool sequence,
                          std::string* error) {
  std::lock_guard<std::mutex> guard(mutex_);
  if (path.empty()) {
    requests_.erase(kind);
    return true;
  }
  if (!CheckWritable(FramePath(path, 0, sequence), error)) return false;
  if (stagingDir_.empty()) {
    std::error_code ec;
    std::string pattern = (fs::temp_directory_path(ec) / "tarnis-XXXXXX").string();
    if (ec || !::mkdtemp(pattern.data())) {
      if (error)
        *error = path + ": no folder for the file while the frame renders (" +
                 (ec ? ec.message() : std::string(std::strerror(errno))) + ")";
      return false;
    }
    stagingDir_ = pattern;
  }
  requests_[kind] = {path, sequence};
  return true;
}

std::string InspectionFiles::PathFor(const char* kind, int frame) {
  std::lock_guard<std::mutex> guard(mutex_);
  auto it = requests_.find(kind ? kind : "");
  if (it == requests_.end()) return {};
  const fs::path target = FramePath(it->second.path, frame, it->second.sequence);
  const fs::path folder = fs::path(stagingDir_) / (std::to_string(frame) + "-" + it->first);
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) return {};
  targets_[folder.string()] = target.string();
  return (folder / target.filename()).string();
}

bool InspectionFiles::Take(int frame, FileBatch& batch, std::string* error) {
  std::lock_guard<std::mutex> guard(mutex_);
  const std::string prefix = (fs::path(stagingDir_) / (std::to_string(frame) + "-")).string();
  for (auto it = targets_.begin(); it != targets_.end();) {
    if (!it->first.starts_with(prefix)) {
      ++it;
      continue;
    }
    std::error_code ec;
    // A path was handed out for the frame: a plug-in that wrote nothing there failed to.
    if (fs::is_empty(it->first, ec)) {
      if (error) *error = it->second + ": was not written (see the message above)";
      return false;
    }
    for (const fs::directory_entry& staged : fs::directory_iterator(it->first, ec)) {
      const std::string target =
          (fs::path(it->second).parent_path() / staged.path().filename()).string();
      std::ifstream in(staged.path(), std::ios::binary);
      const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
      if (!in.good() && !in.eof()) {
        if (error) *error = target + ": the staged file cannot be read";
        return false;
      }
      if (!MakeFolderFor(target, error)) return false;
      AtomicFile* file = batch.Add(target, error);
      if (!file) return false;
      if (!bytes.empty() &&
          std::fwrite(bytes.data(), 1, bytes.size(), file->File()) != bytes.size()) {
        if (error) *error = target + ": write failed";
        return false;
      }
    }
    fs::remove_all(it->first, ec);
    it = targets_.erase(it);
  }
  return true;
}

}  // namespace host
