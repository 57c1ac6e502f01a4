#include "host/obj_scan.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <string_view>
#include <unordered_set>

namespace host {
namespace {

// The whitespace-separated words of a line, one at a time.
class Words {
 public:
  explicit Words(std::string_view line) : rest_(line) {}
  std::string_view Next() {
    const size_t b = rest_.find_first_not_of(" \t\r\f\v");
    if (b == std::string_view::npos) return rest_ = {};
    const size_t e = std::min(rest_.find_first_of(" \t\r\f\v", b), rest_.size());
    std::string_view word = rest_.substr(b, e - b);
    rest_.remove_prefix(e);
    return word;
  }

 private:
  std::string_view rest_;
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
Counts CountLists(std::istream& in, bool& anyLabel, size_t& materialNames) {
  Counts total;
  std::unordered_set<std::string> names;
  std::string line;
  while (std::getline(in, line)) {
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
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error) *error = "cannot be read";
    return false;
  }
  bool anyLabel = false;
  const Counts total = CountLists(in, anyLabel, out.materialNames);
  in.clear();
  in.seekg(0);
  Scanner scanner(out, total, anyLabel);
  std::string line;
  for (size_t number = 1; std::getline(in, line); ++number) scanner.Line(line, number);
  scanner.Finish();
  return true;
}

}  // namespace host
