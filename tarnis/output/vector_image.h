// The vector images the file output collects strokes into, and what their
// writers share.
//
// VectorImage is the interface: a list of drawing commands with a cursor into
// it, the page's bounding box and the tolerance within which Optimize joins
// the pieces of a path. Every drawing operation exists twice: inserting
// before a given list position, and inserting at the cursor (the cursor then
// stays where it was, so successive commands keep their order). The
// operations do nothing in VectorImage itself; RecordingImage records them,
// and the file formats (EPSImage, AIEPSImage, SVGImage) derive from it and
// write the list out.
//
// Commands are made for every piece of every stroke of a frame, so they are
// small: up to four values inline, longer dash patterns and texts on the
// side; the list's nodes come from an arena of the image that Clear frees
// in one go.
#pragma once

#include <cstdint>
#include <cstdio>
#include <list>
#include <memory>
#include <memory_resource>
#include <span>
#include <string>
#include <vector>

#include "sdk/atomic_file.h"

namespace tarnis {

// What a command does; the numbers are those of the command list.
enum class VectorKind : uint8_t {
  kMoveTo = 1,
  kLine = 2,  // a line to (2 values) or a line segment (4 values)
  kStroke = 3,
  kTranslate = 4,
  kColor = 5,
  kScale = 6,
  kLineWidth = 7,
  kDash = 8,  // the dash lengths followed by the phase
  kLineJoin = 9,
  kLineCap = 10,
  kNewPath = 11,
  kClipRect = 12,
  kClosePath = 13,
  kGSave = 14,
  kGRestore = 15,
  kComment = 16,
  kLayer = 17,
  // The opacity of the strokes that follow (0..1). Only formats that can
  // show it use it; PostScript has no opacity and skips it.
  kOpacity = 18,
  kBeginGroup = 101,
  kEndGroup = 102,
  kBeginClipGroup = 103,
  kEndClipGroup = 104,
};

class VectorCommand {
 public:
  VectorCommand(VectorKind kind, std::span<const float> values);
  VectorCommand(VectorKind kind, std::string text);

  VectorKind Kind() const { return kind_; }
  int Count() const { return count_; }
  float Value(int i) const { return Values()[static_cast<size_t>(i)]; }
  std::span<const float> Values() const;
  // The integer of a join or cap command.
  int Int() const { return static_cast<int>(inline_[0]); }
  // The text of a comment or layer; empty for other commands.
  const std::string& Text() const;
  // A line segment becomes a line to its end point.
  void MakeLineTo(float x, float y);

 private:
  static constexpr int kInline = 4;
  struct Extra {
    std::vector<float> values;
    std::string text;
  };

  VectorKind kind_;
  int count_ = 0;
  float inline_[kInline] = {};
  std::unique_ptr<Extra> extra_;
};

// Where the command lists take their memory from: large blocks mapped from
// the system and marked for huge pages, so that the millions of commands of
// a large frame cost few page faults. Blocks go back to the system when the
// arena built on it releases them.
class CommandMemory final : public std::pmr::memory_resource {
 private:
  void* do_allocate(size_t bytes, size_t alignment) override;
  void do_deallocate(void* p, size_t bytes, size_t alignment) override;
  bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override {
    return this == &other;
  }
};

class VectorImage {
 public:
  using CommandList = std::pmr::list<VectorCommand>;
  using Position = CommandList::iterator;
  struct Box {
    float x0 = 0.0f, y0 = 0.0f, x1 = 0.0f, y1 = 0.0f;
  };

  VectorImage() = default;
  VectorImage(const VectorImage&) = delete;
  VectorImage& operator=(const VectorImage&) = delete;
  virtual ~VectorImage() = default;

  // --- Drawing operations (no-ops here) -------------------------------------------
  virtual void SetBoundingBox(float x0, float y0, float x1, float y1);

