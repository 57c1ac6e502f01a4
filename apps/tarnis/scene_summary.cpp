#include "apps/tarnis/scene_summary.h"

#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

namespace {

using nlohmann::json;

int countArray(const json& scene, const char* key, std::string& error) {
  auto it = scene.find(key);
  if (it == scene.end()) return 0;
  if (!it->is_array()) {
    error = std::string(key) + ": expected an array";
    return 0;
  }
  return static_cast<int>(it->size());
}

}  // namespace

std::variant<SceneSummary, std::string> SummarizeScene(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return path + ": cannot open the file";
  json scene = json::parse(in, nullptr, /*allow_exceptions=*/false);
  if (scene.is_discarded()) return path + ": not valid JSON";
  if (!scene.is_object()) return path + ": expected a JSON object at the top";
  if (!scene.contains("tarnis") || !scene["tarnis"].is_number_integer() || scene["tarnis"] != 1)
    return path + ": tarnis: expected the format version 1";

  SceneSummary s;
  std::string error;
  s.nodes = countArray(scene, "nodes", error);
  s.materials = countArray(scene, "materials", error);
  s.lights = countArray(scene, "lights", error);
  s.effects = countArray(scene, "effects", error);
  s.elements = countArray(scene, "elements", error);
  if (!error.empty()) return path + ": " + error;
  if (scene.contains("nodes")) {
    for (const json& n : scene["nodes"]) {
      if (n.is_object() && n.value("group", false)) ++s.groups;
    }
  }
  if (auto r = scene.find("render"); r != scene.end() && r->is_object()) {
    s.width = r->value("width", 0);
    s.height = r->value("height", 0);
    if (auto f = r->find("frames"); f != r->end() && f->is_array() && f->size() == 2) {
      s.firstFrame = (*f)[0].is_number_integer() ? (*f)[0].get<int>() : 0;
      s.lastFrame = (*f)[1].is_number_integer() ? (*f)[1].get<int>() : 0;
    }
  }
  if (auto c = scene.find("camera"); c != scene.end() && c->is_object())
    s.camera = c->value("type", std::string("perspective"));
  return s;
}

std::string DescribeScene(const std::string& path, const SceneSummary& s) {
  std::ostringstream out;
  out << path << "\n"
      << "  image     " << s.width << " x " << s.height << ", frames " << s.firstFrame << "-"
      << s.lastFrame << "\n"
      << "  camera    " << (s.camera.empty() ? "none" : s.camera) << "\n"
      << "  nodes     " << s.nodes << " (" << s.groups << " groups)\n"
      << "  materials " << s.materials << "\n"
      << "  lights    " << s.lights << "\n"
      << "  effects   " << s.effects << "\n"
      << "  elements  " << s.elements << "\n";
  return out.str();
}
