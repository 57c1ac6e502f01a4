#include "tarnis/output/vector_image.h"

#include <locale.h>

#include <array>
#include <cmath>
#include <cstdarg>

namespace tarnis {

namespace {

// The "C" locale, made once; null if the C library cannot make it (the
// process locale is used then).
locale_t ClassicLocale() {
  static const locale_t classic = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return classic;
}

bool SameValues(const VectorCommand& c, std::span<const float> state) {
  const std::span<const float> v = c.Values();
  if (v.size() != state.size()) return false;
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i] != state[i]) return false;
  }
  return true;
}

}  // namespace

// --- VectorCommand --------------------------------------------------------------

VectorCommand::VectorCommand(VectorKind kind, std::span<const float> values)
    : kind_(kind), count_(static_cast<int>(values.size())) {
  if (values.size() <= kInline) {
    std::copy(values.begin(), values.end(), inline_);
  } else {
    extra_ = std::make_unique<Extra>();
    extra_->values.assign(values.begin(), values.end());
  }
}

VectorCommand::VectorCommand(VectorKind kind, std::string text) : kind_(kind) {
  extra_ = std::make_unique<Extra>();
  extra_->text = std::move(text);
}

std::span<const float> VectorCommand::Values() const {
  if (count_ > kInline) return extra_->values;
  return std::span<const float>(inline_, static_cast<size_t>(count_));
}

const std::string& VectorCommand::Text() const {
  static const std::string kNone;
  return extra_ ? extra_->text : kNone;
}

void VectorCommand::MakeLineTo(float x, float y) {
  count_ = 2;
  inline_[0] = x, inline_[1] = y;
}

// --- VectorImage: the interface does nothing ----------------------------------------

void VectorImage::SetBoundingBox(float, float, float, float) {}
void VectorImage::Translate(Position, float, float) {}
void VectorImage::SetColor(Position, float, float, float) {}
void VectorImage::SetOpacity(Position, float) {}
void VectorImage::Scale(Position, float, float) {}
void VectorImage::SetLineWidth(Position, float) {}
void VectorImage::ClearDash(Position) {}
void VectorImage::SetDash(Position, std::span<const float>, float) {}
void VectorImage::SetLineJoin(Position, int) {}
void VectorImage::SetLineCap(Position, int) {}
void VectorImage::BeginLayer(Position, const std::string&) {}
void VectorImage::NewPath(Position) {}
void VectorImage::MoveTo(Position, float, float) {}
void VectorImage::AddLine(Position, float, float, float, float) {}
void VectorImage::LineTo(Position, float, float) {}
void VectorImage::StrokePath(Position) {}
void VectorImage::ClipRect(Position, float, float, float, float) {}
void VectorImage::ClosePath(Position) {}
void VectorImage::GSave(Position) {}
void VectorImage::GRestore(Position) {}
void VectorImage::Comment(Position, const std::string&) {}

bool VectorImage::Write(const std::string&, std::string* problem) {
  if (problem) *problem = "the image has no file format";
  return false;
}

void VectorImage::Clear() {
  commands_.clear();
  box_ = Box();
  tolerance_ = 0.0f;
  cursor_ = commands_.end();
}

void VectorImage::Erase(Position first, Position last) {
  for (Position p = first; p != last; ++p) {
    if (p == cursor_) {
      cursor_ = last;
      break;
    }
  }
  commands_.erase(first, last);
}

VectorImage::Position VectorImage::Insert(Position before, VectorKind kind,
                                          std::span<const float> values) {
  return commands_.emplace(before, kind, values);
}

VectorImage::Position VectorImage::Insert(Position before, VectorKind kind, std::string text) {
  return commands_.emplace(before, kind, std::move(text));
}

