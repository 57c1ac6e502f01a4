// MainWindow: the studio's window. A tree of the scene (nodes, materials,
// render effects, render elements) on the left, the viewport in the middle,
// the panel of the selected object on the right (the line effect's own
// panel, or the generated controls of the object's blocks); File > Open,
// Save, Save As, and Edit > Undo, Redo.
#pragma once

#include <QMainWindow>

#include "apps/studio/studio_document.h"

class QAction;
class QScrollArea;
class QTreeWidget;
class QTreeWidgetItem;

namespace studio {

class LineEffectPanel;
class Viewport;

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  explicit MainWindow(StudioDocument& doc, QWidget* parent = nullptr);

  // Opens a scene; on failure the open scene stays and `error` says why.
  bool OpenFile(const QString& path, QString* error);
  Viewport* View() const { return viewport_; }
  QTreeWidget* Tree() const { return tree_; }
  // Shows the panel of `object` (a tree entry's object); false when the tree
  // does not list it.
  bool Select(ReferenceTarget* object);
  // The line effect panel on show, or null.
  LineEffectPanel* LinePanel() const;

 protected:
  // Offers to save unsaved changes first; cancelling keeps the window open.
  void closeEvent(QCloseEvent* event) override;

 private:
  // True when the scene may be dropped: nothing unsaved, or the user saved
  // or chose to discard it.
  bool maybeSave();
  void buildMenus();
  void rebuildTree();
  void showPanelOf(QTreeWidgetItem* item);
  void updateActions();
  void updateTitle();
  void openFromDialog();
  bool save();
  bool saveAs();

  StudioDocument& doc_;
  QTreeWidget* tree_;
  Viewport* viewport_;
  QScrollArea* inspector_;
  QAction* undo_ = nullptr;
  QAction* redo_ = nullptr;
};

}  // namespace studio
