#include "tarnis/line/effect/line_set.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "sdk/class_desc.h"
#include "sdk/hold.h"
#include "sdk/interface.h"
#include "sdk/save_load.h"
#include "tarnis/line/brush/brush.h"
#include "tarnis/line/effect/effect_base_io.h"
#include "tarnis/line/effect/line_set_class_desc.h"
#include "tarnis/line/effect/line_set_file.h"
#include "tarnis/line/effect/line_setting_links.h"
#include "tarnis/line/effect/setting_holder.h"
#include "tarnis/resources/string_table.h"

namespace tarnis {

namespace {

constexpr uint16_t kEffectBaseChunk = 0x4001;

// Slot names within a line type, and the number each slot's default name carries.
constexpr const char* kSlotNames[kSettingsPerType] = {
    "Brush", "BrushObject", "BrushNormal", "BrushMtlBorder", "BrushSGBorder", "BrushIsect"};
constexpr int kSlotNameNumbers[kSettingsPerType] = {1, 2, 6, 5, 4, 3};
constexpr const char* kTypeNames[kNumLineTypes] = {"_Visible", "_Invisible", "_Reserved"};

// Points of a new damping curve: the flags every point gets on top of its own.
constexpr int kDampPointFlags = 0xB;

std::string NumberedName(const char* text, int n) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s#%d", text, n);
  return buf;
}

class LineSetPostLoadCallback : public PostLoadCallback {
 public:
  explicit LineSetPostLoadCallback(LineSet* set) : set_(set) {}
  void proc(ILoad*) override { set_->FinishLoad(); }

 private:
  LineSet* set_;
};

bool IsCurve(ReferenceTarget* t) {
  return t && t->ClassID() == CURVE_CONTROL_CLASS_ID;
}

template <class T>
void RemoveListed(IParamBlock2* pb, ParamID id, std::span<T* const> listed) {
  if (!pb) return;
  for (int i = pb->Count(id) - 1; i >= 0; --i) {
    ReferenceTarget* entry = pb->GetReferenceTarget(id, 0, i);
    // Empty entries go too: the table is compacted.
    if (!entry || std::find(listed.begin(), listed.end(), entry) != listed.end()) {
      pb->Delete(id, i, 1);
    }
  }
}

// Setting `lineSetLoad` or `lineSetSave` reads or writes the line-set file
// of that name with the block's line set. The parameters keep no name (the
// value set is always stored empty), and an empty name does nothing. A file
// that cannot be read or written is reported through the host, naming it.
class LineSetFileAccessor : public PBAccessor {
 public:
  void Set(PB2Value& v, ReferenceMaker* owner, ParamID id, int, TimeValue) override {
    const std::string path = v.Is<std::string>() ? v.Get<std::string>() : std::string();
    v = std::string();
    auto* set = dynamic_cast<LineSet*>(owner);
    if (!set || path.empty()) return;
    if (id == kLineSetLineSetSave) {
      if (LineSetFileResult r = WriteLineSetFile(set, path.c_str()); !r) {
        GetCOREInterface()->OutputFailed(path.c_str(), r.problem.c_str());
      }
      return;
    }
    if (LineSetFileResult r = ReadLineSetFile(set, path.c_str()); !r) {
      const char* kept = GetString(kStrLineSetLeftAsItWas);
      const std::string text = path + ": " + r.problem + "; " + (kept ? kept : "");
      GetCOREInterface()->MessageBox(text.c_str(), "Tarnis", MessageIcon::Warning);
    }
  }
};

LineSetFileAccessor gLineSetFileAccessor;

ParamDef FileNameParam(ParamID id, const char* name) {
  ParamDef def = PlainParam(id, name, TYPE_FILENAME);
  def.accessor = &gLineSetFileAccessor;
  return def;
}

}  // namespace

ParamBlockDesc2* LineSetMainBlockDesc() {
  static ParamBlockDesc2 desc{
      AutoBlockHeader(0, "main", kLineSetMainRef),
      {EditTextParam(kLineSetName, "name"), PlainParam(kLineSetObjects, "objects", TYPE_INODE_TAB),
       PlainParam(kLineSetMtls, "mtls", TYPE_MTL_TAB),
       CheckboxParam(kLineSetEnable, "enable", P_ANIMATABLE, true),
       CheckboxParam(kLineSetCombineBetweemObjects, "combineBetweemObjects", P_ANIMATABLE, false),
       CheckboxParam(kLineSetExHidden, "exHidden", P_ANIMATABLE, false),
       FileNameParam(kLineSetLineSetLoad, "lineSetLoad"),
       FileNameParam(kLineSetLineSetSave, "lineSetSave")}};
  return &desc;
}

