#include "tarnis/common/preset_controller.h"

#include "sdk/hold.h"
#include "tarnis/common/ini_file.h"
#include "tarnis/resources/string_table.h"

namespace tarnis {

namespace {

// Code points of a UTF-8 text (continuation bytes do not count).
int CountCharacters(std::string_view text) {
  int n = 0;
  for (unsigned char c : text) n += (c & 0xC0) != 0x80;
  return n;
}

}  // namespace

std::vector<std::string> PresetController::List() const {
  return store_ ? store_->Names() : std::vector<std::string>();
}

PresetResult PresetController::CheckName(std::string_view name) const {
  name = TrimSpaces(name);
  if (name.empty()) return {PresetStatus::kEmptyName, {}, {}};
  // The key only stands in: what counts is whether a file can hold the
  // section name (no line break, not too long).
  if (CountCharacters(name) > kMaxPresetName || !IniFile::CanHold(name, "k", "")) {
    return {PresetStatus::kBadName, std::string(name), {}};
  }
  if (!store_ || !store_->Handler()) return {PresetStatus::kNoStore, {}, {}};
  return {PresetStatus::kDone, std::string(name), {}};
}

PresetResult PresetController::Save(std::string_view name) {
  PresetResult result = CheckName(name);
  if (result.status != PresetStatus::kDone) return result;
  if (!target_) return {PresetStatus::kNoTarget, {}, {}};
  store_->TakeInChanges();
  target_->SavePreset(*store_->Handler(), result.name.c_str());
  const std::string stored = store_->Find(result.name);
  // An object without any of the kind's values writes no preset.
  if (stored.empty()) return {PresetStatus::kNoTarget, result.name, {}};
  result.name = stored;
  selection_ = result.name;
  if (!store_->Write(&result.problem)) result.status = PresetStatus::kNotWritten;
  return result;
}

PresetResult PresetController::Delete(std::string_view name) {
  PresetResult result = CheckName(name);
  if (result.status != PresetStatus::kDone) return result;
  store_->TakeInChanges();
  result.name = store_->Find(result.name);
  if (result.name.empty()) return {PresetStatus::kNoPreset, std::string(TrimSpaces(name)), {}};
  store_->Handler()->RemoveSection(result.name);
  if (EqualsIgnoringCase(selection_, result.name)) selection_.clear();
  if (!store_->Write(&result.problem)) result.status = PresetStatus::kNotWritten;
  return result;
}

PresetResult PresetController::Apply(std::string_view name) {
  PresetResult result = CheckName(name);
  if (result.status != PresetStatus::kDone) return result;
  if (!target_) return {PresetStatus::kNoTarget, {}, {}};
  store_->TakeInChanges();
  result.name = store_->Find(result.name);
  if (result.name.empty()) return {PresetStatus::kNoPreset, std::string(TrimSpaces(name)), {}};
  theHold.Begin();
  target_->ApplyPreset(*store_->Handler(), result.name.c_str());
  const char* undoName = FindString(kStrParameterChange);
  theHold.Accept(undoName ? undoName : "");
  selection_ = result.name;
  return result;
}

}  // namespace tarnis
