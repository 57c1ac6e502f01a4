#include "apps/studio/line_effect_panel.h"

#include <QApplication>
#include <QComboBox>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QVBoxLayout>
#include <algorithm>

#include "apps/studio/member_dialog.h"
#include "apps/studio/param_map.h"
#include "apps/studio/setting_editor.h"
#include "sdk/hold.h"
#include "tarnis/common/blend_color.h"
#include "tarnis/line/brush/brush.h"
#include "tarnis/line/effect/line_manager.h"
#include "tarnis/line/effect/line_set.h"
#include "tarnis/line/effect/line_set_file.h"
#include "tarnis/line/effect/line_setting.h"
#include "tarnis/line/effect/line_type_blocks.h"
#include "tarnis/line/effect/setting_holder.h"
#include "tarnis/resources/string_table.h"

namespace studio {

namespace {

constexpr int kVisibleType = 1;
constexpr int kHiddenType = 2;
constexpr int kBlendModes = 16;

QString Text(int id) {
  const char* s = tarnis::GetString(id);
  return QString::fromUtf8(s ? s : "");
}

QString ClassNameOf(ReferenceTarget* object) {
  CStr s;
  object->GetClassName(s);
  return QString::fromUtf8(s.data());
}

// The nodes a line set may take: no group members (their group head stands
// for them), no node any line set of the effect lists, and only nodes whose
// object is geometry (or group heads, which stand for their members).
bool OfferedForAdding(tarnis::LineManager& effect, INode* node) {
  if (node->IsGroupMember()) return false;
  if (effect.LineSetOfNode(node)) return false;
  if (node->IsGroupHead()) return true;
  ReferenceTarget* object = node->GetObjectRef();
  return object && object->SuperClassID() == GEOMOBJECT_CLASS_ID;
}

// A material and its sub-materials, depth first, each once.
void CollectMaterials(Mtl* mtl, std::vector<Mtl*>& out) {
  if (!mtl || std::find(out.begin(), out.end(), mtl) != out.end()) return;
  out.push_back(mtl);
  for (int i = 0; i < mtl->NumSubMtls(); ++i) CollectMaterials(mtl->GetSubMtl(i), out);
}

// What a setting button drags: the object stays referenced while the drag
// runs; the drag's data only says that there is one.
const char* const kDragFormat = "application/x-tarnis-line-setting";
ReferenceHolder& Dragged() {
  static ReferenceHolder dragged;
  return dragged;
}

// A setting button: drags its slot's setting and takes dropped settings.
class SettingSlotButton : public QPushButton {
 public:
  SettingSlotButton(LineEffectPanel* panel, int slot, QWidget* parent)
      : QPushButton(parent), panel_(panel), slot_(slot) {
    setAcceptDrops(true);
  }

 protected:
  void mousePressEvent(QMouseEvent* e) override {
    if (e->button() == Qt::LeftButton) pressedAt_ = e->position().toPoint();
    QPushButton::mousePressEvent(e);
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    tarnis::LineSet* set = panel_->CurrentSet();
    tarnis::LineSetting* setting = set ? set->Setting(panel_->CurrentType(), slot_) : nullptr;
    if (!(e->buttons() & Qt::LeftButton) || !setting ||
        (e->position().toPoint() - pressedAt_).manhattanLength() <
            QApplication::startDragDistance()) {
      QPushButton::mouseMoveEvent(e);
      return;
    }
    setDown(false);
    Dragged().Set(setting);
    auto* drag = new QDrag(this);
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kDragFormat), QByteArray());
    drag->setMimeData(data);
    drag->exec(Qt::LinkAction);
    Dragged().Release();
  }
  void dragEnterEvent(QDragEnterEvent* e) override {
    if (e->mimeData()->hasFormat(QString::fromLatin1(kDragFormat)) &&
        panel_->AcceptsDrop(Dragged().Get())) {
      e->acceptProposedAction();
    }
  }
  void dropEvent(QDropEvent* e) override {
    if (panel_->DropOnSetting(slot_, Dragged().Get())) e->acceptProposedAction();
  }

