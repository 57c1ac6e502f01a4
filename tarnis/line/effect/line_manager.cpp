#include "tarnis/line/effect/line_manager.h"

#include <algorithm>
#include <memory>

#include "sdk/hold.h"
#include "sdk/save_load.h"
#include "tarnis/line/effect/effect_base_io.h"
#include "tarnis/line/effect/line_list_records.h"
#include "tarnis/line/effect/line_manager_class_desc.h"
#include "tarnis/line/effect/line_set.h"
#include "tarnis/line/effect/setting_holder.h"
#include "tarnis/line/engine/line_engine.h"
#include "sdk/interface.h"

namespace tarnis {

namespace {

constexpr uint16_t kCountChunk = 0x4000;
constexpr uint16_t kEffectBaseChunk = 0x4001;
// More line sets than anyone draws: a count beyond this is damaged data.
constexpr int32_t kMaxLineSets = 1 << 16;

int gInstances = 0;

ReferenceHolder& Clipboard() {
  static ReferenceHolder holder;
  return holder;
}

// Records `rob` as one undo step after running its Redo unrecorded.
void DoAndRecord(std::unique_ptr<RestoreObj> rob) {
  {
    HoldSuspend suspend;
    rob->Redo();
  }
  theHold.Begin();
  theHold.Put(std::move(rob));
  theHold.Accept(kLineListUndoName);
}

}  // namespace

ParamBlockDesc2* LineManagerBlockDesc() {
  static ParamBlockDesc2 desc{
      AutoBlockHeader(0, "main", kLineManagerMainRef),
      {IntSpinnerParam(kLineSeed, "Seed", P_ANIMATABLE, 0, {0, 65535}),
       FloatSpinnerParam(kLineOutsideLength, "OutsideLength", TYPE_FLOAT, P_ANIMATABLE, 150.0f,
                         {0.0f, 1000.0f}, 1.0f),
       CheckboxParam(kLineRenderElementOnly, "RenderElementOnly", 0, false),
       IntSpinnerParam(kLineOverSampling, "overSampling", 0, 2, {1, 4}),
       FloatSpinnerParam(kLineAntiAliasSize, "antiAliasSize", TYPE_FLOAT, 0, 1.0f, {0.0f, 2.0f},
                         0.001f),
       CheckboxParam(kLineRndAuto, "rndAuto", 0, false),
       IntSpinnerParam(kLineRndInterval, "rndInterval", 0, 1, {1, 999}),
       CheckboxParam(kLineRndMoveDetect, "rndMoveDetect", 0, false),
       // Chosen in the line-set panel, so it has no control of its own.
       PlainParam(kLineLineSizeType, "lineSizeType", TYPE_INT, 0, {0.0f, 1.0f})}};
  return &desc;
}

void BindLineManagerBlock(ClassDesc2* cd) {
  LineManagerBlockDesc()->SetClassDesc(cd);
}

PluginClassDesc<LineManager>* GetLineManagerDesc() {
  return PluginClassDesc<LineManager>::Get();
}

SettingHolder* LineSettingClipboard() {
  return Clipboard().GetAs<SettingHolder>();
}

LineRenderState::LineRenderState() = default;
LineRenderState::~LineRenderState() = default;

LineManager::LineManager(bool loading) {
  if (gInstances++ == 0) {
    Clipboard().Set(new SettingHolder);
    RegisterLineEngineNotifications();
  }
  if (!loading) GetLineManagerDesc()->MakeAutoParamBlocks(this);
}

LineManager::~LineManager() {
  if (--gInstances == 0) {
    Clipboard().Release();
    UnregisterLineEngineNotifications();
  }
}

IParamBlock2* LineManager::MainBlock() const {
  return main_;
}

LineSet* LineManager::GetLineSet(int i) const {
  return i >= 0 && i < NumLineSets() ? sets_[static_cast<size_t>(i)] : nullptr;
}

int LineManager::IndexOf(const LineSet* set) const {
  if (!set) return -1;
  auto it = std::find(sets_.begin(), sets_.end(), set);
  return it == sets_.end() ? -1 : static_cast<int>(it - sets_.begin());
}

LineSet* LineManager::AddLineSet() {
  LineSet* set = nullptr;
  {
    // Building the set is part of the step, not a change of its own.
    HoldSuspend suspend;
    set = new LineSet;
    set->SetNameNumber(NumLineSets() + 1);
  }
  LineSet* sets[] = {set};
  const int positions[] = {-1};
  DoAndRecord(
      std::make_unique<LinesetAddOrRemove>(this, sets, positions, LinesetAddOrRemove::Mode::kAdd));
  return set;
}

void LineManager::RemoveLineSets(std::span<const int> positions) {
  std::vector<LineSet*> sets;
  std::vector<int> at;
  for (int p : positions) {
    LineSet* s = GetLineSet(p);
    if (s && std::find(sets.begin(), sets.end(), s) == sets.end()) {
      sets.push_back(s);
      at.push_back(p);
    }
  }
  if (sets.empty()) return;
  DoAndRecord(
      std::make_unique<LinesetAddOrRemove>(this, sets, at, LinesetAddOrRemove::Mode::kRemove));
}

bool LineManager::MoveLineSets(std::span<LineSet* const> selected, bool towardsEnd) {
  std::vector<int> at;
  for (LineSet* s : selected) {
    const int i = IndexOf(s);
    if (i >= 0 && std::find(at.begin(), at.end(), i) == at.end()) at.push_back(i);
  }
  std::sort(at.begin(), at.end());
  // Sets packed against the end they move to cannot move.
  if (towardsEnd) {
    int last = NumLineSets() - 1;
    while (!at.empty() && at.back() == last) {
      at.pop_back();
      --last;
    }
  } else {
    size_t packed = 0;
    while (packed < at.size() && at[packed] == static_cast<int>(packed)) ++packed;
    at.erase(at.begin(), at.begin() + static_cast<ptrdiff_t>(packed));
  }
  if (at.empty()) return false;
  std::vector<LineSet*> sets;
  for (int i : at) sets.push_back(GetLineSet(i));
  DoAndRecord(std::make_unique<MoveLineSet>(this, sets, towardsEnd));
  return true;
}

LineSet* LineManager::LineSetOfNode(INode* node) const {
  for (LineSet* s : sets_) {
    if (s && s->ListsNode(node)) return s;
  }
  return nullptr;
}

LineSet* LineManager::LineSetOfMaterial(Mtl* mtl) const {
  for (LineSet* s : sets_) {
    if (s && s->ListsMaterial(mtl)) return s;
  }
  return nullptr;
}

bool LineManager::AppendReference(ReferenceTarget* target) {
  auto* set = dynamic_cast<LineSet*>(target);
  if (!set || IndexOf(set) >= 0) return false;
  InsertLineSet(-1, set);
  return true;
}

void LineManager::InsertLineSet(int position, LineSet* set) {
  if (!set) return;
  if (position < 0 || position > NumLineSets()) position = NumLineSets();
  sets_.insert(sets_.begin() + position, nullptr);
  ReplaceReference(position + 1, set);
  Changed();
}

void LineManager::RemoveLineSet(LineSet* set) {
  const int at = IndexOf(set);
  if (at < 0) return;
  ReplaceReference(at + 1, nullptr);
  sets_.erase(sets_.begin() + at);
  Changed();
}

void LineManager::SwapLineSets(int i) {
  if (i < 0 || i + 1 >= NumLineSets()) return;
  // Both sets stay referenced once each; only their slots trade places.
  std::swap(sets_[static_cast<size_t>(i)], sets_[static_cast<size_t>(i) + 1]);
  Changed();
}

void LineManager::Changed() {
  NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
}

void LineManager::Apply(TimeValue t, Bitmap* bm, RenderGlobalContext* gc,
                        CheckAbortCallback* checkAbort) {
  if (checkAbort && checkAbort->Check()) return;
  const bool reuse = !GetCOREInterface()->IsNetServer();
  ApplyLines(*this, t, bm, gc, checkAbort, reuse);
}

void LineManager::GetClassName(CStr& s) {
  s = GetLineManagerDesc()->ClassName();
}

ReferenceTarget* LineManager::GetReference(int i) {
  if (i == kLineManagerMainRef) return main_;
  return GetLineSet(i - 1);
}

CStr LineManager::SubAnimName(int i) {
  LineSet* s = i >= 1 ? GetLineSet(i - 1) : nullptr;
  return s ? s->GetName() : CStr("");
}

void LineManager::SetReference(int i, ReferenceTarget* target) {
  if (i == kLineManagerMainRef) {
    main_ = dynamic_cast<IParamBlock2*>(target);
  } else if (i >= 1 && i <= NumLineSets()) {
    sets_[static_cast<size_t>(i - 1)] = dynamic_cast<LineSet*>(target);
  }
}

IOResult LineManager::Save(ISave* isave) {
  isave->BeginChunk(kCountChunk);
  IOResult r = isave->WriteInt(NumLineSets());
  isave->EndChunk();
  if (r != IO_OK) return r;
  isave->BeginChunk(kEffectBaseChunk);
  r = SaveEffectBase(isave, this);
  isave->EndChunk();
  return r;
}

IOResult LineManager::Load(ILoad* iload) {
  IOResult r = IO_OK;
  while ((r = iload->OpenChunk()) == IO_OK) {
    if (iload->CurChunkID() == kCountChunk) {
      int32_t n = 0;
      if (iload->ReadInt(n) != IO_OK || n < 0 || n > kMaxLineSets) return IO_ERROR;
      sets_.assign(static_cast<size_t>(n), nullptr);
    } else if (iload->CurChunkID() == kEffectBaseChunk) {
      if (LoadEffectBase(iload, this) != IO_OK) return IO_ERROR;
    }
    if (iload->CloseChunk() != IO_OK) return IO_ERROR;
  }
  return r == IO_ERROR ? IO_ERROR : IO_OK;
}

}  // namespace tarnis
