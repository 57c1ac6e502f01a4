#include "tarnis/line/effect/param_linking.h"

#include "sdk/hold.h"
#include "sdk/notify.h"

namespace tarnis {

namespace {

bool gLinking = true;

void LinkingOff(void*, NotifyInfo*) {
  gLinking = false;
}

void LinkingOn(void*, NotifyInfo*) {
  gLinking = true;
}

}  // namespace

bool ParamLinkingOn() {
  return gLinking;
}

void SetParamLinking(bool on) {
  gLinking = on;
}

ParamLinkingOff::ParamLinkingOff() : previous_(gLinking) {
  gLinking = false;
}

ParamLinkingOff::~ParamLinkingOff() {
  gLinking = previous_;
}

void RegisterParamLinkingNotifications() {
  static const bool registered = [] {
    RegisterNotification(LinkingOff, nullptr, NOTIFY_FILE_PRE_OPEN);
    RegisterNotification(LinkingOff, nullptr, NOTIFY_FILE_PRE_MERGE);
    RegisterNotification(LinkingOn, nullptr, NOTIFY_FILE_POST_OPEN);
    RegisterNotification(LinkingOn, nullptr, NOTIFY_FILE_POST_MERGE);
    return true;
  }();
  (void)registered;
}

bool CopyLinkedParam(IParamBlock2* src, ParamID a, IParamBlock2* dst, ParamID b) {
  if (!gLinking || !src || !dst) return false;
  const ParamDef* from = src->GetDesc() ? src->GetDesc()->GetParamDef(a) : nullptr;
  const ParamDef* to = dst->GetDesc() ? dst->GetDesc()->GetParamDef(b) : nullptr;
  if (!from || !to) return false;
  HoldSuspend suspend;
  ParamLinkingOff off;
  if ((from->flags & P_ANIMATABLE) && src->GetController(a)) return dst->Assign(b, src, a);
  if (dst->GetController(b)) dst->RemoveController(b);
  // Plain values (and reference values) through the block's own assignment,
  // which converts and clamps like a user's set.
  return dst->Assign(b, src, a);
}

}  // namespace tarnis
