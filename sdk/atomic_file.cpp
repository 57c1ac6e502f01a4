#include "sdk/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

std::string ErrnoText(int err) { return std::strerror(err); }

AtomicFile::~AtomicFile() {
  if (file_) std::fclose(file_);
  if (!committed_ && !name_.empty()) ::unlink(name_.c_str());
}

bool AtomicFile::Create(const std::string& target, std::string& problem) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937_64 random{std::random_device{}()};
  target_ = target;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = target + ".tmp-";
    for (int i = 0; i < 6; ++i) name += kLetters[random() % (sizeof(kLetters) - 1)];
    // O_EXCL makes the name ours; mode 0666 lets the umask decide the
    // permissions, as for any other new file.
    int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) {
      problem = errno == ENOENT ? "cannot write (the directory does not exist)"
                                : "cannot write (" + ErrnoText(errno) + ")";
      return false;
    }
    name_ = name;
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
      problem = "cannot write (" + ErrnoText(errno) + ")";
      ::close(fd);
      return false;
    }
    return true;
  }
  problem = "cannot write (no free temporary file name)";
  return false;
}

bool AtomicFile::Commit(std::string& problem) {
  if (!file_) {
    problem = "nothing to write";
    return false;
  }
  bool written = std::fflush(file_) == 0 && !std::ferror(file_);
  int flushErrno = errno;
  bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!written || !closed) {
    problem = "write failed (" + ErrnoText(written ? errno : flushErrno) + ")";
    return false;
  }
  if (std::rename(name_.c_str(), target_.c_str()) != 0) {
    problem = "cannot replace the file (" + ErrnoText(errno) + ")";
    return false;
  }
  committed_ = true;
  return true;
}

bool WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes,
                         std::string* error) {
  AtomicFile file;
  std::string problem;
  bool ok = file.Create(path, problem) &&
            (bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file.File()) ==
                                  bytes.size()) &&
            file.Commit(problem);
  if (!ok && error) *error = path + ": " + (problem.empty() ? "write failed" : problem);
  return ok;
}
