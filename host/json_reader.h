// Reading people-written JSON files: the strict file parser (duplicate keys
// are errors), JSON paths as users read them ("effects[0].refs.1.params"),
// and JsonReader, the typed reads every scene-file reader shares. A read that
// does not fit throws SceneError with one line naming the file, the path and
// what was expected; the scene loader catches it, so nothing escapes to its
// callers. Numbers outside a range are clamped with a warning.
#pragma once

#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "sdk/param_def.h"
#include "sdk/points.h"

namespace host {

// A failed read: the message is complete ("file: path: what was expected").
class SceneError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Where a value sits in a document: "nodes[2].position", "effects[0].refs.1".
class JsonPath {
 public:
  JsonPath() = default;
  explicit JsonPath(std::string text) : text_(std::move(text)) {}

  JsonPath Key(std::string_view key) const;
  JsonPath Index(size_t i) const;
  const std::string& str() const { return text_; }
  bool empty() const { return text_.empty(); }

 private:
  std::string text_;
};

// Reads a JSON file; false with "file: message" for a missing, unreadable or
// oversized file, invalid JSON (with line and column) or a key given twice in
// one object (with its path).
bool ReadJsonFile(const std::string& path, nlohmann::json& out, std::string* error);
// The same for text already in memory; `file` names it in messages.
bool ParseJsonText(const std::string& text, const std::string& file, nlohmann::json& out,
                   std::string* error);

// A short description of a value for messages: "\"abc\"", "2.5", "an object".
std::string DescribeJson(const nlohmann::json& j);
std::string FormatNumber(double v);

class JsonReader {
 public:
  // Warnings go to `warnings` (may be null), each text once.
  JsonReader(std::string file, std::vector<std::string>* warnings);

  const std::string& File() const { return file_; }
  // Throws SceneError "file: path: message" (or "file: message" at the top).
  [[noreturn]] void Fail(const JsonPath& at, const std::string& message) const;
  void Warn(const JsonPath& at, const std::string& message);

  void ExpectObject(const nlohmann::json& j, const JsonPath& at, const char* what) const;
  void ExpectArray(const nlohmann::json& j, const JsonPath& at, const char* what) const;
  // Fails on the first key of `obj` that is not in `known`.
  void CheckKeys(const nlohmann::json& obj, const JsonPath& at,
                 std::initializer_list<std::string_view> known) const;

  // Typed reads. Numbers outside `range` are clamped with a warning.
  float Float(const nlohmann::json& j, const JsonPath& at, const ParamRange& range = {});
  int Int(const nlohmann::json& j, const JsonPath& at, const ParamRange& range = {});
  bool Bool(const nlohmann::json& j, const JsonPath& at) const;
  std::string String(const nlohmann::json& j, const JsonPath& at) const;
  // Three numbers; `shape` names them for messages ("[r, g, b]"). The range
  // applies to each component.
  Point3 Triple(const nlohmann::json& j, const JsonPath& at, const char* shape,
                const ParamRange& range = {});

 private:
  std::string Located(const JsonPath& at, const std::string& message) const;

  std::string file_;
  std::vector<std::string>* warnings_;
  std::unordered_set<std::string> warned_;
};

// The closest of `candidates` to `name` when it is a likely misspelling
// (an edit distance of at most a third of the name), else empty.
std::string ClosestName(std::string_view name, const std::vector<std::string>& candidates);

}  // namespace host
