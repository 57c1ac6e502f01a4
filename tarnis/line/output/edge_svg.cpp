#include "tarnis/line/output/edge_svg.h"

#include <cstdio>

#include "sdk/atomic_file.h"
#include "tarnis/common/xml_text.h"

namespace tarnis {

namespace {

const std::string kPreviewName = "preview";

const char* categoryName(int category) {
  static const char* const names[] = {"object", "normal", "material", "smooth", "intersection"};
  return names[category - 1];
}

const char* categoryColor(int category) {
  static const char* const colors[] = {"#000000", "#1f77b4", "#2ca02c", "#ff7f0e", "#d62728"};
  return colors[category - 1];
}


}  // namespace

std::string EdgeSvgText(const std::deque<LineJob>& jobs, const FrameGeometry& frame) {
  const FrameView& view = frame.view;
  std::string out;
  char buf[256];
  std::snprintf(buf, sizeof(buf),
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" "
                "viewBox=\"0 0 %d %d\">\n",
                view.width, view.height, view.width, view.height);
  out += buf;
  out += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  int jobIndex = 0;
  for (const LineJob& job : jobs) {
    const std::string& setName = job.lineSet ? job.lineSetName : kPreviewName;
    std::snprintf(buf, sizeof(buf), "<g id=\"job%d\" data-visibility=\"%s\" fill=\"none\"",
                  jobIndex++, job.visibility == 0 ? "visible" : "hidden");
    out += buf;
    out += " data-line-set=\"" + XmlEscaped(setName) + "\"";
    if (job.visibility == 1) out += " stroke-dasharray=\"4 3\"";
    out += ">\n";
    for (int c = kCategoryObject; c <= kCategoryIntersection; ++c) {
      const EdgeContainer& pieces = job.edges[static_cast<size_t>(c - 1)];
      if (pieces.empty()) continue;
      std::snprintf(buf, sizeof(buf), "<g class=\"%s\" stroke=\"%s\" stroke-width=\"%s\">\n",
                    categoryName(c), categoryColor(c), job.visibility == 0 ? "1.5" : "1");
      out += buf;
      for (const EdgePiece& p : pieces) {
        const EdgeSegment& s = frame.segments[SegmentIndex(p.segment)];
        const Point2 a = s.At(p.t0), b = s.At(p.t1);
        std::snprintf(buf, sizeof(buf), "<line x1=\"%.3f\" y1=\"%.3f\" x2=\"%.3f\" y2=\"%.3f\"/>\n",
                      a.x, a.y, b.x, b.y);
        out += buf;
      }
      out += "</g>\n";
    }
    out += "</g>\n";
  }
  out += "</svg>\n";
  return out;
}

bool WriteEdgeSvg(const std::deque<LineJob>& jobs, const FrameGeometry& frame,
                  const std::string& path, std::string* error) {
  const std::string text = EdgeSvgText(jobs, frame);
  return WriteFileAtomically(
      path, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()),
      error);
}

}  // namespace tarnis
