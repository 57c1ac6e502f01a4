// LineRefContext: the render-maps context that LineRefTex hands its base map.
// It answers every query by asking the host's own context (the inner one),
// except Render: a sub-view is rendered by the host as usual, then the lines
// of every active line effect of the scene are drawn into it, seen from the
// sub-view. The object being mapped is left out of those lines, as the host
// leaves it out of the sub-view; the sub-view's clip planes and mirror flag
// go to the line engine with the map's draw options.
//
// The line passes look at the frame through a copy of the frame's render
// context pointed at the sub-view (projection, device size, camera, and
// every render instance placed in the sub-view's camera). The frame's own
// context is never written, so it is the same after a sub-view as before,
// and the frame's line render elements get nothing from a sub-view.
#pragma once

#include "sdk/render.h"
#include "tarnis/line/engine/line_engine.h"

namespace tarnis {

class LineRefContext : public RenderMapsContext {
 public:
  // Wraps `inner` for one build-maps call; without options (null) the
  // sub-views get no lines.
  LineRefContext(RenderMapsContext& inner, const LineDrawOptions* options)
      : inner_(inner), options_(options) {}

  INode* GetNode() override { return inner_.GetNode(); }
  int NodeRenderID() override { return inner_.NodeRenderID(); }
  TimeValue CurrentTime() override { return inner_.CurrentTime(); }
  RenderGlobalContext* GetGlobalContext() override { return inner_.GetGlobalContext(); }
  void GetCurrentViewParams(ViewParams& vp) override { inner_.GetCurrentViewParams(vp); }
  void GetSubRendParams(SubRendParams& srp) override { inner_.GetSubRendParams(srp); }
  int SubMtlIndex() override { return inner_.SubMtlIndex(); }
  bool FindMtlPlane(int mtlNum, Point4& plane) override {
    return inner_.FindMtlPlane(mtlNum, plane);
  }
  Box2 FindMtlScreenBox(int mtlNum) override { return inner_.FindMtlScreenBox(mtlNum); }
  Box3 ObjectSpaceBoundingBox() override { return inner_.ObjectSpaceBoundingBox(); }
  Box3 CameraSpaceBoundingBox() override { return inner_.CameraSpaceBoundingBox(); }
  Matrix3 ObjectToWorldTM() override { return inner_.ObjectToWorldTM(); }

  // The host renders the sub-view into `bm`; then, unless there is no frame
  // context, the frame is a material-editor sample, no options were given
  // or the host's render was cancelled, the line effects draw into it.
  // Answers what the host's render answered.
  bool Render(Bitmap* bm, ViewParams& vp, SubRendParams& srp, const Point4* clipPlanes = nullptr,
              int nClipPlanes = 0) override;

  // What the line passes of this context's sub-views detected, added up.
  const DetectionStats& Stats() const { return stats_; }
  // Sub-views that got line passes, and the seconds those passes took.
  int LinePasses() const { return linePasses_; }
  double LineSeconds() const { return lineSeconds_; }

 private:
  RenderMapsContext& inner_;
  const LineDrawOptions* options_;
  DetectionStats stats_;
  int linePasses_ = 0;
  double lineSeconds_ = 0.0;
};

}  // namespace tarnis