 private:
  LineEffectPanel* panel_;
  int slot_;
  QPoint pressedAt_;
};

}  // namespace

LineSetFileChooser& TheLineSetFileChooser() {
  static LineSetFileChooser chooser = [](bool save, QWidget* parent) {
    const QString filter = QObject::tr("Line sets (*.tln)");
    return save ? QFileDialog::getSaveFileName(parent, QObject::tr("Save line set"), QString(),
                                               filter)
                : QFileDialog::getOpenFileName(parent, QObject::tr("Load line set"), QString(),
                                               filter);
  };
  return chooser;
}

QString MemberText(ReferenceTarget* object, const char* name) {
  const QString n = QString::fromUtf8(name ? name : "");
  if (dynamic_cast<tarnis::LineSetting*>(object) || dynamic_cast<tarnis::Brush*>(object)) return n;
  return QStringLiteral("%1 ( %2 )").arg(n, ClassNameOf(object));
}

LineEffectPanel::LineEffectPanel(StudioDocument& doc, tarnis::LineManager* effect, QWidget* parent)
    : QWidget(parent), doc_(doc), effect_(effect) {
  auto* layout = new QVBoxLayout(this);
  auto* mainGroup = new QGroupBox(
      QString::fromUtf8(effect_->MainBlock()->GetDesc()->InternalName().c_str()), this);
  auto* mainLayout = new QVBoxLayout(mainGroup);
  mainMap_ = new ParamMap(doc_, effect_->MainBlock(), {}, mainGroup);
  mainLayout->addWidget(mainMap_);
  auto* sizeRow = new QHBoxLayout;
  sizeType_[0] = new QRadioButton(tr("Line size in pixels"), mainGroup);
  sizeType_[1] = new QRadioButton(tr("Line size scaled with the image"), mainGroup);
  for (int i = 0; i < 2; ++i) {
    sizeRow->addWidget(sizeType_[static_cast<size_t>(i)]);
    connect(sizeType_[static_cast<size_t>(i)], &QRadioButton::clicked, this, [this, i] {
      if (refreshing_) return;
      doc_.Edit([&] {
        return effect_->MainBlock()->SetValue(tarnis::kLineLineSizeType, doc_.Time(), i);
      });
    });
  }
  mainLayout->addLayout(sizeRow);
  layout->addWidget(mainGroup);

  buildListSection(layout);
  buildSetSection(layout);
  layout->addStretch(1);

  connect(&doc_, &StudioDocument::Changed, this, [this] {
    repairSettingSlots();
    Refresh();
  });
  if (effect_->NumLineSets() > 0) current_ = 0;
  Refresh();
}

void LineEffectPanel::buildListSection(QVBoxLayout* layout) {
  auto* group = new QGroupBox(Text(tarnis::kStrPanelLineRollout), this);
  auto* row = new QHBoxLayout(group);
  setList_ = new QListWidget(group);
  setList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  setList_->setObjectName(QStringLiteral("lineSets"));
  auto* buttons = new QVBoxLayout;
  addButton_ = new QPushButton(tr("Add"), group);
  removeButton_ = new QPushButton(tr("Remove"), group);
  upButton_ = new QPushButton(tr("Up"), group);
  downButton_ = new QPushButton(tr("Down"), group);
  for (QPushButton* b : {addButton_, removeButton_, upButton_, downButton_}) buttons->addWidget(b);
  buttons->addStretch(1);
  row->addWidget(setList_, 1);
  row->addLayout(buttons);
  layout->addWidget(group);

  connect(addButton_, &QPushButton::clicked, this, &LineEffectPanel::addSet);
  connect(removeButton_, &QPushButton::clicked, this, &LineEffectPanel::removeSets);
  connect(upButton_, &QPushButton::clicked, this, [this] { moveSets(false); });
  connect(downButton_, &QPushButton::clicked, this, [this] { moveSets(true); });
  connect(setList_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (refreshing_) return;
    current_ = row;
    showCurrentSet();
  });
}

