#include "tarnis/plugin/line_merge.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "sdk/interface.h"
#include "sdk/notify.h"
#include "sdk/param_block.h"
#include "tarnis/line/effect/line_manager.h"
#include "tarnis/line/effect/line_set.h"
#include "tarnis/plugin/line_merge_helper.h"
#include "tarnis/resources/string_ids.h"
#include "tarnis/resources/string_table.h"

namespace tarnis {

namespace {

// Set by host code 101 and cleared by the post-merge handler: the merge
// brought nothing for the dialogs.
bool gSkipDialogs = false;

// Node chains longer than this are taken as broken (a loop), not as a path
// to the root.
constexpr int kMaxNodeDepth = 1 << 20;

// The scene's line effects in effect-list order.
std::vector<LineManager*> sceneLineEffects(Interface& ip) {
  std::vector<LineManager*> effects;
  for (int i = 0; i < ip.NumEffects(); ++i) {
    if (auto* effect = dynamic_cast<LineManager*>(ip.GetEffect(i))) effects.push_back(effect);
  }
  return effects;
}

bool reachesRoot(INode* node, INode* root) {
  for (int depth = 0; node && depth < kMaxNodeDepth; ++depth, node = node->GetParentNode()) {
    if (node == root) return true;
  }
  return false;
}

bool inScene(LineMergeHelper& helper, INode* root) {
  if (!root) return false;
  const std::vector<INode*> nodes = helper.Nodes();
  return std::any_of(nodes.begin(), nodes.end(), [&](INode* n) { return reachesRoot(n, root); });
}

// Calls fn for every helper alive, also when fn's work deletes helpers
// (a damaged file can make one helper the only holder of another).
template <class F>
void forEachHelper(F fn) {
  const std::vector<LineMergeHelper*> snapshot = LineMergeHelpers();
  for (LineMergeHelper* h : snapshot) {
    const std::vector<LineMergeHelper*>& live = LineMergeHelpers();
    if (std::find(live.begin(), live.end(), h) != live.end()) fn(*h);
  }
}

LineSet* setNamed(LineManager& effect, const std::string& name) {
  for (int i = 0; i < effect.NumLineSets(); ++i) {
    LineSet* set = effect.GetLineSet(i);
    if (set && set->Name() == name) return set;
  }
  return nullptr;
}

// Appends the non-empty entries of table `id` of `from` to that of `to`.
void appendEntries(IParamBlock2* from, IParamBlock2* to, ParamID id) {
  if (!from || !to) return;
  for (int i = 0; i < from->Count(id); ++i) {
    if (ReferenceTarget* entry = from->GetReferenceTarget(id, 0, i)) to->Append(id, entry);
  }
}

// Choice 1: the incoming sets go to `into`, in order; with `byName` a set
// whose name `into` has already gives that set its objects and materials.
void mergeLineSets(LineManager& from, LineManager& into, bool byName) {
  std::vector<LineSet*> sets;
  for (int i = 0; i < from.NumLineSets(); ++i) {
    if (LineSet* set = from.GetLineSet(i)) sets.push_back(set);
  }
  for (LineSet* set : sets) {
    LineSet* same = byName ? setNamed(into, set->Name()) : nullptr;
    // A set `into` lists already (a damaged file can share sets between
    // effects) is neither joined with itself nor listed twice.
    if (into.IndexOf(set) >= 0) continue;
    if (same) {
      appendEntries(set->MainBlock(), same->MainBlock(), kLineSetObjects);
      appendEntries(set->MainBlock(), same->MainBlock(), kLineSetMtls);
    } else {
      into.InsertLineSet(-1, set);
    }
  }
}

std::string dialogTitle(int position, int count) {
  const char* text = FindString(kStrLineMergeTitle);
  const std::string title = text ? text : "";
  char numbers[64];
  std::snprintf(numbers, sizeof numbers, " ( %d / %d )", position, count);
  return title + numbers;
}

// What the dialog's answer means under the dialog's rules: choices above
// 1 drop, choosing an existing effect needs one, and apply-to-remaining
// counts only where the box was enabled.
MergeAnswer ruled(MergeAnswer a, const MergeQuestion& q) {
  if (a.choice != MergeAnswer::kAdd && a.choice != MergeAnswer::kMergeInto)
    a.choice = MergeAnswer::kDrop;
  const int existing = static_cast<int>(q.existingNames.size());
  if (a.choice == MergeAnswer::kMergeInto && existing == 0) a.choice = MergeAnswer::kAdd;
  a.existingIndex = existing == 0 ? 0 : std::clamp(a.existingIndex, 0, existing - 1);
  a.applyToRemaining = a.applyToRemaining && q.canApplyToRemaining;
  return a;
}

// Carries out one answer for one incoming effect; true when it joined the scene.
bool apply(const MergeAnswer& a, LineManager& incoming, const std::vector<LineManager*>& existing,
           Interface& ip) {
  switch (a.choice) {
    case MergeAnswer::kAdd:
      return ip.AddEffect(&incoming);
    case MergeAnswer::kMergeInto: {
      LineManager& into = *existing[static_cast<size_t>(a.existingIndex)];
      if (&into == &incoming) return false;
      mergeLineSets(incoming, into, a.mergeByName);
      return true;
    }
    default:
      return false;
  }
}

void onPreSave(void*, NotifyInfo*) {
  PrepareLineMergeHelpersForSave();
}
void onClear(void*, NotifyInfo*) {
  ClearLineMergeHelperReferences();
}
void onPreMerge(void*, NotifyInfo*) {
  MarkLineMergeHelpersPresent();
}
void onMergeHandled(void*, NotifyInfo*) {
  SkipNextLineMergeDialogs();
}
void onPostMerge(void*, NotifyInfo*) {
  FinishLineMerge();
}

}  // namespace

void RegisterLineMergeNotifications() {
  static const bool registered = [] {
    RegisterNotification(onPreSave, nullptr, NOTIFY_FILE_PRE_SAVE);
    RegisterNotification(onClear, nullptr, NOTIFY_FILE_POST_SAVE);
    RegisterNotification(onClear, nullptr, NOTIFY_FILE_POST_OPEN);
    RegisterNotification(onPreMerge, nullptr, NOTIFY_FILE_PRE_MERGE);
    RegisterNotification(onPostMerge, nullptr, NOTIFY_FILE_POST_MERGE);
    RegisterNotification(onMergeHandled, nullptr, NOTIFY_MERGE_HANDLED);
    return true;
  }();
  (void)registered;
}

void PrepareLineMergeHelpersForSave() {
  Interface& ip = *GetCOREInterface();
  const std::vector<LineManager*> effects = sceneLineEffects(ip);
  if (effects.empty()) return;
  const std::vector<ReferenceTarget*> targets(effects.begin(), effects.end());
  INode* root = ip.GetRootNode();
  forEachHelper([&](LineMergeHelper& h) {
    if (inScene(h, root)) h.HoldReferences(targets);
  });
}

void ClearLineMergeHelperReferences() {
  forEachHelper([](LineMergeHelper& h) { h.ClearReferences(); });
}

void MarkLineMergeHelpersPresent() {
  forEachHelper([](LineMergeHelper& h) { h.SetMerged(false); });
}

void SkipNextLineMergeDialogs() {
  gSkipDialogs = true;
}

void FinishLineMerge() {
  if (!std::exchange(gSkipDialogs, false)) {
    const std::vector<LineMergeHelper*>& live = LineMergeHelpers();
    auto first = std::find_if(live.begin(), live.end(),
                              [](LineMergeHelper* h) { return h->HoldsReferences(); });
    if (first != live.end()) RunLineMergeDialogs(**first);
  }
  // Lists are emptied in every case: outside a save or a merge no helper
  // keeps line effects alive.
  ClearLineMergeHelperReferences();
  std::vector<INode*> arrived;
  forEachHelper([&](LineMergeHelper& h) {
    if (!h.Merged()) return;
    for (INode* node : h.Nodes()) arrived.push_back(node);
  });
  Interface& ip = *GetCOREInterface();
  for (INode* node : arrived) ip.DeleteNode(node);
}

int RunLineMergeDialogs(LineMergeHelper& helper) {
  Interface& ip = *GetCOREInterface();
  std::vector<LineManager*> incoming;
  for (int i = 0; i < helper.NumRefs(); ++i) {
    if (auto* effect = dynamic_cast<LineManager*>(helper.GetReference(i))) {
      if (std::find(incoming.begin(), incoming.end(), effect) == incoming.end())
        incoming.push_back(effect);
    }
  }
  const std::vector<LineManager*> existing = sceneLineEffects(ip);
  MergeQuestion q;
  q.count = static_cast<int>(incoming.size());
  q.canChooseExisting = !existing.empty();
  for (LineManager* e : existing) q.existingNames.emplace_back(e->GetName().data());
  MergeAnswer state;
  bool applyToAll = false;
  int joined = 0;
  for (int i = 0; i < q.count; ++i) {
    LineManager& effect = *incoming[static_cast<size_t>(i)];
    if (!applyToAll) {
      q.position = i + 1;
      q.title = dialogTitle(q.position, q.count);
      q.incomingName = effect.GetName().data();
      q.canApplyToRemaining = q.count > 1 && q.position < q.count;
      MergeAnswer answer = state;
      answer.applyToRemaining = false;
      // A cancelled dialog skips this effect and keeps the earlier state.
      if (!ip.AskMergeChoice(q, answer)) continue;
      state = ruled(answer, q);
      applyToAll = state.applyToRemaining;
    }
    if (apply(state, effect, existing, ip)) ++joined;
  }
  return joined;
}

}  // namespace tarnis
