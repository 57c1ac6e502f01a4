// The strict JSON parser, JSON paths and the typed reads of JsonReader.
#include "host/json_reader.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>

#include <nlohmann/json.hpp>

namespace host {

using nlohmann::json;

namespace {

// Scene descriptions are written by people; anything larger is not one.
constexpr std::uintmax_t kMaxFileBytes = 256u << 20;

// Builds the document as the plain parser does and follows its events to
// know the path of the value being read, so a key given twice can be
// reported where it is. (The parser's callback interface is not used: after
// every object it rescans the enclosing array, which makes long arrays of
// objects cost the square of their length.)
class DuplicateKeyFinder {
  using Dom = nlohmann::detail::json_sax_dom_parser<json>;

 public:
  explicit DuplicateKeyFinder(json& out) : dom_(out, /*allow_exceptions=*/true) {}

  bool null() { return Value(dom_.null()); }
  bool boolean(bool v) { return Value(dom_.boolean(v)); }
  bool number_integer(json::number_integer_t v) { return Value(dom_.number_integer(v)); }
  bool number_unsigned(json::number_unsigned_t v) { return Value(dom_.number_unsigned(v)); }
  bool number_float(json::number_float_t v, const json::string_t& s) {
    return Value(dom_.number_float(v, s));
  }
  bool string(json::string_t& v) { return Value(dom_.string(v)); }
  bool binary(json::binary_t& v) { return Value(dom_.binary(v)); }
  bool start_object(std::size_t n) {
    stack_.push_back({false, 0, {}, keys_.size(), {}});
    return dom_.start_object(n);
  }
  bool key(json::string_t& k) {
    Frame& f = stack_.back();
    f.key = k;
    if (!Insert(f, k) && duplicate_.empty()) duplicate_ = CurrentPath();
    return dom_.key(k);
  }
  bool end_object() {
    keys_.resize(stack_.back().firstKey);
    stack_.pop_back();
    return Value(dom_.end_object());
  }
  bool start_array(std::size_t n) {
    stack_.push_back({true, 0, {}, keys_.size(), {}});
    return dom_.start_array(n);
  }
  bool end_array() {
    stack_.pop_back();
    return Value(dom_.end_array());
  }
  bool parse_error(std::size_t position, const std::string& token,
                   const nlohmann::detail::exception& e) {
    return dom_.parse_error(position, token, e);
  }
  const std::string& Duplicate() const { return duplicate_; }

 private:
  struct Frame {
    bool array;
    size_t index;
    std::string key;
    size_t firstKey;  // where the object's keys start in keys_
    std::unordered_set<std::string> many;  // its keys once there are many
  };

  // False when the object has the key already. The keys of the open objects
  // share one list (an inner object's go when it ends), searched in place
  // while an object has few.
  bool Insert(Frame& f, const std::string& key) {
    constexpr size_t kFew = 16;
    if (f.many.empty()) {
      const auto first = keys_.begin() + static_cast<std::ptrdiff_t>(f.firstKey);
      if (std::find(first, keys_.end(), key) != keys_.end()) return false;
      if (keys_.size() - f.firstKey < kFew) {
        keys_.push_back(key);
        return true;
      }
      f.many.insert(first, keys_.end());
    }
    return f.many.insert(key).second;
  }

  // A value (or a finished object or array) moves its array on by one.
  bool Value(bool ok) {
    if (!stack_.empty() && stack_.back().array) ++stack_.back().index;
    return ok;
  }
  std::string CurrentPath() const {
    JsonPath p;
    for (const Frame& f : stack_) p = f.array ? p.Index(f.index) : p.Key(f.key);
    return p.str();
  }