void LineEffectPanel::buildSetSection(QVBoxLayout* layout) {
  setSection_ = new QWidget(this);
  auto* section = new QVBoxLayout(setSection_);
  section->setContentsMargins(0, 0, 0, 0);
  setMaps_ = new QVBoxLayout;
  section->addLayout(setMaps_);

  auto* members = new QGroupBox(tr("Members"), setSection_);
  auto* grid = new QGridLayout(members);
  objectList_ = new QListWidget(members);
  materialList_ = new QListWidget(members);
  auto* addObjects = new QPushButton(Text(tarnis::kStrPanelAddObjects), members);
  auto* removeObjects = new QPushButton(Text(tarnis::kStrPanelRemoveObjects), members);
  auto* addMaterials = new QPushButton(Text(tarnis::kStrPanelAddMaterials), members);
  auto* removeMaterials = new QPushButton(Text(tarnis::kStrPanelRemoveMaterials), members);
  grid->addWidget(objectList_, 0, 0, 1, 2);
  grid->addWidget(addObjects, 1, 0);
  grid->addWidget(removeObjects, 1, 1);
  grid->addWidget(materialList_, 2, 0, 1, 2);
  grid->addWidget(addMaterials, 3, 0);
  grid->addWidget(removeMaterials, 3, 1);
  section->addWidget(members);
  connect(addObjects, &QPushButton::clicked, this, &LineEffectPanel::AddObjects);
  connect(removeObjects, &QPushButton::clicked, this, &LineEffectPanel::RemoveObjects);
  connect(addMaterials, &QPushButton::clicked, this, &LineEffectPanel::AddMaterials);
  connect(removeMaterials, &QPushButton::clicked, this, &LineEffectPanel::RemoveMaterials);

  typeTabs_ = new QTabBar(setSection_);
  typeTabs_->addTab(Text(tarnis::kStrPanelVisibleLines));
  typeTabs_->addTab(Text(tarnis::kStrPanelHiddenLines));
  section->addWidget(typeTabs_);
  connect(typeTabs_, &QTabBar::currentChanged, this, [this](int index) {
    type_ = index == 1 ? kHiddenType : kVisibleType;
    showCurrentSet();
  });

  auto* settings = new QWidget(setSection_);
  auto* settingGrid = new QGridLayout(settings);
  for (int slot = 0; slot < tarnis::kSettingsPerType; ++slot) {
    auto* b = new SettingSlotButton(this, slot, settings);
    b->setContextMenuPolicy(Qt::CustomContextMenu);
    settingGrid->addWidget(b, slot / 3, slot % 3);
    settingButtons_[static_cast<size_t>(slot)] = b;
    connect(b, &QPushButton::clicked, this, [this, slot] {
      tarnis::LineSet* set = CurrentSet();
      if (tarnis::LineSetting* s = set ? set->Setting(type_, slot) : nullptr) {
        SettingEditor::Open(doc_, s, window());
      }
    });
    connect(b, &QPushButton::customContextMenuRequested, this, [this, slot, b](const QPoint& at) {
      QMenu* menu = MakeSettingMenu(slot);
      menu->setAttribute(Qt::WA_DeleteOnClose);
      if (!menu->isEmpty()) {
        menu->popup(b->mapToGlobal(at));
      } else {
        delete menu;
      }
    });
  }
  section->addWidget(settings);
  typeMaps_ = new QVBoxLayout;
  section->addLayout(typeMaps_);
  auto* files = new QHBoxLayout;
  auto* load = new QPushButton(tr("Load line set..."), setSection_);
  auto* save = new QPushButton(tr("Save line set..."), setSection_);
  files->addWidget(load);
  files->addWidget(save);
  section->addLayout(files);
  message_ = new QLabel(setSection_);
  message_->setWordWrap(true);
  section->addWidget(message_);
  connect(load, &QPushButton::clicked, this, &LineEffectPanel::LoadLineSet);
  connect(save, &QPushButton::clicked, this, &LineEffectPanel::SaveLineSet);
  auto* depth = new QGroupBox(Text(tarnis::kStrPanelDepthRollout), setSection_);
  depthMaps_ = new QVBoxLayout(depth);
  section->addWidget(depth);
  layout->addWidget(setSection_);
}

