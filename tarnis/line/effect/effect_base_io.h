// The effect-base data the line effect and its line sets save beside their
// references: the effect's on/off state, one 32-bit value (0 or 1).
#pragma once

#include "sdk/effect.h"
#include "sdk/save_load.h"

namespace tarnis {

// Writes the state as raw data into the current chunk.
IOResult SaveEffectBase(ISave* isave, SpecialFX* fx);
// Reads it back from the current chunk; a missing or short value is IO_ERROR.
IOResult LoadEffectBase(ILoad* iload, SpecialFX* fx);

}  // namespace tarnis
