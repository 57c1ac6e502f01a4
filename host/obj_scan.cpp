#include "host/obj_scan.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace host {
namespace {

// The whitespace-separated words of a line, one at a time.
class Words {
 public:
  explicit Words(std::string_view line) : rest_(line) {}
  std::string_view Next() {
    size_t b = 0;
    while (b < rest_.size() && IsSpace(rest_[b])) ++b;
    size_t e = b;
    while (e < rest_.size() && !IsSpace(rest_[e])) ++e;
    const std::string_view word = rest_.substr(b, e - b);
    rest_.remove_prefix(e);
    return word;
  }

 private:
  // The separators of an OBJ line (lines end at '\n').
  static bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
  }

  std::string_view rest_;
};

// The lines of a file, split at '\n' as std::getline splits them (a last
// line without '\n' counts, the empty rest after a final '\n' does not),
// read a block at a time. A read error ends the lines.
class LineReader {
 public:
  explicit LineReader(std::FILE* file) : file_(file), buffer_(kBlock) {}

  bool Next(std::string_view& line) {
    for (;;) {
      const char* start = buffer_.data() + pos_;
      if (const void* nl = std::memchr(start, '\n', end_ - pos_)) {
        const size_t length = static_cast<size_t>(static_cast<const char*>(nl) - start);
        line = std::string_view(start, length);
        pos_ += length + 1;
        return true;
      }
      if (done_) {
        if (pos_ == end_) return false;
        line = std::string_view(start, end_ - pos_);
        pos_ = end_;
        return true;
      }
      // Keep the unfinished line and read on behind it.
      std::memmove(buffer_.data(), start, end_ - pos_);
      end_ -= pos_;
      pos_ = 0;
      if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);
      const size_t n = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_);
      done_ = n == 0;
      end_ += n;
    }
  }

 private:
  static constexpr size_t kBlock = size_t{1} << 20;

  std::FILE* file_;
  std::vector<char> buffer_;
  size_t pos_ = 0, end_ = 0;
  bool done_ = false;
};

float ParseFloat(std::string_view word) {
  float v = 0.0f;
  std::from_chars(word.data(), word.data() + word.size(), v);
  return v;
}

// The three lists a face corner indexes.
enum List { kPosition, kTexCoord, kNormal, kNumLists };
constexpr const char* kListNames[kNumLists] = {"vertex", "texture coordinate", "normal"};

// What an index of one list resolves to: 1-based against every entry of the
// file, or negative counting back from the entries read so far.
bool IndexInRange(long long i, size_t soFar, size_t total) {
  if (i > 0) return static_cast<size_t>(i) <= total;
  return i < 0 && static_cast<size_t>(-i) <= soFar;
}

struct Counts {
  size_t n[kNumLists] = {0, 0, 0};
};

// First pass: how many of each list the file has, whether it has `s`
// statements, and its material names.
Counts CountLists(std::FILE* file, bool& anyLabel, size_t& materialNames) {
  Counts total;
  std::unordered_set<std::string> names;
  LineReader lines(file);
  std::string_view line;
  while (lines.Next(line)) {
    Words words(line);
    const std::string_view key = words.Next();
    if (key == "v") ++total.n[kPosition];
    if (key == "vt") ++total.n[kTexCoord];
    if (key == "vn") ++total.n[kNormal];
    if (key == "s") anyLabel = true;
    if (key == "usemtl") names.emplace(words.Next());
  }
  materialNames = names.size();
  return total;
}

class Scanner {
 public:
  Scanner(ObjScan& out, const Counts& total, bool keepElements)
      : out_(out), total_(total), keepElements_(keepElements) {}

  void Line(std::string_view line, size_t number) {
    Words words(line);
    const std::string_view key = words.Next();
    if (key == "v") {
      Point3 p;
      for (int a = 0; a < 3; ++a) p[a] = ParseFloat(words.Next());
      if (keepElements_) positions_.push_back(p);
      ++soFar_.n[kPosition];
    } else if (key == "vt") {
      ++soFar_.n[kTexCoord];
    } else if (key == "vn") {
      ++soFar_.n[kNormal];
    } else if (key == "s") {
      const std::string_view value = words.Next();
      unsigned long n = 0;
      std::from_chars(value.data(), value.data() + value.size(), n);
      label_ = value == "off" ? 0u : static_cast<uint32_t>(std::min(n, 0xFFFFFFFEul));
    } else if (key == "f" || key == "l" || key == "p") {
      if (key == "f") ++out_.faces;
      Element(words, number);
    }
  }

  void Finish() {
    if (badLines_ > kMaxIndexWarnings) {
      out_.warnings.push_back("and " + std::to_string(badLines_ - kMaxIndexWarnings) +
                              " more lines with indices out of range");
    }
  }

 private:
  void Element(Words& words, size_t number) {
    ObjElement e{0, std::nullopt, label_};
    bool reported = false;
    for (std::string_view corner = words.Next(); !corner.empty(); corner = words.Next()) {
      // "v", "v/vt", "v//vn" or "v/vt/vn"
      for (int list = 0; list < kNumLists && !reported; ++list) {
        const size_t slash = std::min(corner.find('/'), corner.size());
        const std::string_view part = corner.substr(0, slash);
        corner.remove_prefix(std::min(slash + 1, corner.size()));
        if (part.empty()) continue;
        long long i = 0;
        std::from_chars(part.data(), part.data() + part.size(), i);
        if (!IndexInRange(i, soFar_.n[list], total_.n[list])) {
          Report(number, list, part);
          reported = true;
        } else if (list == kPosition && e.corners == 0 && keepElements_) {
          const size_t at =
              i > 0 ? static_cast<size_t>(i - 1) : soFar_.n[kPosition] - static_cast<size_t>(-i);
          if (at < positions_.size()) e.first = positions_[at];
        }
      }
      ++e.corners;
    }
    if (keepElements_) out_.elements.push_back(e);
  }

  void Report(size_t number, int list, std::string_view index) {
    if (++badLines_ > kMaxIndexWarnings) return;
    out_.warnings.push_back("line " + std::to_string(number) + ": " + kListNames[list] + " index " +
                            std::string(index) + " is out of range (the file has " +
                            std::to_string(total_.n[list]) + ")");
  }

  ObjScan& out_;
  const Counts total_;
  const bool keepElements_;
  Counts soFar_;
  std::vector<Point3> positions_;
  uint32_t label_ = 0;
  size_t badLines_ = 0;
};

}  // namespace

bool ScanObj(const std::string& path, ObjScan& out, std::string* error) {
  out = ObjScan();
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                       &std::fclose);
  if (!file) {
    if (error) *error = "cannot be read";
    return false;
  }
  bool anyLabel = false;
  const Counts total = CountLists(file.get(), anyLabel, out.materialNames);
  std::rewind(file.get());
  Scanner scanner(out, total, anyLabel);
  LineReader lines(file.get());
  std::string_view line;
  for (size_t number = 1; lines.Next(line); ++number) scanner.Line(line, number);
  scanner.Finish();
  return true;
}

}  // namespace host
