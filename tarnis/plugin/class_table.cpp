#include "tarnis/plugin/class_table.h"

#include "tarnis/common/shape_control_class_desc.h"
#include "tarnis/line/brush/brush_class_desc.h"
#include "tarnis/line/effect/line_manager_class_desc.h"
#include "tarnis/line/effect/line_ref_tex_class_desc.h"
#include "tarnis/line/effect/line_set_class_desc.h"
#include "tarnis/line/effect/line_setting_class_desc.h"
#include "tarnis/material/tarmat_class_desc.h"
#include "tarnis/material/tarmat_ext_class_desc.h"
#include "tarnis/material/tarmat_ext_shader_class_desc.h"
#include "tarnis/output/file_out_class_desc.h"
#include "tarnis/output/line_render_element_class_desc.h"
#include "tarnis/output/mat_render_element_class_desc.h"
#include "tarnis/plugin/line_merge_helper_class_desc.h"
#include "tarnis/stroke/stroke_class_desc.h"

namespace tarnis {

const std::vector<ClassDesc2*>& ClassTable() {
  // In table order: stroke map, toon material,
  // stroke holder, material extension, line effect, line set, brush, line
  // setting, extension shader, shape control, extension holder, line render
  // element, line reflection map, line merge helper, vector output, material
  // render element.
  static const std::vector<ClassDesc2*> table = {
      GetStrokeDesc(),         GetTarmatDesc(),       GetStrokeHolderDesc(),   GetTarmatExtDesc(),
      GetLineManagerDesc(),    GetLineSetDesc(),      GetBrushDesc(),
      GetLineSettingDesc(),    GetTarmatExtShaderDesc(), GetQvPolygonCtrlDesc(),
      GetTarmatExtHolderDesc(), GetLineFxRenderElementDesc(), GetLineRefTexDesc(),
      GetLineMergeHelperDesc(), GetFileOutDesc(),     GetMatRenderElementDesc()};
  return table;
}

}  // namespace tarnis