void BindLineSetBlocks(ClassDesc2* cd) {
  LineSetMainBlockDesc()->SetClassDesc(cd);
  BindLineTypeBlocks(cd);
}

PluginClassDesc<LineSet>* GetLineSetDesc() {
  return PluginClassDesc<LineSet>::Get();
}

INode* MembershipNode(INode* node) {
  if (!node || !node->IsGroupMember()) return node;
  INode* n = node;
  while (n->IsGroupMember() || !n->IsGroupHead()) {
    INode* parent = n->GetParentNode();
    // A broken group (no head below the root) stops at its top node.
    if (!parent || parent->IsRootNode()) break;
    n = parent;
  }
  return n;
}

void SetUpDampCurve(CurveControl* curve, ReferenceMaker* owner, float endValue) {
  curve->SetOwner(owner);
  curve->SetNumCurves(1);
  curve->SetXRange(0.0f, 1.0f);
  curve->SetYRange(0.0f, 1.0f);
  ICurve* c = curve->GetControlCurve(0);
  CurvePoint first = c->GetPoint(0, 0);
  first.flags |= kDampPointFlags;
  first.p.y = 1.0f;
  first.out = Point2(0.05f, -1.0f);
  c->SetPoint(0, 0, first, false, false);
  const int lastIndex = c->GetNumPts() - 1;
  CurvePoint last = c->GetPoint(0, lastIndex);
  last.flags |= kDampPointFlags;
  last.p.y = endValue;
  last.in = Point2(-0.5f, 0.1f);
  c->SetPoint(0, lastIndex, last, false, true);
}

LineSet::LineSet(bool loading) : loading_(loading) {
  holder_.Set(new SettingHolder);
  if (loading) return;
  // The blocks come first so that attaching each base setting fills its
  // type block right away.
  GetLineSetDesc()->MakeAutoParamBlocks(this);
  CreateSettings();
  CreateCurves();
}

LineSet::~LineSet() = default;

void LineSet::CreateSettings() {
  for (int t = 1; t <= kNumLineTypes; ++t) {
    for (int slot = 0; slot < kSettingsPerType; ++slot) {
      auto* setting = new LineSetting;
      const int n = kSlotNameNumbers[slot];
      setting->SetName(NumberedName("ブラシ設定", n).c_str());
      if (Brush* brush = setting->GetBrush()) {
        brush->SetName(NumberedName("ブラシ詳細設定", n).c_str());
      }
      ReplaceReference(LineSetSettingRef(t, slot), setting);
    }
  }
}

void LineSet::CreateCurves() {
  for (int i = kLineSetFirstCurveRef; i < kLineSetNumRefs; ++i) {
    if (refs_[i]) continue;
    auto* curve = static_cast<ReferenceTarget*>(
        GetClassDirectory().CreateInstance(REF_MAKER_CLASS_ID, CURVE_CONTROL_CLASS_ID));
    auto* cc = dynamic_cast<CurveControl*>(curve);
    TARNIS_CHECK(cc != nullptr) << "the curve-control class is not registered";
    ReplaceReference(i, cc);
    const bool sizeCurve = (i - kLineSetFirstCurveRef) % 2 == 0;
    SetUpDampCurve(cc, this, sizeCurve ? 0.1f : 0.0f);
  }
}

IParamBlock2* LineSet::GetParamBlock(int i) const {
  return i >= 0 && i < kLineSetNumBlocks ? dynamic_cast<IParamBlock2*>(refs_[i]) : nullptr;
}

IParamBlock2* LineSet::TypeBlock(int type) const {
  return type >= 1 && type <= kNumLineTypes ? GetParamBlock(TypeBlockRef(type)) : nullptr;
}

IParamBlock2* LineSet::DepthBlock(int type) const {
  return type >= 1 && type <= kNumLineTypes ? GetParamBlock(DepthBlockRef(type)) : nullptr;
}

LineSetting* LineSet::Setting(int type, int slot) const {
  if (type < 1 || type > kNumLineTypes || slot < 0 || slot >= kSettingsPerType) return nullptr;
  return dynamic_cast<LineSetting*>(refs_[LineSetSettingRef(type, slot)]);
}

CurveControl* LineSet::SizeCurve(int type) const {
  if (type < 1 || type > kNumLineTypes) return nullptr;
  return dynamic_cast<CurveControl*>(refs_[LineSetSizeCurveRef(type)]);
}

