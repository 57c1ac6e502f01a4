// BrushPostLoadCallback: runs a loaded brush's repair once every object of
// the file is loaded and its references are attached (Brush::RepairAfterLoad).
#pragma once

#include "sdk/save_load.h"

namespace tarnis {

class Brush;

class BrushPostLoadCallback : public PostLoadCallback {
 public:
  // The brush must live until the callback has run or been dropped; the
  // graph reader keeps every object it made alive that long.
  explicit BrushPostLoadCallback(Brush* brush) : brush_(brush) {}
  void proc(ILoad* iload) override;

 private:
  Brush* brush_;
};

}  // namespace tarnis
