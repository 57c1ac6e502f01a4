// Runs the studio's QTest classes: all of them, or the one named by the
// first argument (the rest of the arguments go to QTest).
#include <QApplication>
#include <QtTest>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "apps/studio/studio_session.h"

std::unique_ptr<QObject> MakeParamMapTest();
std::unique_ptr<QObject> MakeLineEffectPanelTest();
std::unique_ptr<QObject> MakeViewportTest();

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const std::vector<std::pair<const char*, std::function<std::unique_ptr<QObject>()>>> classes = {
      {"ParamMapTest", MakeParamMapTest},
      {"LineEffectPanelTest", MakeLineEffectPanelTest},
      {"ViewportTest", MakeViewportTest}};
  const char* only = argc > 1 && argv[1][0] != '-' ? argv[1] : nullptr;
  std::vector<char*> args = {argv[0]};
  for (int i = only ? 2 : 1; i < argc; ++i) args.push_back(argv[i]);
  int failed = 0;
  bool ran = false;
  for (const auto& [name, make] : classes) {
    if (only && std::strcmp(only, name) != 0) continue;
    ran = true;
    std::unique_ptr<QObject> test = make();
    failed += QTest::qExec(test.get(), static_cast<int>(args.size()), args.data());
  }
  studio::EndSession();
  if (!ran) {
    std::fprintf(stderr, "no test class named %s\n", only);
    return 2;
  }
  return failed == 0 ? 0 : 1;
}
