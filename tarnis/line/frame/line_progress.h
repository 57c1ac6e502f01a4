// Progress of the line engine. LineCheckAbortCallback reports the engine's
// stages through the host's progress service when the engine runs outside
// the effect's Apply (its titles read "stage (n/count)"); the two dummies
// serve callers that must not show progress: DummyCheckAbort never stops,
// DummyCheckAbort2 stops when the host's cancel flag is set.
#pragma once

#include <string>

#include "sdk/render.h"

namespace tarnis {

// "%s (%d/%d)" with the stage text of string `stringId`.
std::string ProgressTitle(int stringId, int item, int count);

// Progress(done, total) as the engine reports it: both halved while total
// exceeds 65535; answers the percentage 0..100.
int ProgressPercent(int done, int total);

class LineCheckAbortCallback : public CheckAbortCallback {
 public:
  // The host's progress display opens with the first title.
  LineCheckAbortCallback();
  // Closes it when it was opened.
  ~LineCheckAbortCallback() override;
  LineCheckAbortCallback(const LineCheckAbortCallback&) = delete;
  LineCheckAbortCallback& operator=(const LineCheckAbortCallback&) = delete;

  // The host's cancel flag.
  bool Check() override;
  bool Progress(int done, int total) override;
  void SetTitle(const char* title) override;

 private:
  int percent_ = 0;
  bool started_ = false;
};

class DummyCheckAbort : public CheckAbortCallback {
 public:
  bool Check() override { return false; }
  bool Progress(int, int) override { return false; }
  void SetTitle(const char*) override {}
};

class DummyCheckAbort2 : public CheckAbortCallback {
 public:
  bool Check() override;
  bool Progress(int, int) override { return Check(); }
  void SetTitle(const char*) override {}
};

}  // namespace tarnis
