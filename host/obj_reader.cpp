// The OBJ reader works in two steps. The file is cut into chunks at line
// ends and each chunk is read on its own (in parallel): numbers are parsed,
// corners are kept as the file writes them and every other statement is
// noted in order. One pass over the chunks in file order then resolves what
// depends on the lines before (negative indices, the current object, mesh
// and material) exactly as the mesh library does. Chunk borders depend only
// on the file's size and the resolving pass is sequential, so the result
// never depends on the number of threads.
#include "host/obj_reader.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include <tbb/parallel_for.h>

namespace host {
namespace {

constexpr size_t kChunkBytes = size_t{4} << 20;
// The reader holds the file and what it reads in memory; larger files go to
// the mesh library, which runs under a memory limit.
constexpr uint64_t kMaxFileBytes = uint64_t{1} << 30;
constexpr const char* kDefaultMaterial = "DefaultMaterial";
constexpr const char* kDefaultObject = "defaultobject";

// The separators within an OBJ line.
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

constexpr std::array<bool, 256> kUnusual = [] {
  std::array<bool, 256> t{};
  for (unsigned char c : {'\r', '\0', '\f', '\v', '\\'}) t[c] = true;
  return t;
}();

// Splits a line at blanks; false when it has more than `max` words.
size_t SplitWords(std::string_view line, std::string_view* words, size_t max) {
  size_t n = 0, i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i == line.size()) break;
    const size_t b = i;
    while (i < line.size() && !IsBlank(line[i])) ++i;
    if (n == max) return max + 1;
    words[n++] = line.substr(b, i - b);
  }
  return n;
}

// The digits at the front of `text` as an integer (at most `maxDigits`
// of them counted, the rest skipped); answers how many were read.
size_t ReadDigits(std::string_view text, size_t& at, uint64_t& value, size_t maxDigits) {
  value = 0;
  size_t read = 0;
  while (at < text.size() && IsDigit(text[at])) {
    if (read < maxDigits) {
      value = value * 10 + static_cast<uint64_t>(text[at] - '0');
      ++read;
    }
    ++at;
  }
  return read;
}

// A face corner: "v", "v/vt", "v//vn" or "v/vt/vn", each index a non-zero
// integer without leading zeros or sign other than '-'. 0 marks a part the
// corner does not have.
struct RawCorner {
  int32_t index[3] = {0, 0, 0};
};

bool ParseIndex(std::string_view text, int32_t& out) {
  size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) ++i;
  const size_t digits = text.size() - i;
  if (digits == 0 || digits > 9 || text[i] == '0') return false;
  int32_t v = 0;
  for (; i < text.size(); ++i) {
    if (!IsDigit(text[i])) return false;
    v = v * 10 + (text[i] - '0');
  }
  out = negative ? -v : v;
  return true;
}

// Parses a corner; `form` gets which parts it has (bit 0 texture
// coordinate, bit 1 normal).
bool ParseCorner(std::string_view text, RawCorner& out, int& form) {
  std::string_view part[3];
  size_t parts = 0, b = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '/') {
      if (parts == 3) return false;
      part[parts++] = text.substr(b, i - b);
      b = i + 1;
    }
  }
  form = 0;
  if (!ParseIndex(part[0], out.index[0])) return false;
  if (parts == 2 || (parts == 3 && !part[1].empty())) {
    if (!ParseIndex(part[1], out.index[1])) return false;
    form |= 1;
  }
  if (parts == 3) {
    if (!ParseIndex(part[2], out.index[2])) return false;
    form |= 2;
  }
  return true;
}

// Statements other than vertices, in the order of the file.
enum class Op : uint8_t { kFace, kLabel, kUseMaterial, kMaterialLibrary, kGroup, kObject };

struct Event {
  Op op;
  uint32_t arg = 0;  // kFace: corners; kLabel: the label; others: index into names
  // Entries of each list and corners read in this chunk before the event.
  uint32_t positions = 0, texCoords = 0, normals = 0, corners = 0;
};

struct Chunk {
  std::vector<Point3> positions, texCoords, normals;
  std::vector<RawCorner> corners;
  std::vector<Event> events;
  std::vector<std::string> names;
  int form = -1;  // the corner form of the chunk's faces, -1 before the first
  bool labelled = false;
  bool declined = false;
};

