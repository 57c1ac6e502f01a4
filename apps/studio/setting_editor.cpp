#include "apps/studio/setting_editor.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>

#include "apps/studio/param_map.h"
#include "sdk/hold.h"
#include "tarnis/line/brush/brush.h"
#include "tarnis/line/effect/line_manager.h"
#include "tarnis/line/effect/line_set.h"
#include "tarnis/line/effect/line_setting.h"

namespace studio {

namespace {

std::vector<SettingEditor*>& Editors() {
  static std::vector<SettingEditor*> editors;
  return editors;
}

// A rename of a setting or brush: undo gives the old name back, redo the new.
// The record keeps the object alive as long as it may be undone.
class NameChange : public RestoreObj {
 public:
  NameChange(MtlBase* object, std::string before, std::string after)
      : object_(object), before_(std::move(before)), after_(std::move(after)) {}
  void Restore(int) override { object_.GetAs<MtlBase>()->SetName(before_.c_str()); }
  void Redo() override { object_.GetAs<MtlBase>()->SetName(after_.c_str()); }
  CStr Description() override { return "NameChange"; }

 private:
  ReferenceHolder object_;
  std::string before_, after_;
};

QString NameOf(MtlBase* object) {
  return object ? QString::fromUtf8(object->GetName()) : QString();
}

}  // namespace

bool SceneHoldsSetting(host::Scene& scene, tarnis::LineSetting* setting) {
  host::RefList& effects = scene.Effects();
  for (int e = 0; e < effects.Count(); ++e) {
    auto* manager = dynamic_cast<tarnis::LineManager*>(effects.Get(e));
    if (!manager) continue;
    for (int i = 0; i < manager->NumLineSets(); ++i) {
      tarnis::LineSet* set = manager->GetLineSet(i);
      if (!set) continue;
      for (int ref = 0; ref < tarnis::kSettingHolderSlots; ++ref) {
        if (set->GetReference(tarnis::kLineSetFirstSettingRef + ref) == setting) return true;
      }
    }
  }
  return false;
}

SettingEditor* SettingEditor::Open(StudioDocument& doc, tarnis::LineSetting* setting,
                                   QWidget* owner) {
  for (SettingEditor* e : Editors()) {
    if (e->Setting() == setting) {
      e->raise();
      e->activateWindow();
      return e;
    }
  }
  auto* editor = new SettingEditor(doc, setting, owner);
  editor->show();
  return editor;
}

std::vector<SettingEditor*> SettingEditor::OpenEditors() {
  return Editors();
}

void SettingEditor::CloseOrphans(host::Scene& scene) {
  for (SettingEditor* e : Editors()) {
    if (!SceneHoldsSetting(scene, e->Setting())) e->close();
  }
}

SettingEditor::SettingEditor(StudioDocument& doc, tarnis::LineSetting* setting, QWidget* owner)
    : QDialog(owner), doc_(doc), setting_(setting) {
  setAttribute(Qt::WA_DeleteOnClose);
  setModal(false);
  auto* content = new QWidget;
  auto* layout = new QVBoxLayout(content);
  auto* form = new QFormLayout;
  name_ = new QLineEdit(content);
  name_->setObjectName(QStringLiteral("settingName"));
  form->addRow(tr("Name"), name_);
  layout->addLayout(form);
  settingBlocks_ = new BlocksPanel(doc, setting, content);
  layout->addWidget(settingBlocks_);
  layout->addWidget(new QLabel(tr("Brush"), content));
  brushBlocks_ = new BlocksPanel(doc, setting->GetBrush(), content);
  layout->addWidget(brushBlocks_);
  auto* scroll = new QScrollArea(this);
  scroll->setWidget(content);
  scroll->setWidgetResizable(true);
  auto* outer = new QVBoxLayout(this);
  outer->addWidget(scroll);
  resize(420, 560);

  connect(name_, &QLineEdit::editingFinished, this, [this] { Rename(name_->text()); });
  connect(&doc_, &StudioDocument::Changed, this, [this] {
    if (!SceneHoldsSetting(doc_.Scene(), Setting())) {
      close();
    } else {
      refresh();
    }
  });
  // A new scene leaves every editor of the old one without its object.
  connect(&doc_, &StudioDocument::SceneReplaced, this, &QDialog::close);
  Editors().push_back(this);
  refresh();
}

SettingEditor::~SettingEditor() {
  auto& editors = Editors();
  editors.erase(std::remove(editors.begin(), editors.end(), this), editors.end());
}

tarnis::LineSetting* SettingEditor::Setting() const {
  return setting_.GetAs<tarnis::LineSetting>();
}

QString SettingEditor::TitleOf(tarnis::LineSetting* setting) {
  return QStringLiteral("%1 / %2").arg(NameOf(setting), NameOf(setting->GetBrush()));
}

void SettingEditor::Rename(const QString& name) {
  tarnis::LineSetting* setting = Setting();
  const std::string before = setting->GetName();
  const std::string after = name.toStdString();
  if (before == after) return;
  doc_.Edit([&] {
    setting->SetName(after.c_str());
    theHold.Put(std::make_unique<NameChange>(setting, before, after));
    return true;
  });
}

void SettingEditor::refresh() {
  tarnis::LineSetting* setting = Setting();
  setWindowTitle(TitleOf(setting));
  if (!name_->hasFocus()) name_->setText(NameOf(setting));
  settingBlocks_->Refresh();
  brushBlocks_->Refresh();
}

}  // namespace studio