  virtual void Translate(Position before, float tx, float ty);
  void Translate(float tx, float ty) { Translate(cursor_, tx, ty); }
  // r, g, b in 0..1.
  virtual void SetColor(Position before, float r, float g, float b);
  void SetColor(float r, float g, float b) { SetColor(cursor_, r, g, b); }
  virtual void SetOpacity(Position before, float opacity);
  void SetOpacity(float opacity) { SetOpacity(cursor_, opacity); }
  virtual void Scale(Position before, float sx, float sy);
  void Scale(float sx, float sy) { Scale(cursor_, sx, sy); }
  virtual void SetLineWidth(Position before, float w);
  void SetLineWidth(float w) { SetLineWidth(cursor_, w); }
  // A solid line: a dash command without lengths and phase 0.
  virtual void ClearDash(Position before);
  void ClearDash() { ClearDash(cursor_); }
  virtual void SetDash(Position before, std::span<const float> lengths, float phase);
  void SetDash(std::span<const float> lengths, float phase) { SetDash(cursor_, lengths, phase); }
  virtual void SetLineJoin(Position before, int join);
  void SetLineJoin(int join) { SetLineJoin(cursor_, join); }
  virtual void SetLineCap(Position before, int cap);
  void SetLineCap(int cap) { SetLineCap(cursor_, cap); }
  // Starts a layer named `name`, in formats that have layers.
  virtual void BeginLayer(Position before, const std::string& name);
  void BeginLayer(const std::string& name) { BeginLayer(cursor_, name); }
  virtual void NewPath(Position before);
  void NewPath() { NewPath(cursor_); }
  virtual void MoveTo(Position before, float x, float y);
  void MoveTo(float x, float y) { MoveTo(cursor_, x, y); }
  // A line segment of its own, from (x0, y0) to (x1, y1).
  virtual void AddLine(Position before, float x0, float y0, float x1, float y1);
  void AddLine(float x0, float y0, float x1, float y1) { AddLine(cursor_, x0, y0, x1, y1); }
  virtual void LineTo(Position before, float x, float y);
  void LineTo(float x, float y) { LineTo(cursor_, x, y); }
  // Paints the current path.
  virtual void StrokePath(Position before);
  void StrokePath() { StrokePath(cursor_); }
  virtual void ClipRect(Position before, float x0, float y0, float x1, float y1);
  void ClipRect(float x0, float y0, float x1, float y1) { ClipRect(cursor_, x0, y0, x1, y1); }
  virtual void ClosePath(Position before);
  void ClosePath() { ClosePath(cursor_); }
  virtual void GSave(Position before);
  void GSave() { GSave(cursor_); }
  virtual void GRestore(Position before);
  void GRestore() { GRestore(cursor_); }
  virtual void Comment(Position before, const std::string& text);
  void Comment(const std::string& text) { Comment(cursor_, text); }

  // Whether BeginLayer makes layers.
  virtual bool SupportsLayers() const { return false; }

  // One walk over the list that drops state commands repeating the current
  // state and joins line segments that start within the tolerance of the
  // current point into the path before them; formats that group paths get
  // each path wrapped in a group.
  void Optimize();

  // Writes the list to `path` (a file of the image's format, written to a
  // temporary name beside it and renamed when complete). False with the
  // reason in `problem` when it could not be written; an image without a
  // format writes nothing and answers false.
  virtual bool Write(const std::string& path, std::string* problem = nullptr);

  // Frees every command, zeroes the bounding box and the tolerance and puts
  // the cursor at the end.
  void Clear();

  // --- The list and the cursor --------------------------------------------------
  const CommandList& Commands() const { return commands_; }
  bool HasCommands() const { return !commands_.empty(); }
  Position Begin() { return commands_.begin(); }
  Position End() { return commands_.end(); }
  // The last command, or End() when the list is empty.
  Position Last() { return commands_.empty() ? commands_.end() : std::prev(commands_.end()); }
  // The command after `p`; End() stands for "before the first command", so
  // After(End()) is the first command.
  Position After(Position p) { return p == commands_.end() ? commands_.begin() : std::next(p); }
  // The command before `p`, or End() when `p` is the first.
  Position Before(Position p) { return p == commands_.begin() ? commands_.end() : std::prev(p); }
  Position Cursor() const { return cursor_; }
  void SetCursor(Position p) { cursor_ = p; }
  // Removes the commands [first, last); a cursor among them moves to `last`.
  void Erase(Position first, Position last);

  const Box& BoundingBox() const { return box_; }
  float Tolerance() const { return tolerance_; }
  void SetTolerance(float tolerance) { tolerance_ = tolerance; }