class ChunkReader {
 public:
  explicit ChunkReader(Chunk& out) : out_(out) {}

  void Read(std::string_view text) {
    while (!text.empty() && !out_.declined) {
      const size_t nl = text.find('\n');
      std::string_view line = text.substr(0, nl);
      text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      Line(line);
    }
  }

 private:
  void Decline() { out_.declined = true; }

  void Line(std::string_view line) {
    // Characters the mesh library reads as line ends or continuations.
    for (char c : line) {
      if (kUnusual[static_cast<unsigned char>(c)]) return Decline();
    }
    if (line.empty() || line[0] == '#') return;
    if (IsBlank(line[0])) {
      // A blank line is nothing; an indented statement is left to the library.
      for (char c : line)
        if (!IsBlank(c)) return Decline();
      return;
    }
    // Lines the library does not dispatch on are skipped, as there.
    if (!std::strchr("vplfumgsoce", line[0])) return;

    size_t keyEnd = 1;
    while (keyEnd < line.size() && !IsBlank(line[keyEnd])) ++keyEnd;
    const std::string_view key = line.substr(0, keyEnd);
    const std::string_view rest = line.substr(keyEnd);
    if (key == "v") return Vector(rest, out_.positions, 3, 3);
    if (key == "vt") return Vector(rest, out_.texCoords, 2, 3);
    if (key == "vn") return Vector(rest, out_.normals, 3, 3);
    if (key == "f") return FaceLine(rest);
    if (key == "s") return Label(rest);
    if (key == "usemtl") return Named(Op::kUseMaterial, rest, true);
    if (key == "mtllib") return Named(Op::kMaterialLibrary, rest, false);
    if (key == "g") return Named(Op::kGroup, rest, false);
    if (key == "o") return Named(Op::kObject, rest, false);
    Decline();
  }

  Event At(Op op, uint32_t arg) const {
    return Event{op, arg, static_cast<uint32_t>(out_.positions.size()),
                 static_cast<uint32_t>(out_.texCoords.size()),
                 static_cast<uint32_t>(out_.normals.size()),
                 static_cast<uint32_t>(out_.corners.size())};
  }

  void Vector(std::string_view rest, std::vector<Point3>& list, size_t minWords,
              size_t maxWords) {
    std::string_view words[3];
    const size_t n = SplitWords(rest, words, maxWords);
    if (n < minWords || n > maxWords) return Decline();
    Point3 p;
    for (size_t a = 0; a < n; ++a) {
      // The library counts only words starting with a digit or '-'.
      if (!IsDigit(words[a][0]) && words[a][0] != '-') return Decline();
      if (!ParseObjNumber(words[a], p[static_cast<int>(a)]) || !std::isfinite(p[static_cast<int>(a)]))
        return Decline();
    }
    list.push_back(p);
  }

  void FaceLine(std::string_view rest) {
    const size_t first = out_.corners.size();
    Event e = At(Op::kFace, 0);
    size_t i = 0;
    while (i < rest.size()) {
      while (i < rest.size() && IsBlank(rest[i])) ++i;
      if (i == rest.size()) break;
      const size_t b = i;
      while (i < rest.size() && !IsBlank(rest[i])) ++i;
      RawCorner c;
      int form = 0;
      if (!ParseCorner(rest.substr(b, i - b), c, form)) return Decline();
      if (out_.form < 0) out_.form = form;
      if (form != out_.form) return Decline();
      out_.corners.push_back(c);
    }
    const size_t count = out_.corners.size() - first;
    if (count < 3 || count > 0xFFFFFF) return Decline();
    e.arg = static_cast<uint32_t>(count);
    out_.events.push_back(e);
  }

  // The smoothing label as our scan of OBJ files reads it: "off", or a
  // number (0 when there is none), at most 0xFFFFFFFE.
  void Label(std::string_view rest) {
    size_t b = 0;
    while (b < rest.size() && IsBlank(rest[b])) ++b;
    size_t e = b;
    while (e < rest.size() && !IsBlank(rest[e])) ++e;
    const std::string_view value = rest.substr(b, e - b);
    unsigned long n = 0;
    std::from_chars(value.data(), value.data() + value.size(), n);
    const uint32_t label = value == "off" ? 0u : static_cast<uint32_t>(std::min(n, 0xFFFFFFFEul));
    out_.labelled = true;
    out_.events.push_back(At(Op::kLabel, label));
  }