tarnis::LineSet* LineEffectPanel::CurrentSet() const {
  return effect_->GetLineSet(current_);
}

std::vector<int> LineEffectPanel::selectedRows() const {
  std::vector<int> rows;
  for (int i = 0; i < setList_->count(); ++i) {
    if (setList_->item(i)->isSelected()) rows.push_back(i);
  }
  return rows;
}

void LineEffectPanel::selectSets(const std::vector<tarnis::LineSet*>& sets) {
  refreshing_ = true;
  setList_->clearSelection();
  int first = -1;
  for (tarnis::LineSet* s : sets) {
    const int row = effect_->IndexOf(s);
    if (row < 0 || row >= setList_->count()) continue;
    setList_->item(row)->setSelected(true);
    if (first < 0) first = row;
  }
  if (first >= 0) {
    setList_->setCurrentRow(first, QItemSelectionModel::NoUpdate);
    current_ = first;
  }
  refreshing_ = false;
}

void LineEffectPanel::addSet() {
  tarnis::LineSet* added = nullptr;
  doc_.Edit([&] {
    added = effect_->AddLineSet();
    return added != nullptr;
  });
  if (added) {
    selectSets({added});
    showCurrentSet();
  }
}

void LineEffectPanel::removeSets() {
  const std::vector<int> rows = selectedRows();
  if (rows.empty()) return;
  doc_.Edit([&] {
    effect_->RemoveLineSets(rows);
    return true;
  });
  current_ = std::min(rows.front(), effect_->NumLineSets() - 1);
  Refresh();
}

void LineEffectPanel::moveSets(bool towardsEnd) {
  std::vector<tarnis::LineSet*> selected;
  for (int row : selectedRows()) selected.push_back(effect_->GetLineSet(row));
  if (selected.empty()) return;
  doc_.Edit([&] { return effect_->MoveLineSets(selected, towardsEnd); });
  // The selection follows the sets it moved.
  Refresh();
  selectSets(selected);
}

void LineEffectPanel::Refresh() {
  refreshing_ = true;
  const int lineSizeType = effect_->MainBlock()->GetInt(tarnis::kLineLineSizeType, doc_.Time());
  sizeType_[0]->setChecked(lineSizeType == 0);
  sizeType_[1]->setChecked(lineSizeType == 1);

  std::vector<tarnis::LineSet*> selected;
  for (int row : selectedRows()) selected.push_back(effect_->GetLineSet(row));
  setList_->clear();
  for (int i = 0; i < effect_->NumLineSets(); ++i) {
    tarnis::LineSet* set = effect_->GetLineSet(i);
    setList_->addItem(set ? QString::fromStdString(set->Name()) : QString());
  }
  if (current_ >= effect_->NumLineSets()) current_ = effect_->NumLineSets() - 1;
  refreshing_ = false;
  selectSets(selected);
  if (selectedRows().empty() && current_ >= 0) {
    refreshing_ = true;
    setList_->setCurrentRow(current_);
    refreshing_ = false;
  }
  showCurrentSet();
}

