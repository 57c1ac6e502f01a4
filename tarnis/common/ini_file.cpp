// The INI text layer: splitting text into lines, telling sections from keys,
// and reading and writing files with a size cap and atomic replacement.
#include "tarnis/common/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <span>
#include <unordered_set>

#include "sdk/atomic_file.h"

namespace tarnis {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool HasAny(std::string_view s, std::string_view chars) {
  return s.find_first_of(chars) != std::string_view::npos;
}

constexpr std::string_view kLineBreaksAndNul{"\r\n\0", 3};

// What one line of a file is.
struct LineKind {
  enum Kind { kOther, kSection, kBrokenSection, kKey } kind = kOther;
  std::string_view name;   // section name or key
  std::string_view value;  // value of a key
};

LineKind Classify(std::string_view line) {
  if (line.size() > IniFile::kMaxLineBytes || line.find('\0') != std::string_view::npos) {
    return {};
  }
  std::string_view t = TrimSpaces(line);
  if (t.empty() || t.front() == ';' || t.front() == '#') return {};
  if (t.front() == '[') {
    size_t close = t.rfind(']');
    if (close == std::string_view::npos) return {LineKind::kBrokenSection, {}, {}};
    std::string_view name = TrimSpaces(t.substr(1, close - 1));
    if (name.empty()) return {LineKind::kBrokenSection, {}, {}};
    return {LineKind::kSection, name, {}};
  }
  size_t eq = t.find('=');
  if (eq == std::string_view::npos) return {};
  std::string_view key = TrimSpaces(t.substr(0, eq));
  if (key.empty()) return {};
  return {LineKind::kKey, key, TrimSpaces(t.substr(eq + 1))};
}

bool EndsSection(const LineKind& k) {
  return k.kind == LineKind::kSection || k.kind == LineKind::kBrokenSection;
}

// Reads a regular file of at most `cap` bytes into `text`; kFailed with a
// reason otherwise. O_NONBLOCK keeps a pipe or device from stalling the open.
IniFile::LoadStatus ReadCapped(const std::string& path, size_t cap, std::string& text,
                               std::string& problem) {
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return IniFile::LoadStatus::kMissing;
    problem = "cannot open (" + ErrnoText(errno) + ")";
    return IniFile::LoadStatus::kFailed;
  }
  struct stat st {};
  IniFile::LoadStatus status = IniFile::LoadStatus::kLoaded;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    problem = "not a regular file";
    status = IniFile::LoadStatus::kFailed;
  } else if (static_cast<uint64_t>(st.st_size) > cap) {
    problem = "larger than " + std::to_string(cap >> 20) + " MiB";
    status = IniFile::LoadStatus::kFailed;
  } else {
    // The file may grow while it is read: read until its end, but stop one
    // byte past the cap.
    text.assign(static_cast<size_t>(st.st_size) + 1, '\0');
    size_t got = 0;
    while (got <= cap) {
      if (got == text.size()) text.resize(std::min(text.size() * 2, cap + 1));
      ssize_t n = ::read(fd, text.data() + got, text.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        problem = "read failed (" + ErrnoText(errno) + ")";
        status = IniFile::LoadStatus::kFailed;
        break;
      }
      if (n == 0) break;
      got += static_cast<size_t>(n);
    }
    if (status == IniFile::LoadStatus::kLoaded && got > cap) {
      problem = "larger than " + std::to_string(cap >> 20) + " MiB";
      status = IniFile::LoadStatus::kFailed;
    }
    text.resize(got);
  }
  ::close(fd);
  return status;
}

std::string LowerCase(std::string_view s) {
  std::string lower(s);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

}  // namespace

std::string_view TrimSpaces(std::string_view s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string_view::npos) return {};
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