  // A statement naming one thing. Unless `trailingBlanks`, the name must
  // end the line (the library keeps trailing blanks in some names).
  void Named(Op op, std::string_view rest, bool trailingBlanks) {
    std::string_view words[2];
    if (SplitWords(rest, words, 1) != 1) return Decline();
    if (!trailingBlanks && !rest.empty() && IsBlank(rest.back())) return Decline();
    out_.events.push_back(At(op, static_cast<uint32_t>(out_.names.size())));
    out_.names.emplace_back(words[0]);
  }

  Chunk& out_;
};

// Reads the `newmtl` names of a material library in order; false when it
// cannot be opened or has a line this reader is not sure the library reads
// the same way.
bool ReadMaterialNames(const std::filesystem::path& path, std::vector<std::string>& names) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                       &std::fclose);
  if (!file) return false;
  std::string text;
  char block[65536];
  for (size_t n; (n = std::fread(block, 1, sizeof block, file.get())) > 0;) text.append(block, n);
  if (std::ferror(file.get())) return false;
  if (text.find_first_of(std::string_view("\0\f\v\\", 4)) != std::string::npos) return false;
  std::string_view rest(text);
  while (!rest.empty()) {
    const size_t nl = rest.find('\n');
    std::string_view line = rest.substr(0, nl);
    rest.remove_prefix(nl == std::string_view::npos ? rest.size() : nl + 1);
    while (!line.empty() && (line.back() == '\r' || IsBlank(line.back()))) line.remove_suffix(1);
    if (line.find('\r') != std::string_view::npos) return false;
    if (line.find("newmtl") == std::string_view::npos) continue;
    if (line.substr(0, 7) != "newmtl " && line.substr(0, 7) != "newmtl\t") return false;
    std::string_view words[2];
    if (SplitWords(line.substr(7), words, 1) != 1) return false;
    names.emplace_back(words[0]);
  }
  return true;
}

// The sequential pass: the library's objects, meshes and material slots.
class Resolver {
 public:
  Resolver(ObjModel& out, const std::filesystem::path& folder) : out_(out), folder_(folder) {
    AddToLibrary(kDefaultMaterial);
  }

  bool Take(const Chunk& c) {
    const uint32_t basePos = static_cast<uint32_t>(out_.positions.size());
    const uint32_t baseTex = static_cast<uint32_t>(out_.texCoords.size());
    const uint32_t baseNormal = static_cast<uint32_t>(out_.normals.size());
    for (const Event& e : c.events) {
      switch (e.op) {
        case Op::kFace:
          if (!Face(c, e, basePos + e.positions, baseTex + e.texCoords, baseNormal + e.normals))
            return false;
          break;
        case Op::kLabel:
          label_ = e.arg;
          break;
        case Op::kUseMaterial:
          UseMaterial(c.names[e.arg]);
          break;
        case Op::kMaterialLibrary:
          if (!MaterialLibrary(c.names[e.arg])) return false;
          break;
        case Op::kGroup:
          if (c.names[e.arg] != activeGroup_) {
            activeGroup_ = c.names[e.arg];
            CreateObject(activeGroup_);
          }
          break;
        case Op::kObject:
          // The library goes back to an object of the same name, mixing its
          // meshes; such files are left to it.
          if (objectNames_.count(c.names[e.arg])) return false;
          CreateObject(c.names[e.arg]);
          break;
      }
    }
    out_.positions.insert(out_.positions.end(), c.positions.begin(), c.positions.end());
    out_.texCoords.insert(out_.texCoords.end(), c.texCoords.begin(), c.texCoords.end());
    out_.normals.insert(out_.normals.end(), c.normals.begin(), c.normals.end());
    return true;
  }

