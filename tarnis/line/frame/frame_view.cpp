#include "tarnis/line/frame/frame_view.h"

#include <algorithm>

namespace tarnis {

void FrameView::SetFromContext(RenderGlobalContext& gc) {
  time = gc.time;
  width = gc.devWidth;
  height = gc.devHeight;
  projType = gc.projType;
  xscale = gc.xscale;
  yscale = gc.yscale;
  xc = gc.xc;
  yc = gc.yc;
  camToWorld = gc.camToWorld;
  worldToCam = gc.worldToCam;
  nearLimit = -0.1f;
  farLimit = -1e30f;
  const ViewParams* vp = gc.GetViewParams();
  haveView = vp != nullptr;
  if (!vp) return;
  view = *vp;
  if (vp->projType == PROJ_PARALLEL && vp->yon == 1e30f) {
    nearLimit = 1e30f;
    farLimit = -1e30f;
  } else {
    nearLimit = std::min(-0.1f, -vp->hither);
    farLimit = vp->yon >= vp->hither ? -vp->yon : vp->yon;
  }
}

}  // namespace tarnis
