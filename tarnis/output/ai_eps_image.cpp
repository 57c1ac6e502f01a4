#include "tarnis/output/ai_eps_image.h"

#include <vector>

#include "tarnis/output/eps_image.h"

namespace tarnis {

namespace {

constexpr const char* kProlog[] = {
    "/m {moveto} def",
    "/l {lineto} def",
    "/B {} def",
    "/Lb {} def",
    "/LB {} def",
    "/Ln {} def",
    "/q {} def",
    "/h {closepath} def",
    "/W {clip} def",
    "/n {newpath} def",
    "/XA {setrgbcolor 4 {pop} repeat} def",
    "/d {setdash} def",
    "/w {setlinewidth} def",
    "/j {setlinejoin} def",
    "/J {setlinecap} def",
    "/*u {} def",
    "/S {stroke} def",
    "/*U {} def",
    "/Q {} def",
    "%%EndProlog",
};

// The writer's state while it walks the commands.
class AIWriter {
 public:
  explicit AIWriter(VectorTextFile& out) : out_(out) {}

  void Command(const VectorCommand& c);
  // Closes the last layer.
  void Finish() { endLayer(); }

 private:
  // "X Y m" or "X Y l" with the point on the page.
  void point(float x, float y, char op) { out_.Point(sx_ * x + tx_, sy_ * y + ty_, op); }
  void strokeOpenPath() {
    if (pathOpen_) out_.Line("S");
  }
  void endLayer() {
    if (!layerOpen_) return;
    if (clipOpen_) out_.Line("Q");
    out_.Line("LB");
    out_.Line("%AI5_EndLayer--");
  }
  void layer(const std::string& name) {
    endLayer();
    out_.Line("%AI5_BeginLayer");
    out_.Print("1 1 1 1 0 0 1 %d 79 128 255 0 50 Lb\n", firstLayer_ ? 1 : 0);
    out_.Print("(%s) Ln\n", PostScriptStringText(name).c_str());
    firstLayer_ = false;
    layerOpen_ = true;
    clipOpen_ = false;
  }

  VectorTextFile& out_;
  float tx_ = 0.0f, ty_ = 0.0f, sx_ = 1.0f, sy_ = 1.0f;
  bool pathOpen_ = false;
  bool layerOpen_ = false;
  bool clipOpen_ = false;
  bool firstLayer_ = true;
};

void AIWriter::Command(const VectorCommand& c) {
  if (WritePostScriptStyle(out_, c)) return;
  switch (c.Kind()) {
    case VectorKind::kMoveTo:
      strokeOpenPath();
      point(c.Value(0), c.Value(1), 'm');
      pathOpen_ = true;
      break;
    case VectorKind::kLine:
      if (c.Count() == 4) {
        strokeOpenPath();
        point(c.Value(0), c.Value(1), 'm');
        point(c.Value(2), c.Value(3), 'l');
        pathOpen_ = true;
      } else {
        point(c.Value(0), c.Value(1), 'l');
      }
      break;
    case VectorKind::kStroke:
      out_.Line("S");
      pathOpen_ = false;
      break;
    case VectorKind::kNewPath:
      pathOpen_ = false;
      break;
    case VectorKind::kTranslate:
      tx_ = c.Value(0), ty_ = c.Value(1);
      break;
    case VectorKind::kScale:
      sx_ = c.Value(0), sy_ = c.Value(1);
      break;
    case VectorKind::kColor:
      out_.Print("0 0 0 0 %G %G %G XA\n", c.Value(0), c.Value(1), c.Value(2));
      break;
    case VectorKind::kClipRect: {
      // The clip goes into the file as given: the page transform is not
      // applied to it.
      const float x0 = c.Value(0), y0 = c.Value(1), x1 = c.Value(2), y1 = c.Value(3);
      out_.Print("%G %G m\n", x0, y0);
      out_.Print("%G %G l\n", x1, y0);
      out_.Print("%G %G l\n", x1, y1);
      out_.Print("%G %G l\n", x0, y1);
      out_.Print("%G %G l\n", x0, y0);
      out_.Line("h");
      out_.Line("W");
      out_.Line("n");
      break;
    }
    case VectorKind::kClosePath:
      out_.Line("h");
      break;
    case VectorKind::kComment:
      out_.CommentLine(c.Text());
      break;
    case VectorKind::kLayer:
      layer(c.Text());
      break;
    case VectorKind::kBeginGroup:
      out_.Line("*u");
      break;
    case VectorKind::kEndGroup:
      out_.Line("*U");
      break;
    case VectorKind::kBeginClipGroup:
      out_.Line("q");
      clipOpen_ = true;
      break;
    case VectorKind::kEndClipGroup:
      out_.Line("Q");
      clipOpen_ = false;
      break;
    default:
      // Saving and restoring the graphics state and opacity have no form here.
      break;
  }
}

}  // namespace

std::string PostScriptStringText(const std::string& text) {
  // A parenthesis is escaped only when it has no partner, so the usual
  // names ("Objects (hidden)") are written as they read.
  std::vector<bool> escape(text.size(), false);
  std::vector<size_t> open;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '(') {
      open.push_back(i);
    } else if (text[i] == ')') {
      if (open.empty()) {
        escape[i] = true;
      } else {
        open.pop_back();
      }
    }
  }
  for (size_t i : open) escape[i] = true;
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char ch = text[i];
    if (ch == '\\') {
      out += "\\\\";
    } else if (ch == '\n') {
      out += "\\n";
    } else if (ch == '\r') {
      out += "\\r";
    } else {
      if (escape[i]) out += '\\';
      out += ch;
    }
  }
  return out;
}

bool AIEPSImage::Write(const std::string& path, std::string* problem) {
  VectorTextFile out;
  if (!out.Open(path, problem)) return false;
  const Box& b = BoundingBox();
  out.Line("%!PS-Adobe-3.0 EPSF-3.0");
  out.Line("%%Creator: Adobe Illustrator(R) 8.0");
  out.Line("%%AI8_CreatorVersion: 13.0.2");
  out.Print("%%%%BoundingBox: %G %G %G %G\n", b.x0, b.y0, b.x1, b.y1);
  out.Print("%%%%HiResBoundingBox: %G %G %G %G\n", b.x0, b.y0, b.x1, b.y1);
  const float templateW = (b.x1 - b.x0) * 0.5f + 0.5f;
  const float templateH = (b.y1 - b.y0) * 0.5f - 0.5f;
  out.Print("%%AI3_TemplateBox: %G %G %G %G\n", templateW, templateH, templateW, templateH);
  out.Print("%%AI5_ArtSize: %G %G\n", b.x1 - b.x0, b.y1 - b.y0);
  for (const char* line : kProlog) out.Line(line);
  AIWriter writer(out);
  for (const VectorCommand& c : Commands()) writer.Command(c);
  writer.Finish();
  out.Line("%%PageTrailer");
  out.Line("showpage");
  out.Line("%%Trailer");
  out.Line("%%EOF");
  return out.Commit(problem);
}

}  // namespace tarnis
