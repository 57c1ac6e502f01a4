// The registration list behind RegisterNotification and
// BroadcastNotification. Like the rest of the object model it is used from
// the host's interface thread only.
#include "sdk/notify.h"

#include <algorithm>
#include <vector>

namespace {

struct Registration {
  NotifyCallback proc;
  void* param;
  int code;
  bool removed;
};

struct Registry {
  // In registration order. Removal during a broadcast only marks an entry;
  // marked entries are erased when no broadcast is running, so the indices a
  // running broadcast walks stay valid.
  std::vector<Registration> entries;
  int broadcasting = 0;

  void compact() {
    if (broadcasting == 0) std::erase_if(entries, [](const Registration& r) { return r.removed; });
  }
};

// Never freed: objects destroyed at exit may still unregister.
Registry& registry() {
  static Registry* r = new Registry;
  return *r;
}

bool matches(const Registration& r, NotifyCallback proc, void* param) {
  return !r.removed && r.proc == proc && r.param == param;
}

}  // namespace

int RegisterNotification(NotifyCallback proc, void* param, int code) {
  if (!proc) return 0;
  Registry& reg = registry();
  for (const Registration& r : reg.entries) {
    if (matches(r, proc, param) && r.code == code) return 0;
  }
  reg.entries.push_back({proc, param, code, false});
  return 1;
}

int UnRegisterNotification(NotifyCallback proc, void* param, int code) {
  Registry& reg = registry();
  for (Registration& r : reg.entries) {
    if (matches(r, proc, param) && r.code == code) {
      r.removed = true;
      reg.compact();
      return 1;
    }
  }
  return 0;
}

int UnRegisterNotification(NotifyCallback proc, void* param) {
  Registry& reg = registry();
  int found = 0;
  for (Registration& r : reg.entries) {
    if (matches(r, proc, param)) {
      r.removed = true;
      found = 1;
    }
  }
  reg.compact();
  return found;
}

void BroadcastNotification(int code, void* callParam) {
  Registry& reg = registry();
  ++reg.broadcasting;
  // Entries added by the callbacks land past `count` and wait for the next broadcast.
  const size_t count = reg.entries.size();
  for (size_t i = 0; i < count; ++i) {
    const Registration r = reg.entries[i];  // a copy: callbacks may grow the list
    if (r.removed || r.code != code) continue;
    NotifyInfo info{code, callParam};
    r.proc(r.param, &info);
  }
  --reg.broadcasting;
  reg.compact();
}
