// The global parameter-linking switch and the copy step that keeps a value
// held in two places equal (a line-type block and its base line setting, a
// line setting and its brush). One process-wide flag, read and written on the
// interface thread only; it is off while a scene file is opened or merged,
// and the copy step itself turns it off while it runs, so the change
// notifications a copy causes never copy back.
#pragma once

#include "sdk/param_block.h"

namespace tarnis {

// True while parameter changes are mirrored (on at start).
bool ParamLinkingOn();
void SetParamLinking(bool on);

// Switches linking off for its lifetime and puts the previous state back.
class ParamLinkingOff {
 public:
  ParamLinkingOff();
  ~ParamLinkingOff();
  ParamLinkingOff(const ParamLinkingOff&) = delete;
  ParamLinkingOff& operator=(const ParamLinkingOff&) = delete;

 private:
  bool previous_;
};

// Registers the file notifications that switch linking off while a scene
// file is opened or merged (pre-open, pre-merge) and on again afterwards
// (post-open, post-merge). Called once by the plug-in's set-up; a second
// call changes nothing.
void RegisterParamLinkingNotifications();

// The copy step: parameter `a` of `src` into parameter `b` of `dst`. An
// animated source gives the target a copy of its controller (the target is
// then animated the same way); otherwise a controller on the target is removed
// and the plain value copied. Nothing is recorded for undo. Does nothing (and
// answers false) while linking is off, when a block is missing, or when the
// two parameters do not convert; answers true when the target now matches.
bool CopyLinkedParam(IParamBlock2* src, ParamID a, IParamBlock2* dst, ParamID b);

}  // namespace tarnis
