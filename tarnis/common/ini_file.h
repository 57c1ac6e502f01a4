// IniFile: our reader and writer of the INI text format the settings, preset
// and line-set files use, standing in for the operating system's profile
// functions. A file is a list of lines: "[section]" opens a section, and
// "key=value" lines inside it hold its keys. Section names and keys are
// compared without regard to ASCII letter case; the first section of a name
// and the first key of a name in it are the ones that count. Writing a key
// changes only its own line (or adds one), so comments, blank lines and lines
// we do not understand survive.
//
// Hostile files are read as files without the keys they spoil:
// - files larger than kMaxFileBytes (4 MiB, some forty times our largest
//   file, a line-set file) and anything that is not a regular file
//   (directories, pipes, devices) are not read at all;
// - a line longer than kMaxLineBytes (64 KiB) or holding a NUL byte is
//   neither a section nor a key;
// - a line starting with "[" but without "]" ends the section before it and
//   opens none, so the keys under it belong to no section;
// - a line without "=", with an empty key, or starting with ";" or "#" is
//   not a key; lines before the first section belong to none;
// - lines may end in LF, CR LF or CR, mixed; a UTF-8 byte-order mark is
//   skipped (and kept when the file is written back). A file written back
//   ends its lines as its first line did, and keeps a missing line break at
//   its end;
// - a file holding a NUL byte is binary data, not an INI file: it is read
//   as above but never written back (HoldsBinary).
// Values and keys are trimmed of spaces and tabs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tarnis {

class IniFile {
 public:
  static constexpr size_t kMaxFileBytes = size_t{4} << 20;
  static constexpr size_t kMaxLineBytes = size_t{64} << 10;

  enum class LoadStatus {
    kLoaded,   // the file was read
    kMissing,  // there is no such file; this is an empty file
    kFailed,   // the file exists but was not read (too large, not a regular file, I/O error)
  };

  IniFile() = default;
  // The lines of `text`.
  explicit IniFile(std::string_view text);

  // Replaces the lines with those of the file at `path`. On kFailed the lines
  // are left as they were and `error` (when given) names the file and the
  // problem. Never blocks on pipes or devices.
  LoadStatus Load(const std::string& path, std::string* error = nullptr);
  // Writes the text to `path` through a temporary file renamed over it, so a
  // failed write leaves the old file as it was. False with a message naming
  // the file.
  bool Save(const std::string& path, std::string* error = nullptr) const;

  // The value of a key, or nothing when the section or key is absent. The
  // first lookup indexes the file, so later ones do not walk it again (an
  // IniFile is therefore not for concurrent use, even for reading).
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  // Sets a key: replaces the line of the first matching key in the first
  // matching section, or adds the key at the end of that section, or adds
  // the section with the key at the end of the file. The value is stored as
  // CleanValue makes it. False, changing nothing, when !CanHold.
  bool Set(std::string_view section, std::string_view key, std::string_view value);

  // Whether a file can hold the key: after trimming, the section name is not
  // empty and holds no line break or NUL; the key is not empty, holds no
  // "=", line break or NUL and does not start with "[", ";" or "#"; and the
  // lines "[section]" and "key = value" fit in kMaxLineBytes.
  static bool CanHold(std::string_view section, std::string_view key, std::string_view value);
  // The value as a file holds it: line breaks and NUL bytes become spaces
  // (a value cannot add lines) and spaces and tabs around it are dropped.
  static std::string CleanValue(std::string_view value);

  // The names of the sections in file order, each name once (as first
  // spelled).
  std::vector<std::string> SectionNames() const;
  // The keys of the first section of that name as "key=value" lines, in file
  // order (lines that are not keys are left out).
  std::vector<std::string> SectionLines(std::string_view section) const;

  struct Section {
    std::string name;
    std::vector<std::pair<std::string, std::string>> entries;  // key, value
  };
  // Every section with its keys, as SectionNames and SectionLines give them,
  // in one pass over the file.
  std::vector<Section> Sections() const;

  // The whole text, lines ending as the file's first line did (LF for a
  // new file).
  std::string Text() const;
  // True when the text held a NUL byte: such a file is not ours to rewrite.
  bool HoldsBinary() const { return binary_; }

 private:
  struct Range {
    size_t header;  // index of the "[section]" line
    size_t end;     // one past the section's last line
  };
  std::optional<Range> FindSection(std::string_view section) const;
  // Index of the first line of the range that is the key, if any.
  std::optional<size_t> FindKey(const Range& range, std::string_view key) const;

  void BuildIndex() const;

  std::vector<std::string> lines_;
  bool byteOrderMark_ = false;
  std::string lineBreak_ = "\n";
  bool finalLineBreak_ = true;
  bool binary_ = false;
  // Line of each key that counts, by lower-case "section\nkey"; built by
  // the first Get after a change.
  mutable std::unordered_map<std::string, size_t> keyLines_;
  mutable bool indexed_ = false;
};

// What tells whether a file changed: device, inode, size and modification
// time. Equal stamps mean the file was neither replaced nor written in
// between, as far as the clock resolution tells.
struct FileStamp {
  bool exists = false;
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t size = 0;
  int64_t mtimeSeconds = 0;
  int64_t mtimeNanoseconds = 0;

  static FileStamp Of(const std::string& path);
  bool operator==(const FileStamp&) const = default;
};

// The profile functions over a file path. Reads answer as if a file that is
// missing or was not read had no sections. A write reads the file, sets the
// key and writes it back; it refuses (false) when the file exists but cannot
// be read whole, so an unreadable or oversized file is never replaced by one
// holding only the new key.
std::optional<std::string> ReadIniValue(const std::string& path, std::string_view section,
                                        std::string_view key);
bool WriteIniValue(const std::string& path, std::string_view section, std::string_view key,
                   std::string_view value, std::string* error = nullptr);
std::vector<std::string> ReadIniSectionNames(const std::string& path);
std::vector<std::string> ReadIniSectionLines(const std::string& path, std::string_view section);

// ASCII case-insensitive equality, as section names and keys are compared.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);
// The text without the spaces and tabs around it, as names, keys and values
// are read.
std::string_view TrimSpaces(std::string_view s);

}  // namespace tarnis