CurveControl* LineSet::AlphaCurve(int type) const {
  if (type < 1 || type > kNumLineTypes) return nullptr;
  return dynamic_cast<CurveControl*>(refs_[LineSetAlphaCurveRef(type)]);
}

SettingHolder* LineSet::Holder() const {
  return holder_.GetAs<SettingHolder>();
}

void LineSet::SetNameNumber(int n) {
  IParamBlock2* pb = MainBlock();
  if (!pb) return;
  char buf[64];
  if (n < 0) {
    std::snprintf(buf, sizeof buf, "%s", "セット");
  } else {
    std::snprintf(buf, sizeof buf, "%s%d", "セット", n);
  }
  pb->SetValue(kLineSetName, 0, buf);
}

std::string LineSet::Name() const {
  IParamBlock2* pb = MainBlock();
  return pb ? pb->GetStr(kLineSetName) : std::string();
}

bool LineSet::Enabled(TimeValue t) const {
  IParamBlock2* pb = MainBlock();
  return pb && pb->GetInt(kLineSetEnable, t) != 0;
}

bool LineSet::ListsNode(INode* node) const {
  IParamBlock2* pb = MainBlock();
  INode* member = MembershipNode(node);
  if (!pb || !member) return false;
  for (int i = 0; i < pb->Count(kLineSetObjects); ++i) {
    if (pb->GetReferenceTarget(kLineSetObjects, 0, i) == member) return true;
  }
  return false;
}

bool LineSet::ListsMaterial(Mtl* mtl) const {
  IParamBlock2* pb = MainBlock();
  if (!pb || !mtl) return false;
  for (int i = 0; i < pb->Count(kLineSetMtls); ++i) {
    if (pb->GetReferenceTarget(kLineSetMtls, 0, i) == mtl) return true;
  }
  return false;
}

void LineSet::RemoveNodes(std::span<INode* const> nodes) {
  RemoveListed(MainBlock(), kLineSetObjects, nodes);
}

void LineSet::RemoveMaterials(std::span<Mtl* const> mtls) {
  RemoveListed(MainBlock(), kLineSetMtls, mtls);
}

bool LineSet::RepairOlderLayout() {
  int f = 0;
  for (int i = 0; i < kLineSetNumRefs; ++i) {
    if (!refs_[i] || refs_[i]->SuperClassID() == TEXMAP_CLASS_ID) {
      f = i;
      break;
    }
  }
  int s = -1;
  for (int i = f; i < kLineSetNumRefs; ++i) {
    if (dynamic_cast<LineSetting*>(refs_[i])) {
      s = i;
      break;
    }
  }
  // Without any setting there is nothing to place; moving blocks into the
  // setting slots would only scramble the line set.
  if (s < 0 || s - f >= 6) return false;
  HoldSuspend suspend;
  for (int k = 5; k >= 0; --k) {
    const int from = s + 18 + k;
    ReferenceTarget* t = from < kLineSetNumRefs ? refs_[from] : nullptr;
    if (IsCurve(t)) ReplaceReference(kLineSetFirstCurveRef + k, t);
  }
  for (int k = 17; k >= 0; --k) {
    ReplaceReference(kLineSetFirstSettingRef + k, refs_[s + k]);
  }
  for (int i = TypeSizeMapRef(kNumLineTypes); i >= std::max(s, TypeLineMapRef(1)); --i) {
    ReplaceReference(i, nullptr);
  }
  return true;
}

void LineSet::FinishLoad() {
  RepairOlderLayout();
  loading_ = false;
  RepairLoadedSettingSlots();
}

int LineSet::RepairLoadedSettingSlots() {
  // What an open editor would repair, done when the scene is read so that a
  // render from the command line draws with the same settings: objects that
  // are not line settings leave their slots, and a base slot left empty gets
  // a base setting (a new one when nothing was kept for it).
  int repaired = RepairSettingSlots(this, kLineSetFirstSettingRef, Holder());
  int filled = 0;
  for (int t = 1; t <= kNumLineTypes; ++t) {
    if (GetReference(LineSetSettingRef(t, 0))) continue;
    auto* setting = new LineSetting;
    const int n = kSlotNameNumbers[0];
    setting->SetName(NumberedName("ブラシ設定", n).c_str());
    if (Brush* brush = setting->GetBrush())
      brush->SetName(NumberedName("ブラシ詳細設定", n).c_str());
    ReplaceReference(LineSetSettingRef(t, 0), setting);
    ++filled;
  }
  Interface* ip = GetCOREInterface();
  if (filled > 0 && repaired == 0 && ip) {
    ip->MessageBox("Brush Map Error", "Tarnis", MessageIcon::Warning);
  }
  return repaired + filled;
}

