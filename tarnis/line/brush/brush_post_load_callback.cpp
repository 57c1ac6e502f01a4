#include "tarnis/line/brush/brush_post_load_callback.h"

#include "tarnis/line/brush/brush.h"

namespace tarnis {

void BrushPostLoadCallback::proc(ILoad* iload) {
  brush_->RepairAfterLoad(iload);
}

}  // namespace tarnis
