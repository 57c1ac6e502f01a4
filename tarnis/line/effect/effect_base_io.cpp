#include "tarnis/line/effect/effect_base_io.h"

namespace tarnis {

IOResult SaveEffectBase(ISave* isave, SpecialFX* fx) {
  return isave->WriteInt(fx->IsOn() ? 1 : 0);
}

IOResult LoadEffectBase(ILoad* iload, SpecialFX* fx) {
  int32_t on = 1;
  if (iload->ReadInt(on) != IO_OK) return IO_ERROR;
  fx->SetOn(on != 0);
  return IO_OK;
}

}  // namespace tarnis