void LineSet::TypeBlocksWithBase(LineSetting* setting, std::vector<IParamBlock2*>& out) {
  for (int t = 1; t <= kNumLineTypes; ++t) {
    if (setting && Setting(t, 0) == setting && TypeBlock(t)) out.push_back(TypeBlock(t));
  }
}

CStr LineSet::GetName() {
  return Name().c_str();
}

void LineSet::GetClassName(CStr& s) {
  s = GetLineSetDesc()->ClassName();
}

ReferenceTarget* LineSet::GetReference(int i) {
  return i >= 0 && i < kLineSetNumRefs ? refs_[i] : nullptr;
}

std::vector<NamedReference> LineSet::NamedReferences() {
  static constexpr const char* kGroups[] = {"visible", "hidden"};
  static constexpr const char* kSlots[kSettingsPerType] = {"base",     "outline",   "crease",
                                                           "material", "smoothing", "intersection"};
  std::vector<NamedReference> named;
  for (int type = 1; type <= 2; ++type) {
    for (int slot = 0; slot < kSettingsPerType; ++slot) {
      named.push_back({kGroups[type - 1], kSlots[slot], LineSetSettingRef(type, slot)});
    }
  }
  return named;
}

CStr LineSet::SubAnimName(int i) {
  if (i >= TypeLineMapRef(1) && i <= TypeLineMapRef(kNumLineTypes)) return "LINE MAP";
  if (i >= TypeSizeMapRef(1) && i <= TypeSizeMapRef(kNumLineTypes)) return "LINE SIZE MAP";
  if (i >= kLineSetFirstSettingRef && i < kLineSetFirstCurveRef) {
    const int k = i - kLineSetFirstSettingRef;
    return (std::string(kSlotNames[k % kSettingsPerType]) + kTypeNames[k / kSettingsPerType])
        .c_str();
  }
  if (i >= kLineSetFirstCurveRef && i < kLineSetNumRefs) {
    const int k = i - kLineSetFirstCurveRef;
    return (std::string(k % 2 == 0 ? "SizeDampCurve" : "AlphaDampCurve") + kTypeNames[k / 2])
        .c_str();
  }
  return "";
}

RefResult LineSet::NotifyRefChanged(const Interval&, ReferenceTarget* target, PartID&,
                                    RefMessage message) {
  if (message != REFMSG_CHANGE || loading_) return REF_SUCCEED;
  for (int t = 1; t <= kNumLineTypes; ++t) {
    IParamBlock2* tb = TypeBlock(t);
    if (tb && target == tb) MirrorTypeBlockChange(tb, tb->LastNotifyParamID(), Setting(t, 0));
  }
  return REF_SUCCEED;
}

IOResult LineSet::Save(ISave* isave) {
  isave->BeginChunk(kEffectBaseChunk);
  const IOResult r = SaveEffectBase(isave, this);
  isave->EndChunk();
  return r;
}

IOResult LineSet::Load(ILoad* iload) {
  loading_ = true;
  IOResult r = IO_OK;
  while ((r = iload->OpenChunk()) == IO_OK) {
    if (iload->CurChunkID() == kEffectBaseChunk && LoadEffectBase(iload, this) != IO_OK) {
      return IO_ERROR;
    }
    if (iload->CloseChunk() != IO_OK) return IO_ERROR;
  }
  if (r == IO_ERROR) return IO_ERROR;
  iload->RegisterPostLoadCallback(std::make_unique<LineSetPostLoadCallback>(this));
  return IO_OK;
}

void LineSet::SetReference(int i, ReferenceTarget* target) {
  if (i < 0 || i >= kLineSetNumRefs) return;
  ReferenceTarget* outgoing = refs_[i];
  const bool settingSlot = i >= kLineSetFirstSettingRef && i < kLineSetFirstCurveRef;
  // A setting slot holds line settings only: anything else is refused (the
  // slot keeps what it had), so whoever offered it hears so instead of the
  // object being ignored without a word.
  if (settingSlot && !loading_ && target && !dynamic_cast<LineSetting*>(target)) return;
  refs_[i] = target;
  if (loading_ || !settingSlot) return;
  const int k = i - kLineSetFirstSettingRef;
  if (SettingHolder* holder = Holder()) holder->KeepOutgoing(k, outgoing, target);
  auto* setting = dynamic_cast<LineSetting*>(target);
  if (setting && k % kSettingsPerType == 0) {
    AttachBaseSetting(TypeBlock(k / kSettingsPerType + 1), setting);
  }
}

}  // namespace tarnis
