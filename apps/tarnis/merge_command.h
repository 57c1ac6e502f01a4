// `tarnis merge`: merges the objects of a saved scene into a scene and
// writes the result as a saved scene.
//
//   tarnis merge SCENE OTHER.tscene -o OUT.tscene [--merge-lines CHOICE]
//
// Nodes and the material library of OTHER come over; its render effects,
// elements, camera and settings do not. When OTHER holds a line merge
// helper, the line effects it carries are offered to the scene one by one,
// and --merge-lines answers for each: add (as a line effect of its own, the
// default), merge (its line sets go to the end of the scene's first line
// effect), merge-by-name (a line set whose name the first line effect has
// already gives that set its objects and materials instead) or drop. The
// command prints what became of each line effect.
#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace tarnis_cli {

struct MergeOptions {
  std::string scene;
  std::string other;
  std::string output;
  std::string mergeLines = "add";  // add, merge, merge-by-name or drop
  std::vector<std::string> plugins;
};

// Adds "merge" to the program's command line; the parsed values go into
// `options`. Answers the command.
CLI::App* AddMergeCommand(CLI::App& app, MergeOptions& options);

// Exit codes: 0 done, 1 a scene could not be read or the output not written
// (one "tarnis: ..." line on stderr; nothing is written).
int RunMerge(const MergeOptions& options);

}  // namespace tarnis_cli
