// The tarnis command line: `tarnis render` draws scenes into image files,
// `tarnis info` describes them, `tarnis convert` saves them, `tarnis lineset`
// writes and reads line-set files, `tarnis preset` keeps presets, `tarnis
// merge` merges a saved scene's objects into a scene. Bad input
// ends with one "tarnis: ..." line on stderr and exit code 1.
#include <clocale>
#include <cstdio>
#include <string>

#include <CLI/CLI.hpp>

#include "apps/tarnis/convert_command.h"
#include "apps/tarnis/farm_command.h"
#include "apps/tarnis/info_command.h"
#include "apps/tarnis/lineset_command.h"
#include "apps/tarnis/merge_command.h"
#include "apps/tarnis/params_command.h"
#include "apps/tarnis/preset_command.h"
#include "apps/tarnis/render_command.h"
#include "apps/tarnis/scene_files.h"
#include "sdk/plugin_api.h"

namespace {

// "tarnis 0.1.0 (plug-in SDK 1.1.0)": the program's release and the SDK
// version plug-in modules must be built against.
std::string VersionText() {
  const unsigned long v = GetSDKVersion();
  return std::string("tarnis ") + TARNIS_VERSION + " (plug-in SDK " + std::to_string(v >> 16) +
         "." + std::to_string((v >> 8) & 0xFF) + "." + std::to_string(v & 0xFF) + ")";
}

void AddRenderCommand(CLI::App& app, tarnis_cli::RenderOptions& o) {
  CLI::App* cmd = app.add_subcommand(
      "render", "Render a scene to image files (the bundled demo when none is given)");
  cmd->add_option("scene", o.scene, "Scene description (.json) or saved scene (.tscene)");
  cmd->add_option("-o,--output", o.output,
                  "Image file, .png or .exr (default: out/<scene name>.png); a sequence adds the "
                  "frame number: out/shot0007.png");
  cmd->add_option("--frames", o.frames,
                  "Frames to render: A, A-B, every STEP-th A-B:STEP, several separated by commas "
                  "(1-100:5, 1,5,9-12)");
  cmd->add_option("--size", o.size, "Image size WxH in pixels, e.g. 1280x720");
  cmd->add_option("--samples", o.samples, "N x N samples a pixel")->check(CLI::Range(1, 16));
  cmd->add_option("--threads", o.threads, "Render threads (0: all cores)")
      ->check(CLI::Range(0, 1024));
  cmd->add_option("--bits", o.bits, "Bits a channel of PNG files: 8 (default) or 16")
      ->check(CLI::IsMember({8, 16}));
  cmd->add_flag("--alpha", o.alpha,
                "Transparent background (alpha 0 where the background shows); default: opaque");
  cmd->add_flag("-q,--quiet", o.quiet,
                "No progress, notes or summary; warnings and errors are still printed");
  cmd->add_flag("--stats", o.stats,
                "Print the seconds of each stage (load, build, shade, frame listeners, effects, "
                "write) and the peak memory, after each frame and in total; also with --quiet");
  cmd->add_option("--plugin", o.plugins, "Also load this plug-in module (.so)");
  cmd->add_option("--dump-edges", o.dumpEdges,
                  "Also write the detected line pieces of each frame as an SVG file");
  cmd->add_option("--chunk", o.chunk,
                  "Render the frames in chunks of N, each as a part of the whole sequence, so "
                  "that chunks can run on different machines")
      ->check(CLI::Range(1, 1000000));
  cmd->add_option("--task", o.task, "With --chunk: render only chunk K (0 is the first)");
  cmd->add_flag("--resume", o.resume, "Leave out frames whose image file is there already");
}

}  // namespace

int main(int argc, char** argv) {
  // Messages follow the user's language; numbers, and so the files written, stay in "C".
  std::setlocale(LC_MESSAGES, "");
  CLI::App app{"Tarnis: drawn-look rendering of 3-D scenes"};
  app.require_subcommand(1);
  app.set_version_flag("--version", VersionText());

  tarnis_cli::RenderOptions render;
  AddRenderCommand(app, render);

  std::string infoScene;
  std::vector<std::string> infoPlugins;
  bool listClasses = false;
  CLI::App* info = app.add_subcommand(
      "info", "Describe a scene: image, camera, nodes, materials, lights, effects, elements");
  info->add_option("scene", infoScene, "Scene description (.json) or saved scene (.tscene)");
  info->add_flag("--classes", listClasses, "List the classes of the host and its plug-ins");
  std::string paramsClass;
  info->add_option("--params", paramsClass,
                   "List the parameter blocks and parameters of a class (by internal name)");
  info->add_option("--plugin", infoPlugins, "Also load this plug-in module (.so)");

  std::string convertIn, convertOut;
  std::vector<std::string> convertPlugins;
  CLI::App* convert = app.add_subcommand(
      "convert", "Turn a scene description (.json) or saved scene into a saved scene (.tscene)");
  convert->add_option("in", convertIn, "Scene description (.json) or saved scene (.tscene)")
      ->required();
  convert->add_option("out", convertOut, "Saved scene to write (.tscene)")->required();
  convert->add_option("--plugin", convertPlugins, "Also load this plug-in module (.so)");

  tarnis_cli::LineSetOptions lineSet;
  CLI::App* lineset = tarnis_cli::AddLineSetCommand(app, lineSet);

  tarnis_cli::PresetOptions presetOptions;
  CLI::App* preset = tarnis_cli::AddPresetCommand(app, presetOptions);

  tarnis_cli::FarmOptions farmOptions;
  CLI::App* farm = tarnis_cli::AddFarmCommand(app, farmOptions);

  tarnis_cli::MergeOptions mergeOptions;
  CLI::App* merge = tarnis_cli::AddMergeCommand(app, mergeOptions);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::fprintf(stderr, "tarnis: %s (see tarnis --help)\n", e.what());
    return 1;
  }
  tarnis_cli::BeginSession();
  int code = 0;
  if (*info && listClasses) {
    code = tarnis_cli::RunListClasses(infoPlugins);
  } else if (*info && !paramsClass.empty()) {
    code = tarnis_cli::RunListParams(paramsClass, infoPlugins);
  } else if (*info) {
    if (infoScene.empty()) {
      std::fprintf(stderr,
                   "tarnis: info needs a scene, --classes or --params CLASS (see tarnis info "
                   "--help)\n");
      return 1;
    }
    code = tarnis_cli::RunInfo(infoScene, infoPlugins);
  } else if (*convert) {
    code = tarnis_cli::RunConvert(convertIn, convertOut, convertPlugins);
  } else if (*lineset) {
    code = tarnis_cli::RunLineSet(lineSet);
  } else if (*preset) {
    code = tarnis_cli::RunPreset(presetOptions);
  } else if (*farm) {
    code = tarnis_cli::RunFarm(farmOptions);
  } else if (*merge) {
    code = tarnis_cli::RunMerge(mergeOptions);
  } else {
    code = tarnis_cli::RunRender(render);
  }
  tarnis_cli::EndSession();
  return code;
}
