// The floating editors of line settings: one window per setting, showing the
// setting's block and its brush's blocks, titled "setting / brush". The
// process keeps one list of them; an editor whose setting no line effect of
// the scene holds any more closes (the window keeps the setting referenced
// while it is open, so the check never reads a deleted object).
#pragma once

#include <QDialog>
#include <vector>

#include "apps/studio/studio_document.h"
#include "sdk/reference.h"

class QLineEdit;

namespace tarnis {
class LineSetting;
}

namespace studio {

class BlocksPanel;

class SettingEditor : public QDialog {
  Q_OBJECT
 public:
  // Opens the editor of `setting`, or brings its open one forward. The
  // editor floats over `owner` (it goes when `owner` goes).
  static SettingEditor* Open(StudioDocument& doc, tarnis::LineSetting* setting,
                             QWidget* owner = nullptr);
  // The editors open now, in opening order.
  static std::vector<SettingEditor*> OpenEditors();
  // Closes the editors of settings that no line set of any line effect of
  // the scene holds in a setting slot.
  static void CloseOrphans(host::Scene& scene);

  ~SettingEditor() override;
  tarnis::LineSetting* Setting() const;
  // "setting name / brush name".
  static QString TitleOf(tarnis::LineSetting* setting);

  // Renames the setting as the user does: one undo entry; every open
  // editor's title follows.
  void Rename(const QString& name);

 private:
  SettingEditor(StudioDocument& doc, tarnis::LineSetting* setting, QWidget* owner);
  void refresh();

  StudioDocument& doc_;
  ReferenceHolder setting_;
  QLineEdit* name_;
  BlocksPanel* settingBlocks_;
  BlocksPanel* brushBlocks_;
};

// True when some line set of some line effect in the scene holds `setting`
// in one of its setting slots.
bool SceneHoldsSetting(host::Scene& scene, tarnis::LineSetting* setting);

}  // namespace studio
