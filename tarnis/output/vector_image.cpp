#include "tarnis/output/vector_image.h"

#include <sys/mman.h>

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <new>

namespace tarnis {

namespace {

bool SameValues(const VectorCommand& c, std::span<const float> state) {
  const std::span<const float> v = c.Values();
  if (v.size() != state.size()) return false;
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i] != state[i]) return false;
  }
  return true;
}

}  // namespace

// --- CommandMemory ----------------------------------------------------------------

void* CommandMemory::do_allocate(size_t bytes, size_t alignment) {
  // Small blocks are not worth a mapping of their own.
  constexpr size_t kMapped = 2u << 20;
  if (bytes < kMapped || alignment > 4096) {
    return std::pmr::new_delete_resource()->allocate(bytes, alignment);
  }
  void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) throw std::bad_alloc();
  madvise(p, bytes, MADV_HUGEPAGE);  // a hint: without huge pages the block still works
  return p;
}

void CommandMemory::do_deallocate(void* p, size_t bytes, size_t alignment) {
  constexpr size_t kMapped = 2u << 20;
  if (bytes < kMapped || alignment > 4096) {
    std::pmr::new_delete_resource()->deallocate(p, bytes, alignment);
    return;
  }
  munmap(p, bytes);
}

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
  arena_.release();
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
  // Large frames write tens of megabytes: fewer, larger writes.
  std::setvbuf(out_, nullptr, _IOFBF, 1 << 20);
  return true;
}

void VectorTextFile::Line(const char* text) {
  // One thread writes a file: the stream needs no lock of its own.
  fputs_unlocked(text, out_);
  fputc_unlocked('\n', out_);
}

void VectorTextFile::Text(const std::string& text) {
  fwrite_unlocked(text.data(), 1, text.size(), out_);
}

void VectorTextFile::CommentLine(const std::string& text) {
  fputc_unlocked('%', out_);
  for (char ch : text) fputc_unlocked(ch == '\n' || ch == '\r' ? ' ' : ch, out_);
  fputc_unlocked('\n', out_);
}

void VectorTextFile::Point(double x, double y, char op) {
  char line[80];
  size_t n = FormatG(x, line, 32);
  line[n++] = ' ';
  n += FormatG(y, line + n, 32);
  line[n++] = ' ';
  line[n++] = op;
  line[n++] = '\n';
  fwrite_unlocked(line, 1, n, out_);
}

void VectorTextFile::Print(const char* format, ...) {
  // The formats the writers use (%G, %d, %s, %c and %%), formatted here:
  // the same text as printf in the "C" locale, whatever the process locale,
  // and much faster for the millions of numbers of a large frame. Short
  // results are gathered and written at once.
  va_list args;
  va_start(args, format);
  char line[256];
  size_t n = 0;
  auto flush = [&] {
    fwrite_unlocked(line, 1, n, out_);
    n = 0;
  };
  for (const char* p = format; *p; ++p) {
    if (n > sizeof line - 64) flush();
    if (*p != '%') {
      line[n++] = *p;
      continue;
    }
    switch (*++p) {
      case 'G':
        n += FormatG(va_arg(args, double), line + n, 64);
        break;
      case 'd':
        n = static_cast<size_t>(std::to_chars(line + n, line + n + 64, va_arg(args, int)).ptr -
                                line);
        break;
      case 's':
        flush();
        fputs_unlocked(va_arg(args, const char*), out_);
        break;
      case 'c':
        line[n++] = static_cast<char>(va_arg(args, int));
        break;
      case '%':
        line[n++] = '%';
        break;
      default:  // not a format the writers use: kept as it stands
        line[n++] = '%';
        if (!*p) {
          flush();
          va_end(args);
          return;
        }
        line[n++] = *p;
        break;
    }
  }
  flush();
  va_end(args);
}