IniFile::IniFile(std::string_view text) {
  if (text.starts_with(kByteOrderMark)) {
    byteOrderMark_ = true;
    text.remove_prefix(kByteOrderMark.size());
  }
  binary_ = text.find('\0') != std::string_view::npos;
  const size_t firstBreak = text.find_first_of("\r\n");
  if (firstBreak != std::string_view::npos) {
    lineBreak_ = text.substr(firstBreak, 2) == "\r\n" ? "\r\n" : std::string(1, text[firstBreak]);
  }
  finalLineBreak_ = text.empty() || text.back() == '\n' || text.back() == '\r';
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines_.emplace_back(text.substr(start));
      break;
    }
    lines_.emplace_back(text.substr(start, end - start));
    start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
  }
}

IniFile::LoadStatus IniFile::Load(const std::string& path, std::string* error) {
  std::string text;
  std::string problem;
  LoadStatus status = ReadCapped(path, kMaxFileBytes, text, problem);
  if (status == LoadStatus::kFailed) {
    if (error) *error = path + ": " + problem;
    return status;
  }
  *this = IniFile(text);
  return status;
}

bool IniFile::Save(const std::string& path, std::string* error) const {
  if (binary_) {
    if (error) *error = path + ": holds binary data, not settings; it is left as it is";
    return false;
  }
  std::string text = Text();
  std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  return WriteFileAtomically(path, bytes, error);
}

std::optional<IniFile::Range> IniFile::FindSection(std::string_view section) const {
  section = TrimSpaces(section);
  for (size_t i = 0; i < lines_.size(); ++i) {
    LineKind k = Classify(lines_[i]);
    if (k.kind != LineKind::kSection || !EqualsIgnoringCase(k.name, section)) continue;
    size_t end = i + 1;
    while (end < lines_.size() && !EndsSection(Classify(lines_[end]))) ++end;
    return Range{i, end};
  }
  return std::nullopt;
}

std::optional<size_t> IniFile::FindKey(const Range& range, std::string_view key) const {
  key = TrimSpaces(key);
  for (size_t i = range.header + 1; i < range.end; ++i) {
    LineKind k = Classify(lines_[i]);
    if (k.kind == LineKind::kKey && EqualsIgnoringCase(k.name, key)) return i;
  }
  return std::nullopt;
}

void IniFile::BuildIndex() const {
  keyLines_.clear();
  std::unordered_set<std::string> seen;  // lower-case section names
  std::string prefix;                    // "section\n" while in a section that counts
  for (size_t i = 0; i < lines_.size(); ++i) {
    LineKind k = Classify(lines_[i]);
    if (EndsSection(k)) {
      bool counts = k.kind == LineKind::kSection && seen.insert(LowerCase(k.name)).second;
      prefix = counts ? LowerCase(k.name) + "\n" : std::string();
    } else if (k.kind == LineKind::kKey && !prefix.empty()) {
      keyLines_.emplace(prefix + LowerCase(k.name), i);  // the first key of a name stays
    }
  }
  indexed_ = true;
}

std::optional<std::string> IniFile::Get(std::string_view section, std::string_view key) const {
  if (!indexed_) BuildIndex();
  auto it = keyLines_.find(LowerCase(TrimSpaces(section)) + "\n" + LowerCase(TrimSpaces(key)));
  if (it == keyLines_.end()) return std::nullopt;
  return std::string(Classify(lines_[it->second]).value);
}

bool IniFile::CanHold(std::string_view section, std::string_view key, std::string_view value) {
  section = TrimSpaces(section);
  key = TrimSpaces(key);
  if (section.empty() || HasAny(section, kLineBreaksAndNul)) return false;
  if (key.empty() || HasAny(key, kLineBreaksAndNul) || HasAny(key, "=") || key.front() == '[' ||
      key.front() == ';' || key.front() == '#') {
    return false;
  }
  return section.size() + 2 <= kMaxLineBytes && key.size() + 3 + value.size() <= kMaxLineBytes;
}

std::string IniFile::CleanValue(std::string_view value) {
  std::string clean(value);
  for (char& c : clean) {
    if (c == '\r' || c == '\n' || c == '\0') c = ' ';
  }
  return std::string(TrimSpaces(clean));
}

