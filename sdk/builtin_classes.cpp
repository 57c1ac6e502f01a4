// The SDK's own classes in the class directory: parameter blocks, the
// key-frame controllers and the curve control, so that saved scenes and
// scene descriptions can make them like any plug-in class.
#include <vector>

#include "sdk/class_desc.h"
#include "sdk/controllers.h"
#include "sdk/curve_control.h"
#include "sdk/param_block.h"

void RegisterSdkClasses(ClassDirectory& dir) {
  dir.AddClass(GetParamBlock2Desc());
  std::vector<ClassDesc2*> controllers;
  GetControllerDescs(controllers);
  for (ClassDesc2* cd : controllers) dir.AddClass(cd);
  dir.AddClass(GetCurveControlDesc());
}