void LineEffectPanel::showCurrentSet() {
  tarnis::LineSet* set = CurrentSet();
  setSection_->setEnabled(set != nullptr);
  if (set != shownSet_.Get() || type_ != shownType_) {
    // New controls for another set or type; the old ones go once their
    // signals have returned (one of them may be what led here).
    for (ParamMap* old : {setMainMap_, typeMap_, depthMap_}) {
      if (!old) continue;
      old->Detach();
      old->hide();
      old->deleteLater();
    }
    setMainMap_ = typeMap_ = depthMap_ = nullptr;
    shownSet_.Set(set);
    shownType_ = type_;
    if (set) {
      setMainMap_ = new ParamMap(doc_, set->MainBlock(), {}, setSection_);
      setMaps_->addWidget(setMainMap_);
      ParamMapHooks typeHooks;
      typeHooks.makeControl = [](const ParamDef& def, ParamMap& map) -> QWidget* {
        if (def.id != tarnis::kTypeLineBlend) return nullptr;
        auto* combo = new QComboBox(&map);
        for (int i = 0; i < kBlendModes; ++i) {
          combo->addItem(QString::fromUtf8(tarnis::BlendModeName(i)));
        }
        combo->setCurrentIndex(map.Block()->GetInt(def.id, map.Document().Time()));
        QObject::connect(combo, &QComboBox::activated, &map,
                         [&map, id = def.id](int index) { map.SetByUser(id, PB2Value(index)); });
        return combo;
      };
      // The crease angles mean nothing while every edge is drawn as wire.
      typeHooks.afterRefresh = [](ParamMap& map) {
        IParamBlock2* pb = map.Block();
        const bool wire = pb->GetInt(tarnis::kTypeEdgeNormalWire, map.Document().Time()) != 0;
        for (ParamID id : {tarnis::kTypeEdgeNormalMin, tarnis::kTypeEdgeNormalMax}) {
          if (QWidget* c = map.Control(id)) c->setEnabled(!wire);
        }
        if (auto* combo = qobject_cast<QComboBox*>(map.Control(tarnis::kTypeLineBlend))) {
          combo->setCurrentIndex(pb->GetInt(tarnis::kTypeLineBlend, map.Document().Time()));
        }
      };
      typeMap_ = new ParamMap(doc_, set->TypeBlock(type_), typeHooks, setSection_);
      typeMaps_->addWidget(typeMap_);
      depthMap_ = new ParamMap(doc_, set->DepthBlock(type_), {}, setSection_);
      depthMaps_->addWidget(depthMap_);
    }
  }
  refreshMembers();
  refreshSettingButtons();
}

void LineEffectPanel::repairSettingSlots() {
  // After a change of the scene (only then: no render reads it meanwhile),
  // slots may hold something that is not a setting; the line set puts its
  // kept settings back. Bookkeeping, not an edit of its own.
  tarnis::LineSet* set = CurrentSet();
  if (!set) return;
  HoldSuspend suspend;
  tarnis::RepairSettingSlots(set, tarnis::kLineSetFirstSettingRef, set->Holder());
}

void LineEffectPanel::refreshMembers() {
  objectList_->clear();
  materialList_->clear();
  tarnis::LineSet* set = CurrentSet();
  if (!set) return;
  IParamBlock2* pb = set->MainBlock();
  const TimeValue t = doc_.Time();
  for (int i = 0; i < pb->Count(tarnis::kLineSetObjects); ++i) {
    if (auto* node = dynamic_cast<INode*>(pb->GetReferenceTarget(tarnis::kLineSetObjects, t, i))) {
      objectList_->addItem(QString::fromUtf8(node->GetName()));
    }
  }
  for (int i = 0; i < pb->Count(tarnis::kLineSetMtls); ++i) {
    if (auto* mtl = dynamic_cast<Mtl*>(pb->GetReferenceTarget(tarnis::kLineSetMtls, t, i))) {
      materialList_->addItem(MemberText(mtl, mtl->GetName()));
    }
  }
}

void LineEffectPanel::refreshSettingButtons() {
  tarnis::LineSet* set = CurrentSet();
  for (int slot = 0; slot < tarnis::kSettingsPerType; ++slot) {
    tarnis::LineSetting* s = set ? set->Setting(type_, slot) : nullptr;
    settingButtons_[static_cast<size_t>(slot)]->setText(s ? QString::fromUtf8(s->GetName())
                                                          : QStringLiteral("None"));
  }
}

