#include "apps/tarnis/convert_command.h"

#include <cstdio>
#include <filesystem>
#include <memory>

#include "apps/tarnis/scene_files.h"
#include "host/scene_file.h"
#include "sdk/class_desc.h"

namespace tarnis_cli {

int RunConvert(const std::string& in, const std::string& out,
               const std::vector<std::string>& plugins) {
  if (std::filesystem::path(out).extension() != ".tscene") {
    PrintError(out + ": the output must be a saved scene (.tscene)");
    return 1;
  }
  WarningPrinter warnings;
  std::vector<std::string> messages;
  LoadClasses(plugins, &messages);
  std::string error;
  std::unique_ptr<host::Scene> scene = LoadScene(in, &messages, &error);
  warnings.Print(messages);
  if (!scene) {
    PrintError(error);
    return 1;
  }
  if (!host::SaveSceneFile(*scene, out, &error)) {
    PrintError(error);
    return 1;
  }
  std::printf("Wrote %s\n", out.c_str());
  return 0;
}

int RunListClasses(const std::vector<std::string>& plugins) {
  WarningPrinter warnings;
  std::vector<std::string> messages;
  LoadClasses(plugins, &messages);
  warnings.Print(messages);
  const ClassDirectory& dir = GetClassDirectory();
  for (int i = 0; i < dir.Count(); ++i) {
    ClassDesc2* cd = dir.Get(i);
    const Class_ID id = cd->ClassID();
    std::printf("%-28s superclass 0x%04X  class 0x%08X 0x%08X  %s%s\n", cd->InternalName(),
                cd->SuperClassID(), id.PartA(), id.PartB(), cd->ClassName(),
                cd->IsPublic() ? "" : " (not public)");
  }
  return 0;
}

}  // namespace tarnis_cli
