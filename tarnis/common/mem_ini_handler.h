// MemIniHandler: a settings handler over sections held in memory. The preset
// stores and the line-set files use it: a whole file is loaded, presets are
// read and written key by key (with the block, curve and coordinate
// operations of IniHandler), sections are removed, and the whole is saved.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tarnis/common/ini_handler.h"

namespace tarnis {

class MemIniHandler : public IniHandler {
 public:
  struct Entry {
    std::string key;
    std::string value;
  };
  struct Section {
    std::string name;
    std::vector<Entry> entries;
  };

  MemIniHandler() = default;
  explicit MemIniHandler(std::string_view path) : IniHandler(path) {}

  // Finds the section and the key (letter case ignored), appending either
  // when absent, and replaces the value; a null value stores an empty text.
  // Names and keys are kept trimmed of spaces and tabs; line breaks and NUL
  // bytes in the value become spaces. False, changing nothing, for a name or
  // key that the file format cannot hold (see IniFile::Set).
  bool WriteString(const char* section, const char* key, const char* value) override;
  // The first section of that name, then its first entry of that key (letter
  // case ignored): true with the value copied (at most size - 1 bytes) when
  // it is not empty; otherwise an empty text and false.
  bool ReadString(const char* section, const char* key, char* buffer, int size) override;

  // Replaces the sections with those of the file: every section in file
  // order (a name repeated in the file counts once, with the keys of its
  // first occurrence), every key line split at its first "=", in order. A
  // missing file gives no sections (true). False for an empty name, and for
  // a file that exists but cannot be read (too large, not a regular file, a
  // read error), which leaves the sections as they were.
  bool Load(const std::string& fileName);
  // Writes "[name]" for each section and "key = value" for each entry, each
  // line ending in LF, through a temporary file renamed over the old one.
  // False for an empty name or a failed write (the old file then stays).
  bool Save(const std::string& fileName) const;
  // Removes the first section of that name (letter case ignored); false when
  // there is none.
  bool RemoveSection(std::string_view name);
  void Clear() { sections_.clear(); }

  const std::vector<Section>& Sections() const { return sections_; }

 private:
  Section* FindSection(std::string_view name);

  std::vector<Section> sections_;
};

}  // namespace tarnis