 protected:
  // Whether Optimize wraps every path in a group (begin group before it,
  // end group after its stroke and before a layer).
  virtual bool GroupsPaths() const { return false; }

  Position Insert(Position before, VectorKind kind, std::span<const float> values);
  Position Insert(Position before, VectorKind kind, std::string text);

  Box box_;

 private:
  CommandMemory memory_;
  // Blocks start at 64 KiB and grow, so small frames stay small.
  std::pmr::monotonic_buffer_resource arena_{64 << 10, &memory_};
  CommandList commands_{&arena_};
  Position cursor_ = commands_.end();
  float tolerance_ = 0.0f;
};

// A VectorImage whose operations record their commands. BeginLayer records
// a layer only when SupportsLayers; ClipRect puts a begin-clip-group command
// before the clip rectangle when ClipsInGroups.
class RecordingImage : public VectorImage {
 public:
  using VectorImage::AddLine;
  using VectorImage::BeginLayer;
  using VectorImage::ClearDash;
  using VectorImage::ClipRect;
  using VectorImage::ClosePath;
  using VectorImage::Comment;
  using VectorImage::GRestore;
  using VectorImage::GSave;
  using VectorImage::LineTo;
  using VectorImage::MoveTo;
  using VectorImage::NewPath;
  using VectorImage::Scale;
  using VectorImage::SetColor;
  using VectorImage::SetDash;
  using VectorImage::SetLineCap;
  using VectorImage::SetLineJoin;
  using VectorImage::SetLineWidth;
  using VectorImage::SetOpacity;
  using VectorImage::StrokePath;
  using VectorImage::Translate;

  void SetBoundingBox(float x0, float y0, float x1, float y1) override;
  void Translate(Position before, float tx, float ty) override;
  void SetColor(Position before, float r, float g, float b) override;
  void SetOpacity(Position before, float opacity) override;
  void Scale(Position before, float sx, float sy) override;
  void SetLineWidth(Position before, float w) override;
  void ClearDash(Position before) override;
  void SetDash(Position before, std::span<const float> lengths, float phase) override;
  void SetLineJoin(Position before, int join) override;
  void SetLineCap(Position before, int cap) override;
  void BeginLayer(Position before, const std::string& name) override;
  void NewPath(Position before) override;
  void MoveTo(Position before, float x, float y) override;
  void AddLine(Position before, float x0, float y0, float x1, float y1) override;
  void LineTo(Position before, float x, float y) override;
  void StrokePath(Position before) override;
  void ClipRect(Position before, float x0, float y0, float x1, float y1) override;
  void ClosePath(Position before) override;
  void GSave(Position before) override;
  void GRestore(Position before) override;
  void Comment(Position before, const std::string& text) override;

 protected:
  virtual bool ClipsInGroups() const { return false; }
};

// A text file of a vector format being written: a temporary file beside the
// target that replaces it on Commit. Numbers are formatted as in the "C"
// locale whatever the process's LC_NUMERIC says.
// `value` as printf's "%G" prints it in the "C" locale (six significant
// digits, trailing zeros dropped, an exponent for very small or large
// values), written to `out`; the number of characters, 0 if `size` is too small.
size_t FormatG(double value, char* out, size_t size);

class VectorTextFile {
 public:
  VectorTextFile() = default;
  VectorTextFile(const VectorTextFile&) = delete;
  VectorTextFile& operator=(const VectorTextFile&) = delete;

  // False with the reason when the temporary file cannot be made.
  bool Open(const std::string& path, std::string* problem);
  // A line as it stands (the line feed is added).
  void Line(const char* text);
  // Formatted text.
  [[gnu::format(printf, 2, 3)]] void Print(const char* format, ...);
  // "x y op", the line a path point makes (numbers as %G).
  void Point(double x, double y, char op);
  void Text(const std::string& text);
  // A PostScript comment line: "%" and the text, its line breaks turned into
  // spaces so the text cannot end the comment.
  void CommentLine(const std::string& text);
  // Closes the file and puts it in place; false with the reason.
  bool Commit(std::string* problem);

 private:
  AtomicFile file_;
  FILE* out_ = nullptr;
};

}  // namespace tarnis
