#include "apps/studio/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScrollArea>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <algorithm>

#include "apps/studio/line_effect_panel.h"
#include "apps/studio/param_map.h"
#include "apps/studio/setting_editor.h"
#include "apps/studio/viewport.h"
#include "sdk/hold.h"
#include "tarnis/line/effect/line_manager.h"

namespace studio {

namespace {

constexpr int kObjectRole = Qt::UserRole + 1;
const char* const kSceneFilter = "Scenes (*.json *.tscene);;All files (*)";

ReferenceTarget* ObjectOf(QTreeWidgetItem* item) {
  return item ? static_cast<ReferenceTarget*>(item->data(0, kObjectRole).value<void*>()) : nullptr;
}

QTreeWidgetItem* AddEntry(QTreeWidgetItem* parent, const QString& text, ReferenceTarget* object) {
  auto* item = new QTreeWidgetItem(parent, QStringList{text});
  item->setData(0, kObjectRole, QVariant::fromValue(static_cast<void*>(object)));
  return item;
}

QString NameOf(ReferenceTarget* object) {
  if (auto* mtl = dynamic_cast<MtlBase*>(object)) return QString::fromUtf8(mtl->GetName());
  if (auto* effect = dynamic_cast<Effect*>(object))
    return QString::fromUtf8(effect->GetName().data());
  CStr s;
  object->GetClassName(s);
  return QString::fromUtf8(s.data());
}

template <class F>
QAction* AddAction(QMenu* menu, const QString& text, const QKeySequence& shortcut,
                   QObject* receiver, F slot) {
  QAction* action = menu->addAction(text);
  action->setShortcut(shortcut);
  QObject::connect(action, &QAction::triggered, receiver, slot);
  return action;
}

void AddNodes(QTreeWidgetItem* parent, INode* node) {
  for (int i = 0; i < node->NumberOfChildren(); ++i) {
    INode* child = node->GetChildNode(i);
    AddNodes(AddEntry(parent, QString::fromUtf8(child->GetName()), child), child);
  }
}

}  // namespace

MainWindow::MainWindow(StudioDocument& doc, QWidget* parent) : QMainWindow(parent), doc_(doc) {
  viewport_ = new Viewport(doc_, this);
  setCentralWidget(viewport_);

  tree_ = new QTreeWidget(this);
  tree_->setHeaderHidden(true);
  auto* treeDock = new QDockWidget(tr("Scene"), this);
  treeDock->setObjectName(QStringLiteral("sceneDock"));
  treeDock->setWidget(tree_);
  addDockWidget(Qt::LeftDockWidgetArea, treeDock);

  inspector_ = new QScrollArea(this);
  inspector_->setWidgetResizable(true);
  inspector_->setMinimumWidth(380);
  auto* panelDock = new QDockWidget(tr("Parameters"), this);
  panelDock->setObjectName(QStringLiteral("panelDock"));
  panelDock->setWidget(inspector_);
  addDockWidget(Qt::RightDockWidgetArea, panelDock);

  buildMenus();
  connect(tree_, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* item) { showPanelOf(item); });
  connect(&doc_, &StudioDocument::SceneReplaced, this, [this] {
    rebuildTree();
    updateTitle();
    updateActions();
  });
  connect(&doc_, &StudioDocument::Changed, this, [this] {
    SettingEditor::CloseOrphans(doc_.Scene());
    updateActions();
    updateTitle();
  });
  rebuildTree();
  updateTitle();
  updateActions();
  resize(1280, 800);
}

void MainWindow::buildMenus() {
  QMenu* file = menuBar()->addMenu(tr("&File"));
  AddAction(file, tr("&Open..."), QKeySequence::Open, this, [this] { openFromDialog(); });
  AddAction(file, tr("&Save"), QKeySequence::Save, this, [this] { save(); });
  AddAction(file, tr("Save &As..."), QKeySequence::SaveAs, this, [this] { saveAs(); });
  file->addSeparator();
  AddAction(file, tr("&Quit"), QKeySequence::Quit, this, [this] { close(); });
  QMenu* edit = menuBar()->addMenu(tr("&Edit"));
  undo_ = AddAction(edit, tr("&Undo"), QKeySequence::Undo, this, [this] { doc_.Undo(); });
  redo_ = AddAction(edit, tr("&Redo"), QKeySequence::Redo, this, [this] { doc_.Redo(); });
}

bool MainWindow::OpenFile(const QString& path, QString* error) {
  std::vector<std::string> warnings;
  if (!doc_.Open(path, error, &warnings)) return false;
  for (const std::string& w : warnings) qWarning("%s", w.c_str());
  // The line effect is what this editor is mostly for: show it first.
  host::RefList& effects = doc_.Scene().Effects();
  for (int i = 0; i < effects.Count(); ++i) {
    if (dynamic_cast<tarnis::LineManager*>(effects.Get(i))) {
      Select(effects.Get(i));
      break;
    }
  }
  return true;
}

