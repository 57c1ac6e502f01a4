#include "tarnis/output/svg_image.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <set>
#include <vector>

#include "tarnis/common/xml_text.h"

namespace tarnis {

namespace {

constexpr const char* kJoinNames[] = {"miter", "round", "bevel"};
constexpr const char* kCapNames[] = {"butt", "round", "square"};
constexpr int kRoundStyle = 1;  // index of "round" in both lists

// Appends `v` like "%g" (six significant digits) in any locale.
void AppendNumber(std::string& out, double v) {
  if (!std::isfinite(v)) v = 0.0;
  char buffer[32];
  out.append(buffer, FormatG(v, buffer, sizeof buffer));
}

std::string Number(double v) {
  std::string s;
  AppendNumber(s, v);
  return s;
}

// The graphics state the commands build, as PostScript keeps it.
struct SvgState {
  float tx = 0.0f, ty = 0.0f, sx = 1.0f, sy = 1.0f;
  float colour[3] = {0.0f, 0.0f, 0.0f};
  float opacity = 1.0f;
  float width = 1.0f;
  int join = 0, cap = 0;
  std::vector<float> dash;  // lengths
  float phase = 0.0f;
  int clipGroups = 0;  // clipped groups opened at this save level
};

// Whether two states give a path the same attributes: compared bit for bit,
// so that equal states are those that print equal attributes, NaNs too.
bool SameLook(const SvgState& a, const SvgState& b) {
  auto same = [](float x, float y) {
    return std::bit_cast<uint32_t>(x) == std::bit_cast<uint32_t>(y);
  };
  if (!same(a.sx, b.sx) || !same(a.sy, b.sy) || !same(a.width, b.width) ||
      !same(a.opacity, b.opacity) || !same(a.phase, b.phase) || a.join != b.join ||
      a.cap != b.cap || a.dash.size() != b.dash.size())
    return false;
  for (int i = 0; i < 3; ++i) {
    if (!same(a.colour[i], b.colour[i])) return false;
  }
  for (size_t i = 0; i < a.dash.size(); ++i) {
    if (!same(a.dash[i], b.dash[i])) return false;
  }
  return true;
}

class SvgWriter {
 public:
  SvgWriter(VectorTextFile& out, const VectorImage::Box& box) : out_(out), box_(box) {}

  void Command(const VectorCommand& c);
  void Finish();

 private:
  // A point of the commands in image pixels: onto the page with the page
  // transform, then from the page (y upward) into the image (y downward).
  // In single precision, like the points themselves: six printed digits
  // cannot tell the difference, and float values print fastest.
  double imageX(float x) const { return static_cast<double>((s_.sx * x + s_.tx) - box_.x0); }
  double imageY(float y) const { return static_cast<double>(box_.y1 - (s_.sy * y + s_.ty)); }
  // Lengths scale with the page transform.
  double lengthScale() const { return std::sqrt(std::fabs(static_cast<double>(s_.sx) * s_.sy)); }
  void pathPoint(char op, float x, float y);
  void stroke();
  // The attributes after a path's points, to the end of its element.
  std::string lookAttributes() const;
  void clip(const VectorCommand& c);
  void layer(const std::string& name);
  void closeClipGroups(int n);
  std::string uniqueId(std::string id);

