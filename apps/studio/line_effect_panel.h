// LineEffectPanel: the line effect's panel. The effect's own block, the size
// type, the list of line sets (several may be selected) with add, remove, up
// and down; for the current line set its main block, its member objects and
// materials with the dialogs that add and remove them, the tabs of the
// visible and hidden line types, the six setting buttons of the shown type
// (a click opens the setting's editor, the context menu copies and pastes
// settings through the line-setting clipboard), the type's block with the
// sixteen blend modes, and the type's depth block. Every change is one undo
// entry, made through the line effect's and line set's own operations.
#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <vector>

#include "apps/studio/studio_document.h"
#include "sdk/reference.h"

class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class QRadioButton;
class QTabBar;
class QVBoxLayout;

namespace tarnis {
class LineManager;
class LineSet;
class LineSetting;
}  // namespace tarnis

namespace studio {

class ParamMap;

class LineEffectPanel : public QWidget {
  Q_OBJECT
 public:
  LineEffectPanel(StudioDocument& doc, tarnis::LineManager* effect, QWidget* parent = nullptr);

  tarnis::LineManager* Effect() const { return effect_; }
  // The current line set (null when none is selected) and line type (1 visible, 2 hidden).
  tarnis::LineSet* CurrentSet() const;
  int CurrentType() const { return type_; }

  // The controls, for the main window's layout and for tests.
  QListWidget* SetList() const { return setList_; }
  QPushButton* AddButton() const { return addButton_; }
  QPushButton* RemoveButton() const { return removeButton_; }
  QPushButton* UpButton() const { return upButton_; }
  QPushButton* DownButton() const { return downButton_; }
  QTabBar* TypeTabs() const { return typeTabs_; }
  QListWidget* ObjectList() const { return objectList_; }
  QListWidget* MaterialList() const { return materialList_; }
  QPushButton* SettingButton(int slot) const { return settingButtons_[static_cast<size_t>(slot)]; }
  // The type block's controls of the shown type (null before a set is shown).
  ParamMap* TypeMap() const { return typeMap_; }

  // The member dialogs, as their buttons open them.
  void AddObjects();
  void RemoveObjects();
  void AddMaterials();
  void RemoveMaterials();
  // The context menu of setting button `slot` (0..5) of the shown type: what
  // the user is offered, with actions that act when triggered.
  QMenu* MakeSettingMenu(int slot);
  // A setting dropped on setting button `slot`: the slot takes it (shared,
  // not copied) as one undo entry. Anything else (a brush) is refused and
  // changes nothing; so is a drop while no line set is current.
  bool AcceptsDrop(ReferenceTarget* dropped) const;
  bool DropOnSetting(int slot, ReferenceTarget* dropped);
  // The line-set file buttons: the current set is written to, or read from
  // (one undo entry), the file the chooser names. A failure is shown in the
  // panel's message line, naming the file; the set is left as it was.
  void SaveLineSet();
  void LoadLineSet();
  QString MessageText() const;

  // Reads the effect again: list, members, buttons and controls.
  void Refresh();

 private:
  void buildListSection(QVBoxLayout* layout);
  void buildSetSection(QVBoxLayout* layout);
  void showCurrentSet();
  void repairSettingSlots();
  void refreshMembers();
  void refreshSettingButtons();
  std::vector<int> selectedRows() const;
  void selectSets(const std::vector<tarnis::LineSet*>& sets);
  void addSet();
  void removeSets();
  void moveSets(bool towardsEnd);
  void putSetting(int slot, tarnis::LineSetting* setting);

  StudioDocument& doc_;
  tarnis::LineManager* effect_;
  int current_ = -1;
  int type_ = 1;
  // The set whose controls are shown, kept alive while they are.
  ReferenceHolder shownSet_;
  int shownType_ = 0;

  ParamMap* mainMap_ = nullptr;
  std::array<QRadioButton*, 2> sizeType_ = {};
  QListWidget* setList_ = nullptr;
  QPushButton* addButton_ = nullptr;
  QPushButton* removeButton_ = nullptr;
  QPushButton* upButton_ = nullptr;
  QPushButton* downButton_ = nullptr;
  QWidget* setSection_ = nullptr;
  QVBoxLayout* setMaps_ = nullptr;
  ParamMap* setMainMap_ = nullptr;
  QListWidget* objectList_ = nullptr;
  QListWidget* materialList_ = nullptr;
  QTabBar* typeTabs_ = nullptr;
  std::array<QPushButton*, 6> settingButtons_ = {};
  QVBoxLayout* typeMaps_ = nullptr;
  QVBoxLayout* depthMaps_ = nullptr;
  ParamMap* typeMap_ = nullptr;
  ParamMap* depthMap_ = nullptr;
  QLabel* message_ = nullptr;
  bool refreshing_ = false;
};

// How the line-set file buttons ask for a file (`save`: a file to write);
// an empty answer is a cancel. Tests replace it.
using LineSetFileChooser = std::function<QString(bool save, QWidget* parent)>;
LineSetFileChooser& TheLineSetFileChooser();

// What a member list shows for an object: "name ( class )", or the name
// alone for line settings and brushes.
QString MemberText(ReferenceTarget* object, const char* name);

}  // namespace studio
