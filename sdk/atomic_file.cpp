#include "sdk/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

namespace {

// Symbolic links followed before a target counts as a loop (as the kernel does).
constexpr int kMaxLinkHops = 40;

const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISFIFO(mode)) return "a pipe";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::string ErrnoText(int err) {
  return std::strerror(err);
}

bool ResolveWriteTarget(const std::string& path, std::string& resolved, std::string& problem) {
  std::string p = path;
  for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0) {
      if (errno == ENOENT || errno == ENOTDIR) {
        // A new file: missing folders are made by the writer, which also
        // says so when a file stands where a folder should be.
        resolved = p;
        return true;
      }
      problem = "cannot be written (" + ErrnoText(errno) + ")";
      return false;
    }
    if (S_ISLNK(st.st_mode)) {
      std::string link(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
      const ssize_t n = ::readlink(p.c_str(), link.data(), link.size());
      if (n < 0 || static_cast<size_t>(n) >= link.size()) {
        problem = "cannot follow the symbolic link";
        return false;
      }
      link.resize(static_cast<size_t>(n));
      p = link.starts_with('/') ? link : FolderOf(p) + "/" + link;
      continue;
    }
    if (!S_ISREG(st.st_mode)) {
      problem =
          std::string("is ") + KindOf(st.st_mode) + ", not a regular file; it is left as it is";
      return false;
    }
    // Root may write anything: the permission bits say what the owner wants.
    if ((st.st_mode & 0222) == 0 || ::access(p.c_str(), W_OK) != 0) {
      problem = "is read-only; it is left as it is";
      return false;
    }
    resolved = p;
    return true;
  }
  problem = "too many levels of symbolic links";
  return false;
}

bool CheckWritable(const std::string& path, std::string* error) {
  std::string resolved, problem;
  if (ResolveWriteTarget(path, resolved, problem)) return true;
  if (error) *error = path + ": " + problem;
  return false;
}

AtomicFile::~AtomicFile() {
  if (file_) std::fclose(file_);
  if (!committed_ && !name_.empty()) ::unlink(name_.c_str());
}

bool AtomicFile::Create(const std::string& target, std::string& problem) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937_64 random{std::random_device{}()};
  if (!ResolveWriteTarget(target, target_, problem)) return false;
  struct stat old {};
  const bool replacing = ::stat(target_.c_str(), &old) == 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = target_ + ".tmp-";
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
    // A replaced file keeps its permissions.
    if (replacing) ::fchmod(fd, old.st_mode & 07777);
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

bool AtomicFile::Finish(std::string& problem) {
  if (finished_) return true;
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
  finished_ = true;
  return true;
}

bool AtomicFile::Commit(std::string& problem) {
  if (!Finish(problem)) return false;
  if (std::rename(name_.c_str(), target_.c_str()) != 0) {
    problem = "cannot replace the file (" + ErrnoText(errno) + ")";
    return false;
  }
  committed_ = true;
  return true;
}

AtomicFile* FileBatch::Add(const std::string& target, std::string* error) {
  auto file = std::make_unique<AtomicFile>();
  std::string problem;
  if (!file->Create(target, problem)) {
    if (error) *error = target + ": " + problem;
    return nullptr;
  }
  files_.push_back(std::move(file));
  targets_.push_back(target);
  return files_.back().get();
}

bool FileBatch::Commit(std::string* error) {
  std::string problem;
  for (size_t i = 0; i < files_.size(); ++i) {
    if (!files_[i]->Finish(problem)) {
      if (error) *error = targets_[i] + ": " + problem;
      return false;
    }
  }
  for (size_t i = files_.size(); i-- > 0;) {
    if (!files_[i]->Commit(problem)) {
      if (error) *error = targets_[i] + ": " + problem;
      return false;
    }
  }
  return true;
}

bool WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes,
                         std::string* error) {
  AtomicFile file;
  std::string problem;
  bool ok =
      file.Create(path, problem) &&
      (bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file.File()) == bytes.size()) &&
      file.Commit(problem);
  if (!ok && error) *error = path + ": " + (problem.empty() ? "write failed" : problem);
  return ok;
}
