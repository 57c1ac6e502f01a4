// PresetController: what a panel's preset bar does, without the panel. The
// bar is a list of the store's presets with an editable name, a save and a
// delete button; choosing an entry applies it. A panel (or the command line)
// makes a controller over the store of its kind and a PresetTarget that
// reads and writes its object's values, and calls the operations below for
// the bar's messages.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tarnis/common/preset_store.h"

namespace tarnis {

class IniHandler;

// The object side of a preset bar: the values of one object that a preset
// of its kind holds.
class PresetTarget {
 public:
  virtual ~PresetTarget() = default;
  // Reads the preset's keys into the object; a key that is missing leaves
  // its value as it is. Called inside an open undo entry.
  virtual void ApplyPreset(IniHandler& store, const char* name) = 0;
  // Writes the object's current values into the preset, key by key; keys
  // the values do not use stay as they were.
  virtual void SavePreset(IniHandler& store, const char* name) = 0;
};

enum class PresetStatus {
  kDone,
  kEmptyName,   // nothing was done
  kBadName,     // a name a preset file cannot hold, or longer than kMaxPresetName
  kNoPreset,    // apply or delete of a name the store does not have
  kNoStore,     // no preset file (no settings directory); nothing was done
  kNoTarget,    // save or apply without an object (or one without the kind's values)
  kNotWritten,  // done in memory, but the file could not be written
};

struct PresetResult {
  PresetStatus status = PresetStatus::kDone;
  std::string name;     // the preset as stored (its letter case), when there is one
  std::string problem;  // kNotWritten: why, naming the file
};

class PresetController {
 public:
  // The most characters a preset name has: what the bar's name field takes.
  static constexpr int kMaxPresetName = 259;

  // Either may be null: without a store save and delete do nothing, without
  // a target there is nothing to save from or apply to.
  PresetController(PresetStore* store, PresetTarget* target) : store_(store), target_(target) {}

  // The presets in file order, as the bar's list shows them.
  std::vector<std::string> List() const;
  // The bar's entry shown as selected; empty when none.
  const std::string& Selection() const { return selection_; }

  // Save: an empty name does nothing. Otherwise the object's values go into
  // the preset of that name (the first one equal to it ignoring letter case,
  // or a new one at the end), that preset becomes the selection and the
  // store is written to its file.
  PresetResult Save(std::string_view name);
  // Delete: the first preset of that name ignoring letter case is removed
  // and the store written. What other writers saved to the file meanwhile
  // is taken in first, so it is not lost.
  PresetResult Delete(std::string_view name);
  // Apply: reads the preset of that name (as the file holds it now) into
  // the object as one undo entry ("Parameter change") and selects it; an
  // unknown name changes nothing and makes no entry.
  PresetResult Apply(std::string_view name);

 private:
  PresetResult CheckName(std::string_view name) const;

  PresetStore* store_;
  PresetTarget* target_;
  std::string selection_;
};

}  // namespace tarnis
