// The in-memory settings handler and its whole-file load and save.
#include "tarnis/common/mem_ini_handler.h"

#include <cstdint>
#include <span>

#include "sdk/atomic_file.h"
#include "tarnis/common/ini_file.h"
#include "tarnis/common/ini_values.h"

namespace tarnis {
MemIniHandler::Section* MemIniHandler::FindSection(std::string_view name) {
  name = TrimSpaces(name);
  for (Section& s : sections_) {
    if (EqualsIgnoringCase(s.name, name)) return &s;
  }
  return nullptr;
}

bool MemIniHandler::WriteString(const char* section, const char* key, const char* value) {
  if (!section || !key) return false;
  // Held as a file holds it, so the sections read back the same after
  // Save and Load.
  if (!IniFile::CanHold(section, key, value ? value : "")) return false;
  std::string cleanKey(TrimSpaces(key));
  std::string cleanValue = IniFile::CleanValue(value ? value : "");

  Section* s = FindSection(section);
  if (!s) s = &sections_.emplace_back(Section{std::string(TrimSpaces(section)), {}});
  for (Entry& e : s->entries) {
    if (EqualsIgnoringCase(e.key, cleanKey)) {
      e.value = std::move(cleanValue);
      return true;
    }
  }
  s->entries.push_back({std::move(cleanKey), std::move(cleanValue)});
  return true;
}

bool MemIniHandler::ReadString(const char* section, const char* key, char* buffer, int size) {
  if (!buffer || size <= 0) return false;
  buffer[0] = '\0';
  if (!section || !key) return false;
  Section* s = FindSection(section);
  if (!s) return false;
  std::string_view k = TrimSpaces(key);
  for (const Entry& e : s->entries) {
    if (!EqualsIgnoringCase(e.key, k)) continue;
    if (e.value.empty()) return false;
    CopyToBuffer(e.value, buffer, size);
    return true;
  }
  return false;
}

bool MemIniHandler::Load(const std::string& fileName) {
  if (fileName.empty()) return false;
  IniFile file;
  if (file.Load(fileName) == IniFile::LoadStatus::kFailed) return false;
  sections_.clear();
  for (IniFile::Section& s : file.Sections()) {
    Section& section = sections_.emplace_back(Section{std::move(s.name), {}});
    for (auto& [key, value] : s.entries)
      section.entries.push_back({std::move(key), std::move(value)});
  }
  return true;
}

bool MemIniHandler::Save(const std::string& fileName) const {
  if (fileName.empty()) return false;
  std::string text;
  for (const Section& s : sections_) {
    text += "[" + s.name + "]\n";
    for (const Entry& e : s.entries) {
      // A key loaded from a file may fill its whole line: written with the
      // spaces it would no longer fit one and be lost when read back.
      const bool spaced = e.key.size() + 3 + e.value.size() <= IniFile::kMaxLineBytes;
      text += e.key + (spaced ? " = " : "=") + e.value + "\n";
    }
  }
  std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  return WriteFileAtomically(fileName, bytes, nullptr);
}

bool MemIniHandler::RemoveSection(std::string_view name) {
  name = TrimSpaces(name);
  for (auto it = sections_.begin(); it != sections_.end(); ++it) {
    if (EqualsIgnoringCase(it->name, name)) {
      sections_.erase(it);
      return true;
    }
  }
  return false;
}

}  // namespace tarnis