  // Checks what needs the whole file: positive indices and the corner form.
  bool Finish(bool labelled) {
    out_.labelled = labelled;
    out_.materialNames = usedNames_.size();
    out_.objects = objectCount_;
    if (out_.faces.empty()) return false;
    const size_t lists[3] = {out_.positions.size(), out_.texCoords.size(), out_.normals.size()};
    std::vector<uint32_t>* corner[3] = {&out_.cornerPos, &out_.cornerTex, &out_.cornerNormal};
    for (int l = 0; l < 3; ++l) {
      for (uint32_t i : *corner[l])
        if (i >= lists[l]) return false;
    }
    return true;
  }

 private:
  bool Face(const Chunk& c, const Event& e, uint32_t posSoFar, uint32_t texSoFar,
            uint32_t normalSoFar) {
    const uint32_t soFar[3] = {posSoFar, texSoFar, normalSoFar};
    std::vector<uint32_t>* corner[3] = {&out_.cornerPos, &out_.cornerTex, &out_.cornerNormal};
    const RawCorner* raw = c.corners.data() + e.corners;
    // The form of the first corner stands for the face (the chunk's faces share one).
    const bool has[3] = {true, raw[0].index[1] != 0, raw[0].index[2] != 0};
    const int form = (has[1] ? 1 : 0) | (has[2] ? 2 : 0);
    if (form_ < 0) form_ = form;
    if (form != form_) return false;
    // The library takes a texture index for a normal index while it has
    // read no texture coordinates.
    if (has[1] && texSoFar == 0) return false;
    const uint32_t first = static_cast<uint32_t>(out_.cornerPos.size());
    for (uint32_t k = 0; k < e.arg; ++k) {
      for (int l = 0; l < 3; ++l) {
        if (!has[l]) continue;
        const int32_t i = raw[k].index[l];
        if (i > 0) {
          corner[l]->push_back(static_cast<uint32_t>(i - 1));
        } else {
          if (static_cast<uint32_t>(-static_cast<int64_t>(i)) > soFar[l]) return false;
          corner[l]->push_back(soFar[l] - static_cast<uint32_t>(-static_cast<int64_t>(i)));
        }
      }
    }
    if (objectCount_ == 0) CreateObject(kDefaultObject);
    ObjModel::Face f;
    f.firstCorner = first;
    f.corners = e.arg;
    f.mesh = currentMesh_;
    f.label = label_;
    out_.faces.push_back(f);
    ++meshFaces_[currentMesh_];
    return true;
  }

  void CreateMesh() {
    currentMesh_ = static_cast<uint32_t>(out_.meshObject.size());
    out_.meshObject.push_back(objectCount_ == 0 ? kNone : objectCount_ - 1);
    out_.meshMaterial.push_back(ObjModel::kNoMaterial);
    meshFaces_.push_back(0);
  }

  void CreateObject(const std::string& name) {
    objectNames_.insert(name);
    ++objectCount_;
    CreateMesh();
    if (!currentMaterial_.empty()) out_.meshMaterial[currentMesh_] = slots_.at(currentMaterial_);
  }

  void AddToLibrary(const std::string& name) {
    slots_.emplace(name, static_cast<uint32_t>(slots_.size()));
  }

  void UseMaterial(const std::string& name) {
    usedNames_.insert(name);
    if (name == currentMaterial_) return;
    AddToLibrary(name);
    currentMaterial_ = name;
    const uint32_t slot = slots_.at(name);
    const bool needsMesh = currentMesh_ == kNone ||
                           (out_.meshMaterial[currentMesh_] != ObjModel::kNoMaterial &&
                            out_.meshMaterial[currentMesh_] != slot && meshFaces_[currentMesh_] > 0);
    if (needsMesh) CreateMesh();
    out_.meshMaterial[currentMesh_] = slot;
  }

  // Loading a library defines its materials and, as in the library, makes
  // each new one current and the current mesh's material. (A name defined
  // before is left to the library.)
  bool MaterialLibrary(const std::string& name) {
    if (name.find('\\') != std::string::npos || name[0] == '/') return false;
    std::vector<std::string> names;
    if (!ReadMaterialNames(folder_ / name, names)) return false;
    for (const std::string& n : names) {
      if (slots_.count(n)) return false;
      AddToLibrary(n);
      currentMaterial_ = n;
      if (currentMesh_ != kNone) out_.meshMaterial[currentMesh_] = slots_.at(n);
    }
    return true;
  }

