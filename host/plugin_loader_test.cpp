#include "host/plugin_loader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "sdk/class_desc.h"

namespace {

// The test modules are built next to the test program.
const std::string kModuleDir = TEST_MODULE_DIR;

TEST(PluginManager, RegistersTheClassesOfAGoodModule) {
  host::PluginManager plugins;
  std::string error;
  ASSERT_TRUE(plugins.LoadModule(kModuleDir + "/test_module_one_class.so", &error)) << error;
  ASSERT_EQ(plugins.Modules().size(), 1u);
  EXPECT_EQ(plugins.Modules()[0].description, "one-class test module");
  ClassDesc2* cd = GetClassDirectory().FindClassByInternalName("TestModuleObject");
  ASSERT_NE(cd, nullptr);
  EXPECT_EQ(cd->ClassID(), Class_ID(0x7E570001, 0x7E570002));
  // Loading the same file again changes nothing.
  EXPECT_TRUE(plugins.LoadModule(kModuleDir + "/test_module_one_class.so", &error));
  EXPECT_EQ(plugins.Modules().size(), 1u);
}

TEST(PluginManager, RefusesModulesWithReasons) {
  struct Case {
    std::string file;
    std::string reason;
  };
  std::filesystem::path junk = std::filesystem::temp_directory_path() / "tarnis_junk_module.so";
  std::ofstream(junk) << "not a shared library";
  const Case cases[] = {
      {kModuleDir + "/test_module_no_class_desc.so", "LibClassDesc is missing"},
      {kModuleDir + "/test_module_other_version.so", "built for SDK version"},
      {kModuleDir + "/no_such_module.so", "no_such_module.so"},
      {junk.string(), "tarnis_junk_module.so"},
  };
  for (const Case& c : cases) {
    host::PluginManager plugins;
    std::string error;
    EXPECT_FALSE(plugins.LoadModule(c.file, &error)) << c.file;
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    EXPECT_NE(error.find("plug-in "), std::string::npos) << error;
    EXPECT_TRUE(plugins.Modules().empty());
  }
  std::filesystem::remove(junk);
}

TEST(PluginManager, LoadsADirectoryAndReportsTheRefusedModules) {
  host::PluginManager plugins;
  std::vector<std::string> messages;
  int loaded = plugins.LoadDirectory(kModuleDir, &messages);
  EXPECT_GE(loaded, 1);
  bool refusedIncomplete = false;
  for (const std::string& m : messages) {
    if (m.find("test_module_no_class_desc.so") != std::string::npos) refusedIncomplete = true;
  }
  EXPECT_TRUE(refusedIncomplete);
}

}  // namespace
