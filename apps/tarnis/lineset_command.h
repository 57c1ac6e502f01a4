// `tarnis lineset`: line-set files (.tln) from the command line.
//
//   tarnis lineset save SCENE SET FILE.tln
//       writes the look of the line set named SET to FILE.tln;
//   tarnis lineset load SCENE FILE.tln -o OUT.tscene [--set NAME]
//       reads FILE.tln into the line set NAME (by default the first line set
//       of the first line effect) and writes the scene as a saved scene.
//
// SCENE is a description (.json) or a saved scene (.tscene). Both commands
// set the line set's file parameters (lineSetSave, lineSetLoad), so the
// plug-in's own writer and reader do the work and report what went wrong.
#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace tarnis_cli {

struct LineSetOptions {
  std::string scene;
  std::string set;  // save: the set to write; load: the set to read into ("" for the first)
  std::string file;
  std::string output;  // load only
  std::vector<std::string> plugins;
  bool save = false;
};

// Adds "lineset" with its "save" and "load" commands to the program's
// command line; the parsed values go into `options`. Answers the command.
CLI::App* AddLineSetCommand(CLI::App& app, LineSetOptions& options);

// Exit codes: 0 done, 1 the scene or file could not be read, the line set
// was not found, or the file or the saved scene could not be written.
int RunLineSet(const LineSetOptions& options);

}  // namespace tarnis_cli
