// The tarnis command line: describes scenes now; rendering arrives with the host.
#include <cstdio>
#include <string>

#include <CLI/CLI.hpp>

#include "apps/tarnis/scene_summary.h"

namespace {

constexpr const char* kDemoScene = TARNIS_SOURCE_DIR "/examples/demo/demo.json";

int info(const std::string& path) {
  auto result = SummarizeScene(path);
  if (auto* error = std::get_if<std::string>(&result)) {
    std::fprintf(stderr, "tarnis: %s\n", error->c_str());
    return 1;
  }
  std::fputs(DescribeScene(path, std::get<SceneSummary>(result)).c_str(), stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Tarnis: drawn-look rendering of 3-D scenes"};
  app.require_subcommand(1);

  std::string infoScene;
  CLI::App* infoCmd = app.add_subcommand("info", "Describe a scene: nodes, materials, lights, effects");
  infoCmd->add_option("scene", infoScene, "Scene description (.json)")->required();

  std::string renderScene = kDemoScene;
  std::string output = "out/render.png";
  CLI::App* renderCmd = app.add_subcommand("render", "Render a scene (the bundled demo when none is given)");
  renderCmd->add_option("scene", renderScene, "Scene description (.json)");
  renderCmd->add_option("-o,--output", output, "Image file to write");

  CLI11_PARSE(app, argc, argv);

  if (*infoCmd) return info(infoScene);
  // The renderer is not part of this build yet: describe the scene and say so.
  int status = info(renderScene);
  if (status != 0) return status;
  std::fprintf(stderr, "tarnis: this build cannot render yet; %s was not written\n",
               output.c_str());
  return 2;
}
