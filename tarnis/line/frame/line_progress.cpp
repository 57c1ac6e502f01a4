#include "tarnis/line/frame/line_progress.h"

#include <cstdio>

#include "sdk/interface.h"
#include "tarnis/resources/string_table.h"

namespace tarnis {

std::string ProgressTitle(int stringId, int item, int count) {
  const char* text = GetString(stringId);
  char buffer[512];
  std::snprintf(buffer, sizeof(buffer), "%s (%d/%d)", text ? text : "", item, count);
  return buffer;
}

int ProgressPercent(int done, int total) {
  while (total > 65535) {
    done /= 2;
    total /= 2;
  }
  if (total <= 0) return 0;
  if (done < 0) done = 0;
  if (done > total) done = total;
  return static_cast<int>(static_cast<long long>(done) * 100 / total);
}

LineCheckAbortCallback::LineCheckAbortCallback() = default;

LineCheckAbortCallback::~LineCheckAbortCallback() {
  if (started_) GetCOREInterface()->ProgressEnd();
}

bool LineCheckAbortCallback::Check() {
  return GetCOREInterface()->GetCancel();
}

bool LineCheckAbortCallback::Progress(int done, int total) {
  percent_ = ProgressPercent(done, total);
  if (started_) GetCOREInterface()->ProgressUpdate(percent_);
  return Check();
}

void LineCheckAbortCallback::SetTitle(const char* title) {
  // The display opens with the first stage, so it never shows an empty title.
  if (!started_) {
    started_ = true;
    percent_ = 0;
    GetCOREInterface()->ProgressStart(title ? title : "");
    return;
  }
  percent_ = 0;  // a new title is a new stage
  GetCOREInterface()->ProgressUpdate(percent_, title ? title : "");
}

bool DummyCheckAbort2::Check() {
  return GetCOREInterface()->GetCancel();
}

}  // namespace tarnis