bool IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
  if (!CanHold(section, key, value)) return false;
  section = TrimSpaces(section);
  key = TrimSpaces(key);
  std::string line = std::string(key) + "=" + CleanValue(value);
  indexed_ = false;
  std::optional<Range> range = FindSection(section);
  if (!range) {
    lines_.push_back("[" + std::string(section) + "]");
    lines_.push_back(std::move(line));
    return true;
  }
  if (std::optional<size_t> at = FindKey(*range, key)) {
    lines_[*at] = std::move(line);
    return true;
  }
  // After the section's last non-blank line, so blank lines that separate
  // it from the next section stay below the new key.
  size_t at = range->end;
  while (at > range->header + 1 && TrimSpaces(lines_[at - 1]).empty()) --at;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
  return true;
}

std::vector<IniFile::Section> IniFile::Sections() const {
  std::vector<Section> sections;
  std::unordered_set<std::string> seen;  // lower-case names
  bool inSection = false;                // keys go to sections.back()
  for (const std::string& line : lines_) {
    LineKind k = Classify(line);
    if (EndsSection(k)) {
      // A name seen before is a later copy: the first one is the section.
      inSection = k.kind == LineKind::kSection && seen.insert(LowerCase(k.name)).second;
      if (inSection) sections.push_back(Section{std::string(k.name), {}});
    } else if (k.kind == LineKind::kKey && inSection) {
      sections.back().entries.emplace_back(std::string(k.name), std::string(k.value));
    }
  }
  return sections;
}

std::vector<std::string> IniFile::SectionNames() const {
  std::vector<std::string> names;
  for (Section& s : Sections()) names.push_back(std::move(s.name));
  return names;
}

std::vector<std::string> IniFile::SectionLines(std::string_view section) const {
  std::vector<std::string> out;
  std::optional<Range> range = FindSection(section);
  if (!range) return out;
  for (size_t i = range->header + 1; i < range->end; ++i) {
    LineKind k = Classify(lines_[i]);
    if (k.kind == LineKind::kKey) out.push_back(std::string(k.name) + "=" + std::string(k.value));
  }
  return out;
}

std::string IniFile::Text() const {
  std::string text = byteOrderMark_ ? std::string(kByteOrderMark) : std::string();
  for (const std::string& line : lines_) {
    text += line;
    text += lineBreak_;
  }
  if (!finalLineBreak_ && !lines_.empty()) text.resize(text.size() - lineBreak_.size());
  return text;
}

FileStamp FileStamp::Of(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return {};
  return {true,
          static_cast<uint64_t>(st.st_dev),
          static_cast<uint64_t>(st.st_ino),
          static_cast<int64_t>(st.st_size),
          static_cast<int64_t>(st.st_mtim.tv_sec),
          static_cast<int64_t>(st.st_mtim.tv_nsec)};
}

std::optional<std::string> ReadIniValue(const std::string& path, std::string_view section,
                                        std::string_view key) {
  IniFile file;
  file.Load(path);
  return file.Get(section, key);
}

bool WriteIniValue(const std::string& path, std::string_view section, std::string_view key,
                   std::string_view value, std::string* error) {
  IniFile file;
  if (file.Load(path, error) == IniFile::LoadStatus::kFailed) return false;
  if (file.Get(section, key) == IniFile::CleanValue(value)) return true;  // nothing changes
  if (!file.Set(section, key, value)) {
    if (error) *error = path + ": the section or key cannot be written to an INI file";
    return false;
  }
  return file.Save(path, error);
}

std::vector<std::string> ReadIniSectionNames(const std::string& path) {
  IniFile file;
  file.Load(path);
  return file.SectionNames();
}

std::vector<std::string> ReadIniSectionLines(const std::string& path, std::string_view section) {
  IniFile file;
  file.Load(path);
  return file.SectionLines(section);
}

}  // namespace tarnis
