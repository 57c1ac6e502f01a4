// RegisterMaterialClasses: the descriptors of std_material, std_uvgen, maps
// and cubic_map.
#include "host/material_classes.h"

#include "host/cubic_map.h"
#include "host/maps.h"
#include "host/std_material.h"
#include "host/std_uvgen.h"

namespace host {

void RegisterMaterialClasses(ClassDirectory& dir) {
  for (ClassDesc2* cd : {GetStdMtlDesc(), GetBlinnShaderDesc(), GetStdUVGenDesc(),
                         GetBitmapTexDesc(), GetCheckerDesc(), GetNoiseDesc(), GetStdCubicDesc()}) {
    dir.AddClass(cd);
  }
}

}  // namespace host
