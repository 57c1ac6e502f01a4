#include "tarnis/output/eps_image.h"

namespace tarnis {

namespace {

constexpr const char* kProlog[] = {
    "/m {moveto} def",       "/l {lineto} def",  "/h {closepath} def",    "/W {clip} def",
    "/n {newpath} def",      "/d {setdash} def", "/w {setlinewidth} def", "/j {setlinejoin} def",
    "/J {setlinecap} def",   "/S {stroke} def",  "/_t {translate} def",   "/_s {scale} def",
    "/_c {setrgbcolor} def",
};

void WriteCommand(VectorTextFile& out, const VectorCommand& c) {
  if (WritePostScriptStyle(out, c)) return;
  switch (c.Kind()) {
    case VectorKind::kMoveTo:
      out.Point(c.Value(0), c.Value(1), 'm');
      break;
    case VectorKind::kLine:
      if (c.Count() == 4) {
        out.Point(c.Value(0), c.Value(1), 'm');
        out.Point(c.Value(2), c.Value(3), 'l');
      } else {
        out.Point(c.Value(0), c.Value(1), 'l');
      }
      break;
    case VectorKind::kStroke:
      out.Line("S");
      break;
    case VectorKind::kTranslate:
      out.Print("%G %G _t\n", c.Value(0), c.Value(1));
      break;
    case VectorKind::kColor:
      out.Print("%G %G %G _c\n", c.Value(0), c.Value(1), c.Value(2));
      break;
    case VectorKind::kScale:
      out.Print("%G %G _s\n", c.Value(0), c.Value(1));
      break;
    case VectorKind::kNewPath:
      out.Line("n");
      break;
    case VectorKind::kClipRect: {
      const float x0 = c.Value(0), y0 = c.Value(1), x1 = c.Value(2), y1 = c.Value(3);
      out.Line("n");
      out.Print("%G %G m\n", x0, y0);
      out.Print("%G %G l\n", x1, y0);
      out.Print("%G %G l\n", x1, y1);
      out.Print("%G %G l\n", x0, y1);
      out.Line("h");
      out.Line("W");
      break;
    }
    case VectorKind::kClosePath:
      out.Line("h");
      break;
    case VectorKind::kGSave:
      out.Line("gsave");
      break;
    case VectorKind::kGRestore:
      out.Line("grestore");
      break;
    case VectorKind::kComment:
      out.CommentLine(c.Text());
      break;
    default:
      // Layers, groups and opacity have no form in a plain EPS file.
      break;
  }
}

}  // namespace

bool WritePostScriptStyle(VectorTextFile& out, const VectorCommand& c) {
  switch (c.Kind()) {
    case VectorKind::kLineWidth:
      out.Print("%G w\n", c.Value(0));
      return true;
    case VectorKind::kDash: {
      const std::span<const float> v = c.Values();
      out.Print("[");
      for (size_t i = 0; i + 1 < v.size(); ++i) out.Print("%G ", v[i]);
      out.Print("] %G d\n", v.empty() ? 0.0f : v.back());
      return true;
    }
    case VectorKind::kLineJoin:
      out.Print("%d j\n", c.Int());
      return true;
    case VectorKind::kLineCap:
      out.Print("%d J\n", c.Int());
      return true;
    default:
      return false;
  }
}

bool EPSImage::Write(const std::string& path, std::string* problem) {
  VectorTextFile out;
  if (!out.Open(path, problem)) return false;
  const Box& b = BoundingBox();
  out.Line("%!PS-Adobe-3.0 EPSF-3.0");
  out.Print("%%%%BoundingBox: %G %G %G %G\n", b.x0, b.y0, b.x1, b.y1);
  for (const char* line : kProlog) out.Line(line);
  for (const VectorCommand& c : Commands()) WriteCommand(out, c);
  out.Line("%%EOF");
  return out.Commit(problem);
}

}  // namespace tarnis