void LineEffectPanel::AddObjects() {
  tarnis::LineSet* set = CurrentSet();
  if (!set) return;
  std::vector<INode*> offered;
  MemberChoice choice{Text(tarnis::kStrPanelAddObjects), Text(tarnis::kStrPanelAddButton), {}};
  for (host::HostNode* node : doc_.Scene().AllNodes()) {
    if (!OfferedForAdding(*effect_, node)) continue;
    offered.push_back(node);
    choice.entries << QString::fromUtf8(node->GetName());
  }
  const std::vector<int> chosen = TheMemberChooser()(choice, this);
  if (chosen.empty()) return;
  doc_.Edit([&] {
    bool added = false;
    for (int row : chosen) {
      if (row < 0 || row >= static_cast<int>(offered.size())) continue;
      added |= set->MainBlock()->Append(
          tarnis::kLineSetObjects,
          PB2Value(static_cast<ReferenceTarget*>(offered[static_cast<size_t>(row)])));
    }
    return added;
  });
}

void LineEffectPanel::RemoveObjects() {
  tarnis::LineSet* set = CurrentSet();
  if (!set) return;
  IParamBlock2* pb = set->MainBlock();
  std::vector<INode*> listed;
  MemberChoice choice{
      Text(tarnis::kStrPanelRemoveObjects), Text(tarnis::kStrPanelRemoveButton), {}};
  for (int i = 0; i < pb->Count(tarnis::kLineSetObjects); ++i) {
    if (auto* node = dynamic_cast<INode*>(pb->GetReferenceTarget(tarnis::kLineSetObjects, 0, i))) {
      listed.push_back(node);
      choice.entries << QString::fromUtf8(node->GetName());
    }
  }
  const std::vector<int> chosen = TheMemberChooser()(choice, this);
  if (chosen.empty()) return;
  std::vector<INode*> removed;
  for (int row : chosen) {
    if (row >= 0 && row < static_cast<int>(listed.size())) removed.push_back(listed[size_t(row)]);
  }
  doc_.Edit([&] {
    set->RemoveNodes(removed);
    return !removed.empty();
  });
}

void LineEffectPanel::AddMaterials() {
  tarnis::LineSet* set = CurrentSet();
  if (!set) return;
  std::vector<Mtl*> used;
  for (host::HostNode* node : doc_.Scene().AllNodes()) CollectMaterials(node->GetMtl(), used);
  std::vector<Mtl*> offered;
  MemberChoice choice{Text(tarnis::kStrPanelAddMaterials), Text(tarnis::kStrPanelAddButton), {}};
  for (Mtl* mtl : used) {
    if (effect_->LineSetOfMaterial(mtl)) continue;
    offered.push_back(mtl);
    choice.entries << MemberText(mtl, mtl->GetName());
  }
  const std::vector<int> chosen = TheMemberChooser()(choice, this);
  if (chosen.empty()) return;
  doc_.Edit([&] {
    bool added = false;
    for (int row : chosen) {
      if (row < 0 || row >= static_cast<int>(offered.size())) continue;
      added |= set->MainBlock()->Append(
          tarnis::kLineSetMtls,
          PB2Value(static_cast<ReferenceTarget*>(offered[static_cast<size_t>(row)])));
    }
    return added;
  });
}

void LineEffectPanel::RemoveMaterials() {
  tarnis::LineSet* set = CurrentSet();
  if (!set) return;
  IParamBlock2* pb = set->MainBlock();
  std::vector<Mtl*> listed;
  MemberChoice choice{
      Text(tarnis::kStrPanelRemoveMaterials), Text(tarnis::kStrPanelRemoveButton), {}};
  for (int i = 0; i < pb->Count(tarnis::kLineSetMtls); ++i) {
    if (auto* mtl = dynamic_cast<Mtl*>(pb->GetReferenceTarget(tarnis::kLineSetMtls, 0, i))) {
      listed.push_back(mtl);
      choice.entries << MemberText(mtl, mtl->GetName());
    }
  }
  const std::vector<int> chosen = TheMemberChooser()(choice, this);
  if (chosen.empty()) return;
  std::vector<Mtl*> removed;
  for (int row : chosen) {
    if (row >= 0 && row < static_cast<int>(listed.size())) removed.push_back(listed[size_t(row)]);
  }
  doc_.Edit([&] {
    set->RemoveMaterials(removed);
    return !removed.empty();
  });
}