namespace {

// %G of values printed in plain decimals (exponents -4 to 5 after rounding
// to six digits) that come from floats. A float is its 24-bit mantissa over
// a power of two, so the value times a power of ten up to 10^10 is an exact
// 64-bit integer over that power of two, and rounding the quotient rounds
// the way printf does (ties to even). 0 when the value needs the general
// path.
size_t FormatPlainG(double value, char* out) {
  if (!std::isfinite(value)) return 0;
  const double magnitude = std::fabs(value);
  if (magnitude == 0.0) {
    size_t n = 0;
    if (std::signbit(value)) out[n++] = '-';
    out[n++] = '0';
    return n;
  }
  if (magnitude < 1e-4 || magnitude >= 1e6 ||
      static_cast<double>(static_cast<float>(value)) != value)
    return 0;
  static constexpr uint64_t kPowers[] = {
      1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000, 10000000000};
  // magnitude = mantissa / 2^bitShift; the range above keeps it a normal
  // float with bitShift between 4 and 37.
  const uint32_t bits = std::bit_cast<uint32_t>(static_cast<float>(magnitude));
  const uint64_t mantissa = (bits & 0x7FFFFFu) | 0x800000u;
  const int bitShift = 150 - static_cast<int>(bits >> 23);
  // The decimal exponent, from a table (exact powers of ten as doubles are
  // close enough: a wrong guess at a power of ten is corrected below).
  static constexpr double kDecades[] = {1e-3, 1e-2, 1e-1, 1e0, 1e1, 1e2, 1e3, 1e4, 1e5};
  int exponent = -4;
  for (double decade : kDecades) exponent += magnitude >= decade ? 1 : 0;
  // Six digits: the value times 10^(5 - exponent), rounded.
  auto digitsAt = [&](int e) -> long long {
    const int shift = 5 - e;
    if (shift < 0 || shift > 10) return -1;
    // Below 2^58: a 24-bit mantissa times at most 10^10.
    const uint64_t scaled = mantissa * kPowers[shift];
    uint64_t whole = scaled >> bitShift;
    const uint64_t rest = scaled & ((uint64_t{1} << bitShift) - 1);
    const uint64_t half = uint64_t{1} << (bitShift - 1);
    if (rest > half || (rest == half && (whole & 1) != 0)) ++whole;
    return static_cast<long long>(whole);
  };
  long long digits = digitsAt(exponent);
  if (digits >= 0 && digits < 100000) digits = digitsAt(--exponent);  // log10 rounded up
  if (digits >= 1000000) {  // log10 rounded down, or rounding carried into a seventh digit
    digits = digitsAt(++exponent);
    if (digits >= 1000000) digits /= 10;
  }
  if (digits < 100000 || digits >= 1000000 || exponent < -4 || exponent > 5) return 0;
  // The six digits two at a time; the trailing zeros after the point go.
  static constexpr auto kPairs = [] {
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
      pairs[static_cast<size_t>(2 * i)] = static_cast<char>('0' + i / 10);
      pairs[static_cast<size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
    }
    return pairs;
  }();
  const auto d = static_cast<uint32_t>(digits);
  char six[6];
  std::memcpy(six, &kPairs[2 * (d / 10000)], 2);
  std::memcpy(six + 2, &kPairs[2 * (d / 100 % 100)], 2);
  std::memcpy(six + 4, &kPairs[2 * (d % 100)], 2);
  int last = 5;
  while (last > std::max(exponent, 0) && six[last] == '0') --last;
  char* o = out;
  if (value < 0) *o++ = '-';
  if (exponent >= 0) {
    // The integer digits, then the point and the fraction when one is left.
    const int whole = exponent + 1;
    std::memcpy(o, six, static_cast<size_t>(whole));
    o += whole;
    if (last >= whole) {
      *o++ = '.';
      std::memcpy(o, six + whole, static_cast<size_t>(last + 1 - whole));
      o += last + 1 - whole;
    }
  } else {
    // "0." and the zeros before the first digit.
    std::memcpy(o, "0.0000", static_cast<size_t>(1 - exponent));
    o += 1 - exponent;
    std::memcpy(o, six, static_cast<size_t>(last + 1));
    o += last + 1;
  }
  return static_cast<size_t>(o - out);
}

}  // namespace

size_t FormatG(double value, char* out, size_t size) {
  if (size >= 16) {
    if (const size_t n = FormatPlainG(value, out)) return n;
  }
  const auto result = std::to_chars(out, out + size, value, std::chars_format::general, 6);
  if (result.ec != std::errc()) return 0;
  for (char* c = out; c != result.ptr; ++c) {
    if (*c >= 'a' && *c <= 'z') *c = static_cast<char>(*c - 'a' + 'A');
  }
  return static_cast<size_t>(result.ptr - out);
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