  static constexpr uint32_t kNone = ~0u;

  ObjModel& out_;
  const std::filesystem::path folder_;
  std::unordered_map<std::string, uint32_t> slots_;
  std::unordered_set<std::string> usedNames_;
  std::unordered_set<std::string> objectNames_;
  uint32_t objectCount_ = 0;
  std::string currentMaterial_;
  std::string activeGroup_;
  uint32_t currentMesh_ = kNone;
  std::vector<uint32_t> meshFaces_;
  uint32_t label_ = 0;
  int form_ = -1;
};

}  // namespace

bool ParseObjNumber(std::string_view text, float& out) {
  // The library's arithmetic: the integer part as an integer, plus the first
  // 15 decimals as an integer scaled in double precision and added in single
  // precision, times a single-precision power of ten for the exponent.
  static constexpr double kScale[16] = {0.0,     0.1,     0.01,    0.001,   0.0001,  0.00001,
                                        1e-6,    1e-7,    1e-8,    1e-9,    1e-10,   1e-11,
                                        1e-12,   1e-13,   1e-14,   1e-15};
  size_t at = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) ++at;
  float f = 0.0f;
  uint64_t value = 0;
  const size_t intStart = at;
  ReadDigits(text, at, value, 19);
  const size_t intDigits = at - intStart;
  if (intDigits > 18) return false;
  if (intDigits > 0) f = static_cast<float>(value);
  bool fraction = false;
  if (at < text.size() && text[at] == '.') {
    ++at;
    const size_t fracStart = at;
    const size_t used = ReadDigits(text, at, value, 15);
    if (at == fracStart) return false;
    fraction = true;
    f += static_cast<float>(static_cast<double>(value) * kScale[used]);
  }
  if (intDigits == 0 && !fraction) return false;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    ++at;
    const bool negativeExp = at < text.size() && text[at] == '-';
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
    const size_t expStart = at;
    ReadDigits(text, at, value, 19);
    if (at == expStart || at - expStart > 18) return false;
    float e = static_cast<float>(value);
    if (negativeExp) e = -e;
    f *= std::pow(10.0f, e);
  }
  if (at != text.size()) return false;
  out = negative ? -f : f;
  return true;
}

ObjRead ReadObj(const std::string& path, ObjModel& out, std::string* error) {
  out = ObjModel();
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                       &std::fclose);
  std::error_code ec;
  const uint64_t size = std::filesystem::file_size(path, ec);
  if (!file || ec) {
    if (error) *error = "cannot be read";
    return ObjRead::kFailed;
  }
  if (size > kMaxFileBytes) return ObjRead::kDeclined;
  std::string text(size, '\0');
  const size_t got = std::fread(text.data(), 1, text.size(), file.get());
  if (got != size || std::fgetc(file.get()) != EOF) {
    // Changed while read, or a read error: the library reads it itself.
    return ObjRead::kDeclined;
  }

  // Chunks end at line ends.
  std::vector<std::string_view> pieces;
  std::string_view rest(text);
  while (!rest.empty()) {
    size_t end = std::min(rest.size(), kChunkBytes);
    if (end < rest.size()) {
      const size_t nl = rest.find('\n', end);
      end = nl == std::string_view::npos ? rest.size() : nl + 1;
    }
    pieces.push_back(rest.substr(0, end));
    rest.remove_prefix(end);
  }
  std::vector<Chunk> chunks(pieces.size());
  tbb::parallel_for(size_t{0}, pieces.size(),
                    [&](size_t i) { ChunkReader(chunks[i]).Read(pieces[i]); });

  Resolver resolver(out, std::filesystem::path(path).parent_path());
  bool labelled = false;
  for (const Chunk& c : chunks) {
    if (c.declined || !resolver.Take(c)) return ObjRead::kDeclined;
    labelled = labelled || c.labelled;
  }
  if (!resolver.Finish(labelled)) return ObjRead::kDeclined;
  return ObjRead::kRead;
}

}  // namespace host
