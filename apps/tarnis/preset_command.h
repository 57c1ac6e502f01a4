// `tarnis preset`: the plug-in's presets from the command line. A preset is a
// named set of values of one kind of object, kept in the kind's file in the
// settings folder ($TARNIS_HOME/plugcfg): list them, save an object's values
// under a name, apply a preset to an object and write the scene as a saved
// scene, or delete one. The work is the plug-in module's own (its preset
// service); this command finds the module, the scene's object and reports.
//
// Objects are named by their name (a material's, map's or element's name, a
// line set's "name") or by a path of names from the scene's top down,
// separated by "/": the line set, then a slot name of the scene format
// ("visible/base", "hidden/crease", ...), then the setting or brush. The
// parts of a path may leave out steps between them; the last part names the
// object itself (or the slot that holds it).
#pragma once

#include <string>

namespace CLI {
class App;
}

namespace tarnis_cli {

struct PresetOptions {
  std::string action;  // list, save, apply or delete
  std::string kind;    // highlight, stroke, brush, brush-stroke or matelem
  std::string name;    // the preset's name
  std::string scene;   // scene description (.json) or saved scene (.tscene)
  std::string object;  // the object in the scene, by name or path
  std::string output;  // apply: the saved scene to write (.tscene)
};

// Adds "preset" with its "list", "save", "apply" and "delete" commands to
// the program's command line; the parsed values go into `options`. Answers
// the command.
//
//   tarnis preset list KIND
//   tarnis preset save KIND NAME SCENE OBJECT
//   tarnis preset apply KIND NAME SCENE OBJECT -o OUT.tscene
//   tarnis preset delete KIND NAME
CLI::App* AddPresetCommand(CLI::App& app, PresetOptions& options);

// Exit codes: 0 done, 1 an error (one "tarnis: ..." line on stderr).
int RunPreset(const PresetOptions& options);

}  // namespace tarnis_cli