void MainWindow::rebuildTree() {
  inspector_->setWidget(new QWidget);
  tree_->clear();
  host::Scene& scene = doc_.Scene();
  auto* nodes = new QTreeWidgetItem(tree_, QStringList{tr("Nodes")});
  AddNodes(nodes, scene.Root());
  auto* materials = new QTreeWidgetItem(tree_, QStringList{tr("Materials")});
  std::vector<ReferenceTarget*> seen;
  auto addMaterial = [&](ReferenceTarget* m) {
    if (!m || std::find(seen.begin(), seen.end(), m) != seen.end()) return;
    seen.push_back(m);
    AddEntry(materials, NameOf(m), m);
  };
  for (int i = 0; i < scene.Library().Count(); ++i) addMaterial(scene.Library().Get(i));
  for (host::HostNode* node : scene.AllNodes()) addMaterial(node->GetMtl());
  auto* effects = new QTreeWidgetItem(tree_, QStringList{tr("Render effects")});
  for (int i = 0; i < scene.Effects().Count(); ++i) {
    AddEntry(effects, NameOf(scene.Effects().Get(i)), scene.Effects().Get(i));
  }
  auto* elements = new QTreeWidgetItem(tree_, QStringList{tr("Render elements")});
  for (int i = 0; i < scene.Elements().Count(); ++i) {
    AddEntry(elements, NameOf(scene.Elements().Get(i)), scene.Elements().Get(i));
  }
  tree_->expandAll();
}

bool MainWindow::Select(ReferenceTarget* object) {
  for (QTreeWidgetItemIterator it(tree_); *it; ++it) {
    if (ObjectOf(*it) == object) {
      tree_->setCurrentItem(*it);
      return true;
    }
  }
  return false;
}

LineEffectPanel* MainWindow::LinePanel() const {
  return qobject_cast<LineEffectPanel*>(inspector_->widget());
}

void MainWindow::showPanelOf(QTreeWidgetItem* item) {
  ReferenceTarget* object = ObjectOf(item);
  // A node shows its material's controls.
  if (auto* node = dynamic_cast<INode*>(object)) object = node->GetMtl();
  QWidget* panel = nullptr;
  if (auto* lines = dynamic_cast<tarnis::LineManager*>(object)) {
    panel = new LineEffectPanel(doc_, lines);
  } else if (object) {
    panel = new BlocksPanel(doc_, object);
  } else {
    panel = new QWidget;
  }
  inspector_->setWidget(panel);
}

void MainWindow::updateActions() {
  undo_->setEnabled(theHold.CanUndo());
  redo_->setEnabled(theHold.CanRedo());
  undo_->setText(theHold.CanUndo() ? tr("&Undo %1").arg(QString::fromStdString(theHold.UndoName()))
                                   : tr("&Undo"));
  redo_->setText(theHold.CanRedo() ? tr("&Redo %1").arg(QString::fromStdString(theHold.RedoName()))
                                   : tr("&Redo"));
}

void MainWindow::updateTitle() {
  const QString name = doc_.Path().isEmpty() ? tr("Untitled") : QFileInfo(doc_.Path()).fileName();
  setWindowTitle(QStringLiteral("%1%2 - Tarnis Studio").arg(name, doc_.Modified() ? "*" : ""));
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (maybeSave()) {
    event->accept();
  } else {
    event->ignore();
  }
}

bool MainWindow::maybeSave() {
  if (!doc_.Modified()) return true;
  const auto answer = QMessageBox::warning(
      this, QStringLiteral("Tarnis"), tr("The scene has changes that are not saved."),
      QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
  if (answer == QMessageBox::Save) return save();
  return answer == QMessageBox::Discard;
}

void MainWindow::openFromDialog() {
  if (!maybeSave()) return;
  const QString path =
      QFileDialog::getOpenFileName(this, tr("Open scene"), QString(), tr(kSceneFilter));
  if (path.isEmpty()) return;
  QString error;
  if (!OpenFile(path, &error)) QMessageBox::warning(this, QStringLiteral("Tarnis"), error);
}

bool MainWindow::save() {
  // A scene description is the user's own text: it is never overwritten by a saved scene.
  if (!doc_.Path().endsWith(QStringLiteral(".tscene"))) return saveAs();
  QString error;
  if (!doc_.SaveAs(doc_.Path(), &error)) {
    QMessageBox::warning(this, QStringLiteral("Tarnis"), error);
    return false;
  }
  updateTitle();
  return true;
}

bool MainWindow::saveAs() {
  QString path = QFileDialog::getSaveFileName(this, tr("Save scene"), QString(),
                                              tr("Saved scenes (*.tscene)"));
  if (path.isEmpty()) return false;
  if (!path.endsWith(QStringLiteral(".tscene"))) path += QStringLiteral(".tscene");
  QString error;
  if (!doc_.SaveAs(path, &error)) {
    QMessageBox::warning(this, QStringLiteral("Tarnis"), error);
    return false;
  }
  updateTitle();
  return true;
}

}  // namespace studio