  Dom dom_;
  std::vector<Frame> stack_;
  std::vector<std::string> keys_;
  std::string duplicate_;
};

// nlohmann's messages start with "[json.exception.parse_error.101] ".
std::string StripExceptionId(const std::string& what) {
  if (!what.empty() && what[0] == '[') {
    size_t end = what.find("] ");
    if (end != std::string::npos) return what.substr(end + 2);
  }
  return what;
}

std::string RangeText(const ParamRange& r) {
  return FormatNumber(r.min) + ".." + FormatNumber(r.max);
}

}  // namespace

JsonPath JsonPath::Key(std::string_view key) const {
  return JsonPath(text_.empty() ? std::string(key) : text_ + "." + std::string(key));
}

JsonPath JsonPath::Index(size_t i) const {
  return JsonPath(text_ + "[" + std::to_string(i) + "]");
}

bool ParseJsonText(const std::string& text, const std::string& file, json& out,
                   std::string* error) {
  json parsed;
  DuplicateKeyFinder finder(parsed);
  try {
    json::sax_parse(text, &finder);
  } catch (const json::exception& e) {
    if (error) *error = file + ": invalid JSON: " + StripExceptionId(e.what());
    return false;
  }
  if (!finder.Duplicate().empty()) {
    if (error) *error = file + ": " + finder.Duplicate() + ": the key is given twice";
    return false;
  }
  out = std::move(parsed);
  return true;
}

bool ReadJsonFile(const std::string& path, json& out, std::string* error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  auto fail = [&](const std::string& message) {
    if (error) *error = path + ": " + message;
    return false;
  };
  if (!fs::exists(path, ec)) return fail("no such file");
  if (!fs::is_regular_file(path, ec)) return fail("not a regular file");
  std::uintmax_t size = fs::file_size(path, ec);
  if (ec) return fail("cannot read the file (" + ec.message() + ")");
  if (size > kMaxFileBytes) return fail("the file is larger than 256 MB; not a scene description");
  std::ifstream in(path, std::ios::binary);
  if (!in) return fail("cannot open the file");
  std::string text(static_cast<size_t>(size), '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (in.bad() || static_cast<std::uintmax_t>(in.gcount()) != size) {
    return fail("cannot read the file");
  }
  return ParseJsonText(text, path, out, error);
}

std::string FormatNumber(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

std::string DescribeJson(const json& j) {
  switch (j.type()) {
    case json::value_t::null:
      return "null";
    case json::value_t::object:
      return "an object";
    case json::value_t::array: {
      // Only flat, short arrays are shown: dumping a deeply nested one would
      // recurse as deep as it goes.
      bool flat = j.size() <= 8 && std::none_of(j.begin(), j.end(), [](const json& e) {
                    return e.is_structured() || e.is_string();
                  });
      std::string d = flat ? j.dump() : std::string();
      return flat && d.size() <= 40 ? d : "an array of " + std::to_string(j.size());
    }
    case json::value_t::string: {
      const auto& s = j.get_ref<const std::string&>();
      return s.size() <= 40 ? json(s).dump() : json(s.substr(0, 37) + "...").dump();
    }
    default:
      return j.dump();
  }
}

JsonReader::JsonReader(std::string file, std::vector<std::string>* warnings)
    : file_(std::move(file)), warnings_(warnings) {}

std::string JsonReader::Located(const JsonPath& at, const std::string& message) const {
  return at.empty() ? file_ + ": " + message : file_ + ": " + at.str() + ": " + message;
}

void JsonReader::Fail(const JsonPath& at, const std::string& message) const {
  throw SceneError(Located(at, message));
}

void JsonReader::Warn(const JsonPath& at, const std::string& message) {
  std::string text = Located(at, message);
  if (warned_.insert(text).second && warnings_) warnings_->push_back(std::move(text));
}

void JsonReader::ExpectObject(const json& j, const JsonPath& at, const char* what) const {
  if (!j.is_object()) Fail(at, std::string("expected ") + what + ", got " + DescribeJson(j));
}

void JsonReader::ExpectArray(const json& j, const JsonPath& at, const char* what) const {
  if (!j.is_array()) Fail(at, std::string("expected ") + what + ", got " + DescribeJson(j));
}

void JsonReader::CheckKeys(const json& obj, const JsonPath& at,
                           std::initializer_list<std::string_view> known) const {
  for (const auto& item : obj.items()) {
    if (std::find(known.begin(), known.end(), item.key()) != known.end()) continue;
    std::string list;
    for (std::string_view k : known) list += (list.empty() ? "" : ", ") + std::string(k);
    Fail(at.Key(item.key()), "unknown key; expected one of " + list);
  }
}

float JsonReader::Float(const json& j, const JsonPath& at, const ParamRange& range) {
  if (!j.is_number()) Fail(at, "expected a number, got " + DescribeJson(j));
  double v = j.get<double>();
  double clamped = std::clamp(v, static_cast<double>(range.min), static_cast<double>(range.max));
  if (clamped != v) {
    Warn(at, FormatNumber(v) + " is out of range " + RangeText(range) + "; clamped to " +
                 FormatNumber(clamped));
  }
  if (!std::isfinite(clamped) || std::fabs(clamped) > std::numeric_limits<float>::max()) {
    Fail(at, FormatNumber(v) + " is too large for a number here");
  }
  return static_cast<float>(clamped);
}

int JsonReader::Int(const json& j, const JsonPath& at, const ParamRange& range) {
  if (!j.is_number()) Fail(at, "expected an integer, got " + DescribeJson(j));
  double v = j.get<double>();
  if (std::floor(v) != v) Fail(at, "expected an integer, got " + DescribeJson(j));
  double lo = std::ceil(static_cast<double>(range.min));
  double hi = std::floor(static_cast<double>(range.max));
  double clamped = std::clamp(v, lo, hi);
  if (clamped != v) {
    Warn(at, FormatNumber(v) + " is out of range " + RangeText(range) + "; clamped to " +
                 FormatNumber(clamped));
  }
  if (clamped < std::numeric_limits<int>::min() || clamped > std::numeric_limits<int>::max()) {
    Fail(at, FormatNumber(v) + " is too large for an integer");
  }
  return static_cast<int>(clamped);
}

bool JsonReader::Bool(const json& j, const JsonPath& at) const {
  if (!j.is_boolean()) Fail(at, "expected true or false, got " + DescribeJson(j));
  return j.get<bool>();
}

std::string JsonReader::String(const json& j, const JsonPath& at) const {
  if (!j.is_string()) Fail(at, "expected a string, got " + DescribeJson(j));
  return j.get<std::string>();
}

Point3 JsonReader::Triple(const json& j, const JsonPath& at, const char* shape,
                          const ParamRange& range) {
  if (!j.is_array() || j.size() != 3 ||
      !std::all_of(j.begin(), j.end(), [](const json& c) { return c.is_number(); })) {
    Fail(at, std::string("expected ") + shape + ", got " + DescribeJson(j));
  }
  Point3 p;
  bool clamped = false;
  for (int c = 0; c < 3; ++c) {
    double v = j[static_cast<size_t>(c)].get<double>();
    double k = std::clamp(v, static_cast<double>(range.min), static_cast<double>(range.max));
    clamped |= k != v;
    if (!std::isfinite(k) || std::fabs(k) > std::numeric_limits<float>::max()) {
      Fail(at, FormatNumber(v) + " is too large for a number here");
    }
    p[c] = static_cast<float>(k);
  }
  if (clamped) {
    Warn(at, DescribeJson(j) + " is out of range " + RangeText(range) +
                 " per component; clamped to [" + FormatNumber(p.x) + ", " + FormatNumber(p.y) +
                 ", " + FormatNumber(p.z) + "]");
  }
  return p;
}

std::string ClosestName(std::string_view name, const std::vector<std::string>& candidates) {
  // Edit distance counting a swap of neighbours as one edit, ignoring case.
  auto distance = [](std::string_view a, std::string_view b) {
    auto same = [](char x, char y) {
      return std::tolower(static_cast<unsigned char>(x)) ==
             std::tolower(static_cast<unsigned char>(y));
    };
    const size_t w = b.size() + 1;
    std::vector<size_t> d((a.size() + 1) * w);
    for (size_t i = 0; i <= a.size(); ++i) d[i * w] = i;
    for (size_t j = 0; j <= b.size(); ++j) d[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
      for (size_t j = 1; j <= b.size(); ++j) {
        size_t& cell = d[i * w + j];
        cell = std::min({d[(i - 1) * w + j] + 1, d[i * w + j - 1] + 1,
                         d[(i - 1) * w + j - 1] + (same(a[i - 1], b[j - 1]) ? 0 : 1)});
        if (i > 1 && j > 1 && same(a[i - 1], b[j - 2]) && same(a[i - 2], b[j - 1])) {
          cell = std::min(cell, d[(i - 2) * w + j - 2] + 1);
        }
      }
    }
    return d.back();
  };
  std::string best;
  size_t bestDistance = std::max<size_t>(1, name.size() / 3) + 1;
  for (const std::string& c : candidates) {
    size_t d = distance(name, c);
    if (d < bestDistance) best = c, bestDistance = d;
  }
  return best;
}

}  // namespace host