QMenu* LineEffectPanel::MakeSettingMenu(int slot) {
  auto* menu = new QMenu(this);
  tarnis::LineSet* set = CurrentSet();
  if (!set) return menu;
  tarnis::LineSetting* here = set->Setting(type_, slot);
  tarnis::SettingHolder* clipboard = tarnis::LineSettingClipboard();
  auto* copied =
      clipboard ? dynamic_cast<tarnis::LineSetting*>(clipboard->GetReference(0)) : nullptr;
  if (here && clipboard) {
    connect(menu->addAction(Text(tarnis::kStrPanelCopy)), &QAction::triggered, this,
            [clipboard, here] {
              // The clipboard is not part of the scene: no undo entry.
              HoldSuspend suspend;
              clipboard->ReplaceReference(0, here);
            });
  }
  if (copied) {
    connect(menu->addAction(Text(tarnis::kStrPanelPasteCopy)), &QAction::triggered, this,
            [this, slot, copied] {
              auto* clone = dynamic_cast<tarnis::LineSetting*>(CloneRefHierarchy(copied));
              if (clone) putSetting(slot, clone);
            });
  }
  if (copied && copied != here) {
    connect(menu->addAction(Text(tarnis::kStrPanelPasteInstance)), &QAction::triggered, this,
            [this, slot, copied] { putSetting(slot, copied); });
  }
  return menu;
}

void LineEffectPanel::putSetting(int slot, tarnis::LineSetting* setting) {
  tarnis::LineSet* set = CurrentSet();
  if (!set) return;
  doc_.Edit([&] {
    return set->ReplaceReference(tarnis::LineSetSettingRef(type_, slot), setting) == REF_SUCCEED;
  });
}

bool LineEffectPanel::AcceptsDrop(ReferenceTarget* dropped) const {
  return CurrentSet() && dynamic_cast<tarnis::LineSetting*>(dropped);
}

bool LineEffectPanel::DropOnSetting(int slot, ReferenceTarget* dropped) {
  if (!AcceptsDrop(dropped) || slot < 0 || slot >= tarnis::kSettingsPerType) return false;
  auto* setting = static_cast<tarnis::LineSetting*>(dropped);
  if (CurrentSet()->Setting(type_, slot) == setting) return false;
  putSetting(slot, setting);
  return true;
}

void LineEffectPanel::SaveLineSet() {
  tarnis::LineSet* set = CurrentSet();
  if (!set) return;
  const QString path = TheLineSetFileChooser()(true, this);
  if (path.isEmpty()) return;
  const tarnis::LineSetFileResult r = tarnis::WriteLineSetFile(set, path.toLocal8Bit().constData());
  message_->setText(r ? QString()
                      : QStringLiteral("%1: %2").arg(path, QString::fromStdString(r.problem)));
}

void LineEffectPanel::LoadLineSet() {
  tarnis::LineSet* set = CurrentSet();
  if (!set) return;
  const QString path = TheLineSetFileChooser()(false, this);
  if (path.isEmpty()) return;
  tarnis::LineSetFileResult r;
  doc_.Edit([&] {
    r = tarnis::ReadLineSetFile(set, path.toLocal8Bit().constData());
    return r.ok;
  });
  message_->setText(
      r ? QString()
        : QStringLiteral("%1: %2; %3")
              .arg(path, QString::fromStdString(r.problem), Text(tarnis::kStrLineSetLeftAsItWas)));
}

QString LineEffectPanel::MessageText() const {
  return message_->text();
}

}  // namespace studio