  VectorTextFile& out_;
  VectorImage::Box box_;
  SvgState s_;
  std::vector<SvgState> saved_;
  std::string path_;
  // The attributes of the last look a path was written with.
  SvgState styledFor_;
  std::string style_;
  bool styleValid_ = false;
  bool layerOpen_ = false;
  int clipNumber_ = 0;
  std::set<std::string> ids_;
};

void SvgWriter::Command(const VectorCommand& c) {
  switch (c.Kind()) {
    case VectorKind::kMoveTo:
      pathPoint('M', c.Value(0), c.Value(1));
      break;
    case VectorKind::kLine:
      if (c.Count() == 4) {
        pathPoint('M', c.Value(0), c.Value(1));
        pathPoint('L', c.Value(2), c.Value(3));
      } else {
        pathPoint('L', c.Value(0), c.Value(1));
      }
      break;
    case VectorKind::kClosePath:
      if (!path_.empty()) path_ += " Z";
      break;
    case VectorKind::kStroke:
      stroke();
      path_.clear();
      break;
    case VectorKind::kNewPath:
      path_.clear();
      break;
    case VectorKind::kTranslate:
      s_.tx = c.Value(0), s_.ty = c.Value(1);
      break;
    case VectorKind::kScale:
      s_.sx = c.Value(0), s_.sy = c.Value(1);
      break;
    case VectorKind::kColor:
      std::copy_n(c.Values().begin(), 3, s_.colour);
      break;
    case VectorKind::kOpacity:
      s_.opacity = c.Value(0);
      break;
    case VectorKind::kLineWidth:
      s_.width = c.Value(0);
      break;
    case VectorKind::kLineJoin:
      s_.join = c.Int();
      break;
    case VectorKind::kLineCap:
      s_.cap = c.Int();
      break;
    case VectorKind::kDash: {
      const std::span<const float> v = c.Values();
      if (v.empty()) break;
      s_.dash.assign(v.begin(), v.end() - 1);
      s_.phase = v.back();
      break;
    }
    case VectorKind::kClipRect:
      clip(c);
      break;
    case VectorKind::kGSave:
      saved_.push_back(s_);
      s_.clipGroups = 0;
      break;
    case VectorKind::kGRestore:
      if (!saved_.empty()) {
        closeClipGroups(s_.clipGroups);
        s_ = saved_.back();
        saved_.pop_back();
      }
      break;
    case VectorKind::kLayer:
      layer(c.Text());
      break;
    default:
      // Comments and the Illustrator groups have no part in the picture.
      break;
  }
}

void SvgWriter::pathPoint(char op, float x, float y) {
  // A path always starts with a move.
  if (path_.empty()) op = 'M';
  if (!path_.empty()) path_ += ' ';
  path_ += op;
  path_ += ' ';
  AppendNumber(path_, imageX(x));
  path_ += ' ';
  AppendNumber(path_, imageY(y));
}

void SvgWriter::stroke() {
  if (path_.empty()) return;
  // Strokes come in long runs of one look: its attributes are made once.
  if (!styleValid_ || !SameLook(s_, styledFor_)) {
    style_ = lookAttributes();
    styledFor_ = s_;
    styleValid_ = true;
  }
  static const std::string kPathStart = "<path d=\"";
  out_.Text(kPathStart);
  out_.Text(path_);
  out_.Text(style_);
}

std::string SvgWriter::lookAttributes() const {
  auto channel = [](float v) {
    return static_cast<int>(
        std::lround(std::clamp(std::isfinite(v) ? v : 0.0f, 0.0f, 1.0f) * 255.0f));
  };
  char colour[8];
  std::snprintf(colour, sizeof colour, "#%02x%02x%02x", channel(s_.colour[0]),
                channel(s_.colour[1]), channel(s_.colour[2]));
  const double scale = lengthScale();
  // The root gives every path no fill and round caps and joins; a path
  // says only what differs.
  std::string e =
      std::string("\" stroke=\"") + colour + "\" stroke-width=\"" + Number(s_.width * scale) + "\"";
  const float opacity = std::clamp(std::isfinite(s_.opacity) ? s_.opacity : 1.0f, 0.0f, 1.0f);
  if (opacity < 1.0f) e += " stroke-opacity=\"" + Number(opacity) + "\"";
  const int cap = std::clamp(s_.cap, 0, 2), join = std::clamp(s_.join, 0, 2);
  if (cap != kRoundStyle) e += std::string(" stroke-linecap=\"") + kCapNames[cap] + "\"";
  if (join != kRoundStyle) e += std::string(" stroke-linejoin=\"") + kJoinNames[join] + "\"";
  // SVG draws no dashes whose lengths are negative or all zero.
  double total = 0.0;
  bool valid = !s_.dash.empty();
  for (float d : s_.dash) {
    valid = valid && std::isfinite(d) && d >= 0.0f;
    total += d;
  }
  if (valid && total > 0.0) {
    e += " stroke-dasharray=\"";
    for (size_t i = 0; i < s_.dash.size(); ++i) {
      if (i > 0) e += ' ';
      AppendNumber(e, s_.dash[i] * scale);
    }
    e += '"';
    if (s_.phase != 0.0f) e += " stroke-dashoffset=\"" + Number(s_.phase * scale) + "\"";
  }
  e += "/>\n";
  return e;
}

void SvgWriter::clip(const VectorCommand& c) {
  const double xa = imageX(c.Value(0)), ya = imageY(c.Value(1));
  const double xb = imageX(c.Value(2)), yb = imageY(c.Value(3));
  const std::string id = uniqueId("clip" + std::to_string(++clipNumber_));
  out_.Text("<clipPath id=\"" + id + "\"><rect x=\"" + Number(std::min(xa, xb)) + "\" y=\"" +
            Number(std::min(ya, yb)) + "\" width=\"" + Number(std::fabs(xb - xa)) + "\" height=\"" +
            Number(std::fabs(yb - ya)) + "\"/></clipPath>\n");
  out_.Text("<g clip-path=\"url(#" + id + ")\">\n");
  ++s_.clipGroups;
}

void SvgWriter::closeClipGroups(int n) {
  for (int i = 0; i < n; ++i) out_.Text("</g>\n");
}

void SvgWriter::layer(const std::string& name) {
  // A layer ends every clip of the one before, at every save level.
  closeClipGroups(s_.clipGroups);
  s_.clipGroups = 0;
  for (SvgState& state : saved_) {
    closeClipGroups(state.clipGroups);
    state.clipGroups = 0;
  }
  if (layerOpen_) out_.Text("</g>\n");
  out_.Text("<g id=\"" + uniqueId(XmlId(name)) + "\" inkscape:label=\"" + XmlEscaped(name) +
            "\" inkscape:groupmode=\"layer\">\n");
  layerOpen_ = true;
}

void SvgWriter::Finish() {
  closeClipGroups(s_.clipGroups);
  for (const SvgState& state : saved_) closeClipGroups(state.clipGroups);
  if (layerOpen_) out_.Text("</g>\n");
  out_.Text("</svg>\n");
}

std::string SvgWriter::uniqueId(std::string id) {
  if (ids_.insert(id).second) return id;
  for (int n = 2;; ++n) {
    std::string candidate = id + "-" + std::to_string(n);
    if (ids_.insert(candidate).second) return candidate;
  }
}

}  // namespace

bool SVGImage::Write(const std::string& path, std::string* problem) {
  VectorTextFile out;
  if (!out.Open(path, problem)) return false;
  const Box& b = BoundingBox();
  const std::string w = Number(static_cast<double>(b.x1) - b.x0);
  const std::string h = Number(static_cast<double>(b.y1) - b.y0);
  out.Line("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>");
  out.Text(
      "<svg xmlns=\"http://www.w3.org/2000/svg\" "
      "xmlns:inkscape=\"http://www.inkscape.org/namespaces/inkscape\" version=\"1.1\" width=\"" +
      w + "\" height=\"" + h + "\" viewBox=\"0 0 " + w + " " + h +
      "\" fill=\"none\" stroke-linecap=\"round\" stroke-linejoin=\"round\">\n");
  SvgWriter writer(out, b);
  for (const VectorCommand& c : Commands()) writer.Command(c);
  writer.Finish();
  return out.Commit(problem);
}

}  // namespace tarnis
