// What the tarnis commands share: finding the bundled demo, loading plug-in
// modules and scenes (descriptions *.json or saved *.tscene), printing
// warnings once each, and writing numbers as people read them.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "host/scene.h"
#include "sdk/interface.h"

namespace tarnis_cli {

// The bundled demo scene: beside the program (an installed copy) or in the
// source tree this program was built from; empty when neither is there.
std::string DemoScenePath();

// Loads the plug-in modules of the default folders and the given files;
// refused modules are reported as warnings. Registers the host's classes.
// The first call also tells plug-ins that the program started
// (NOTIFY_SYSTEM_STARTUP).
void LoadClasses(const std::vector<std::string>& pluginFiles, std::vector<std::string>* warnings);
// Empty when LoadClasses loaded a plug-in module; otherwise a sentence naming
// the folders it searched and how to point it at the modules.
std::string MissingPluginHint();
// Tells plug-ins that the program ends (NOTIFY_SYSTEM_SHUTDOWN), when the
// start was announced.
void EndSession();

// The host interface of the whole run (no scene: settings directory, cancel
// flag, progress), installed by BeginSession before plug-ins load and taken
// out by EndSession after they heard of the shutdown. Null outside a session.
void BeginSession();
Interface* SessionInterface();

// A scene from a description (*.json) or a saved scene (*.tscene), by the
// name's extension; null with one line in `error`. When the scene names a
// class nobody knows and no plug-in module was loaded, the error (or a
// warning) says which folders were searched.
std::unique_ptr<host::Scene> LoadScene(const std::string& path, std::vector<std::string>* warnings,
                                       std::string* error);

// Prints "tarnis: warning: ..." lines on stderr, each text once per run.
class WarningPrinter {
 public:
  void Print(const std::vector<std::string>& warnings);

 private:
  std::set<std::string> printed_;
};

// "tarnis: <message>" on stderr.
void PrintError(const std::string& message);

// A number in its shortest form ("%g": 2, 0.5, 1e+06).
std::string Num(double v);

}  // namespace tarnis_cli