void VectorImage::Optimize() {
  const bool grouping = GroupsPaths();
  const float tol = tolerance_;
  bool pathOpen = false;
  bool groupOpen = false;
  float curX = 0.0f, curY = 0.0f;
  // The state the commands so far leave: a command repeating it is dropped.
  float width[1] = {1.0f};
  float colour[3] = {0.0f, 0.0f, 0.0f};
  float opacity[1] = {1.0f};
  float join[1] = {0.0f};
  float cap[1] = {0.0f};
  std::vector<float> dash = {0.0f};  // the lengths, then the phase
  auto openGroup = [&](Position at) {
    if (grouping && !groupOpen) {
      Insert(at, VectorKind::kBeginGroup, std::span<const float>());
      groupOpen = true;
    }
  };
  auto sameOrTake = [](const VectorCommand& c, std::span<float> state) {
    if (SameValues(c, state)) return true;
    std::copy(c.Values().begin(), c.Values().end(), state.begin());
    return false;
  };

  for (Position it = commands_.begin(); it != commands_.end();) {
    VectorCommand& c = *it;
    bool drop = false;
    switch (c.Kind()) {
      case VectorKind::kMoveTo:
        openGroup(it);
        pathOpen = true;
        curX = c.Value(0), curY = c.Value(1);
        break;
      case VectorKind::kLine:
        if (c.Count() == 4) {
          openGroup(it);
          const float x1 = c.Value(2), y1 = c.Value(3);
          if (pathOpen && std::fabs(c.Value(0) - curX) <= tol &&
              std::fabs(c.Value(1) - curY) <= tol) {
            c.MakeLineTo(x1, y1);
          }
          curX = x1, curY = y1;
          pathOpen = true;
        } else if (c.Count() == 2) {
          curX = c.Value(0), curY = c.Value(1);
        }
        break;
      case VectorKind::kColor:
        drop = c.Count() == 3 && sameOrTake(c, colour);
        break;
      case VectorKind::kLineWidth:
        drop = c.Count() == 1 && sameOrTake(c, width);
        break;
      case VectorKind::kOpacity:
        drop = c.Count() == 1 && sameOrTake(c, opacity);
        break;
      case VectorKind::kLineJoin:
        drop = c.Count() == 1 && sameOrTake(c, join);
        break;
      case VectorKind::kLineCap:
        drop = c.Count() == 1 && sameOrTake(c, cap);
        break;
      case VectorKind::kDash:
        if (c.Count() >= 1) {
          drop = SameValues(c, dash);
          if (!drop) dash.assign(c.Values().begin(), c.Values().end());
        }
        break;
      case VectorKind::kNewPath:
        openGroup(it);
        pathOpen = false;
        break;
      case VectorKind::kStroke:
        if (grouping && groupOpen) {
          Insert(std::next(it), VectorKind::kEndGroup, std::span<const float>());
          groupOpen = false;
        }
        break;
      case VectorKind::kLayer:
        if (grouping && groupOpen) {
          Insert(it, VectorKind::kEndGroup, std::span<const float>());
          groupOpen = false;
        }
        break;
      default:
        break;
    }
    if (drop) {
      const bool atCursor = it == cursor_;
      it = commands_.erase(it);
      if (atCursor) cursor_ = it;
    } else {
      ++it;
    }
  }
}

// --- RecordingImage --------------------------------------------------------------------

void RecordingImage::SetBoundingBox(float x0, float y0, float x1, float y1) {
  box_ = Box{x0, y0, x1, y1};
}

void RecordingImage::Translate(Position before, float tx, float ty) {
  Insert(before, VectorKind::kTranslate, std::array{tx, ty});
}

void RecordingImage::SetColor(Position before, float r, float g, float b) {
  Insert(before, VectorKind::kColor, std::array{r, g, b});
}

void RecordingImage::SetOpacity(Position before, float opacity) {
  Insert(before, VectorKind::kOpacity, std::array{opacity});
}

void RecordingImage::Scale(Position before, float sx, float sy) {
  Insert(before, VectorKind::kScale, std::array{sx, sy});
}

void RecordingImage::SetLineWidth(Position before, float w) {
  Insert(before, VectorKind::kLineWidth, std::array{w});
}

void RecordingImage::ClearDash(Position before) {
  Insert(before, VectorKind::kDash, std::array{0.0f});
}

void RecordingImage::SetDash(Position before, std::span<const float> lengths, float phase) {
  std::vector<float> values(lengths.begin(), lengths.end());
  values.push_back(phase);
  Insert(before, VectorKind::kDash, values);
}

void RecordingImage::SetLineJoin(Position before, int join) {
  Insert(before, VectorKind::kLineJoin, std::array{static_cast<float>(join)});
}

void RecordingImage::SetLineCap(Position before, int cap) {
  Insert(before, VectorKind::kLineCap, std::array{static_cast<float>(cap)});
}

void RecordingImage::BeginLayer(Position before, const std::string& name) {
  if (SupportsLayers()) Insert(before, VectorKind::kLayer, name);
}

void RecordingImage::NewPath(Position before) {
  Insert(before, VectorKind::kNewPath, std::span<const float>());
}

void RecordingImage::MoveTo(Position before, float x, float y) {
  Insert(before, VectorKind::kMoveTo, std::array{x, y});
}

void RecordingImage::AddLine(Position before, float x0, float y0, float x1, float y1) {
  Insert(before, VectorKind::kLine, std::array{x0, y0, x1, y1});
}

void RecordingImage::LineTo(Position before, float x, float y) {
  Insert(before, VectorKind::kLine, std::array{x, y});
}

void RecordingImage::StrokePath(Position before) {
  Insert(before, VectorKind::kStroke, std::span<const float>());
}

void RecordingImage::ClipRect(Position before, float x0, float y0, float x1, float y1) {
  if (ClipsInGroups()) Insert(before, VectorKind::kBeginClipGroup, std::span<const float>());
  Insert(before, VectorKind::kClipRect, std::array{x0, y0, x1, y1});
}

void RecordingImage::ClosePath(Position before) {
  Insert(before, VectorKind::kClosePath, std::span<const float>());
}

void RecordingImage::GSave(Position before) {
  Insert(before, VectorKind::kGSave, std::span<const float>());
}

void RecordingImage::GRestore(Position before) {
  Insert(before, VectorKind::kGRestore, std::span<const float>());
}

void RecordingImage::Comment(Position before, const std::string& text) {
  Insert(before, VectorKind::kComment, text);
}

// --- VectorTextFile ----------------------------------------------------------------------

bool VectorTextFile::Open(const std::string& path, std::string* problem) {
  std::string reason;
  if (!file_.Create(path, reason)) {
    if (problem) *problem = reason;
    return false;
  }
  out_ = file_.File();
  return true;
}

void VectorTextFile::Line(const char* text) {
  std::fputs(text, out_);
  std::fputc('\n', out_);
}

void VectorTextFile::Text(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), out_);
}

void VectorTextFile::CommentLine(const std::string& text) {
  std::fputc('%', out_);
  for (char ch : text) std::fputc(ch == '\n' || ch == '\r' ? ' ' : ch, out_);
  std::fputc('\n', out_);
}

void VectorTextFile::Print(const char* format, ...) {
  // Only this thread formats in the C locale, and only for this call.
  const locale_t classic = ClassicLocale();
  const locale_t previous = classic ? uselocale(classic) : static_cast<locale_t>(nullptr);
  va_list args;
  va_start(args, format);
  std::vfprintf(out_, format, args);
  va_end(args);
  if (classic) uselocale(previous);
}

bool VectorTextFile::Commit(std::string* problem) {
  std::string reason;
  out_ = nullptr;
  if (!file_.Commit(reason)) {
    if (problem) *problem = reason;
    return false;
  }
  return true;
}

}  // namespace tarnis
