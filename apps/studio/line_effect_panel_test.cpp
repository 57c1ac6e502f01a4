// The line effect panel driven as the user drives it: the list of line sets
// with its buttons and undo, the member dialogs' offers, the setting buttons'
// copy and paste menu, the editors that close with their line set, and the
// controls that depend on each other.
#include <QCheckBox>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QtTest>
#include <clocale>
#include <memory>

#include "apps/studio/line_effect_panel.h"
#include "apps/studio/member_dialog.h"
#include "apps/studio/param_map.h"
#include "apps/studio/setting_editor.h"
#include "apps/studio/studio_document.h"
#include "apps/studio/studio_test_scene.h"
#include "sdk/hold.h"
#include "tarnis/line/brush/brush.h"
#include "tarnis/line/effect/line_manager.h"
#include "tarnis/line/effect/line_set.h"
#include "tarnis/line/effect/line_setting.h"
#include "tarnis/line/effect/line_type_blocks.h"
#include "tarnis/resources/string_table.h"

namespace {

using studio::LineEffectPanel;

QString Text(int id) {
  return QString::fromUtf8(tarnis::GetString(id));
}

QStringList Items(const QListWidget* list) {
  QStringList out;
  for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
  return out;
}

QStringList ActionTexts(const QMenu* menu) {
  QStringList out;
  for (QAction* a : menu->actions()) out << a->text();
  return out;
}

QAction* ActionNamed(const QMenu* menu, const QString& text) {
  for (QAction* a : menu->actions()) {
    if (a->text() == text) return a;
  }
  return nullptr;
}

// The process's message language for one test (LANGUAGE picks the
// catalogue while LC_MESSAGES is not plain "C"; setting the locale again
// drops the translations gettext has cached).
class MessageLanguage {
 public:
  explicit MessageLanguage(const char* language) : old_(qgetenv("LANGUAGE")) {
    qputenv("LANGUAGE", language);
    std::setlocale(LC_MESSAGES, "C.UTF-8");
  }
  ~MessageLanguage() {
    qputenv("LANGUAGE", old_);
    std::setlocale(LC_MESSAGES, "C.UTF-8");
  }

 private:
  QByteArray old_;
};

class LineEffectPanelTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init() {
    doc_ = std::make_unique<studio::StudioDocument>();
    savedChooser_ = studio::TheMemberChooser();
  }
  void cleanup() {
    studio::TheMemberChooser() = savedChooser_;
    for (studio::SettingEditor* e : studio::SettingEditor::OpenEditors()) delete e;
    panel_.reset();
    doc_.reset();
  }

  void addingToAnEmptyListShowsSet1AndUndoRemovesIt() {
    auto* effect = new tarnis::LineManager;
    doc_->Scene().Effects().Append(effect);
    LineEffectPanel panel(*doc_, effect);
    QCOMPARE(panel.SetList()->count(), 0);
    QTest::mouseClick(panel.AddButton(), Qt::LeftButton);
    QCOMPARE(Items(panel.SetList()), QStringList{QStringLiteral("セット1")});
    QCOMPARE(QString::fromStdString(theHold.UndoName()), Text(tarnis::kStrParameterChange));
    QVERIFY(doc_->Undo());
    QCOMPARE(panel.SetList()->count(), 0);
    QCOMPARE(effect->NumLineSets(), 0);
    QVERIFY(doc_->Redo());
    QCOMPARE(Items(panel.SetList()), QStringList{QStringLiteral("セット1")});
  }

  void theJapaneseInterfaceShowsThePanelsTextsAndNamesTheUndoEntry() {
    MessageLanguage japanese("ja");
    auto* effect = new tarnis::LineManager;
    doc_->Scene().Effects().Append(effect);
    LineEffectPanel panel(*doc_, effect);
    QCOMPARE(panel.TypeTabs()->tabText(0), QStringLiteral("可視線"));
    QCOMPARE(panel.TypeTabs()->tabText(1), QStringLiteral("陰線"));
    QTest::mouseClick(panel.AddButton(), Qt::LeftButton);
    QCOMPARE(QString::fromStdString(theHold.UndoName()), QStringLiteral("パラメータ変更"));
    std::unique_ptr<QMenu> menu(panel.MakeSettingMenu(0));
    QCOMPARE(ActionTexts(menu.get()), QStringList{QStringLiteral("コピー")});
  }

  void upDownAndRemoveActOnEverySelectedSetAndTheSelectionFollows() {
    auto* effect = new tarnis::LineManager;
    doc_->Scene().Effects().Append(effect);
    LineEffectPanel panel(*doc_, effect);
    for (int i = 0; i < 3; ++i) QTest::mouseClick(panel.AddButton(), Qt::LeftButton);
    QCOMPARE(Items(panel.SetList()),
             (QStringList{QStringLiteral("セット1"), QStringLiteral("セット2"),
                          QStringLiteral("セット3")}));
    panel.SetList()->clearSelection();
    panel.SetList()->item(2)->setSelected(true);
    QTest::mouseClick(panel.UpButton(), Qt::LeftButton);
    QCOMPARE(Items(panel.SetList()),
             (QStringList{QStringLiteral("セット1"), QStringLiteral("セット3"),
                          QStringLiteral("セット2")}));
    QCOMPARE(panel.SetList()->selectedItems().size(), 1);
    QCOMPARE(panel.SetList()->selectedItems().front()->text(), QStringLiteral("セット3"));

    panel.SetList()->clearSelection();
    panel.SetList()->item(0)->setSelected(true);
    panel.SetList()->item(2)->setSelected(true);
    QTest::mouseClick(panel.RemoveButton(), Qt::LeftButton);
    QCOMPARE(Items(panel.SetList()), QStringList{QStringLiteral("セット3")});
    doc_->Undo();
    QCOMPARE(panel.SetList()->count(), 3);
  }

  void aNodeInOneLineSetIsNotOfferedToAnother() {
    QTemporaryDir dir;
    QString error;
    QVERIFY2(doc_->Open(studio_testing::WriteLineScene(dir), &error), qPrintable(error));
    auto* effect = dynamic_cast<tarnis::LineManager*>(doc_->Scene().Effects().Get(0));
    QVERIFY(effect);
    LineEffectPanel panel(*doc_, effect);
    QTest::mouseClick(panel.AddButton(), Qt::LeftButton);
    QCOMPARE(panel.CurrentSet(), effect->GetLineSet(1));

    studio::MemberChoice seen;
    studio::TheMemberChooser() = [&](const studio::MemberChoice& c, QWidget*) {
      seen = c;
      return std::vector<int>{};
    };
    const int entries = theHold.NumUndoEntries();
    panel.AddObjects();
    // BoxA belongs to the first set; the camera and the light are no geometry.
    QCOMPARE(seen.entries, QStringList{QStringLiteral("BoxB")});
    QCOMPARE(seen.title, Text(tarnis::kStrPanelAddObjects));
    QCOMPARE(seen.button, Text(tarnis::kStrPanelAddButton));
    // Cancelled: nothing changes, nothing to undo.
    QCOMPARE(theHold.NumUndoEntries(), entries);

    studio::TheMemberChooser() = [](const studio::MemberChoice&, QWidget*) {
      return std::vector<int>{0};
    };
    panel.AddObjects();
    QCOMPARE(Items(panel.ObjectList()), QStringList{QStringLiteral("BoxB")});
    // Now neither box is offered to either set.
    panel.SetList()->setCurrentRow(0);
    studio::TheMemberChooser() = [&](const studio::MemberChoice& c, QWidget*) {
      seen = c;
      return std::vector<int>{};
    };
    panel.AddObjects();
    QVERIFY(seen.entries.isEmpty());
    doc_->Undo();
    QVERIFY(!effect->GetLineSet(1)->ListsNode(doc_->Scene().FindNode("BoxB")));
  }

  void removeObjectsOffersOnlyTheSetsOwnNodes() {
    QTemporaryDir dir;
    QString error;
    QVERIFY2(doc_->Open(studio_testing::WriteLineScene(dir), &error), qPrintable(error));
    auto* effect = dynamic_cast<tarnis::LineManager*>(doc_->Scene().Effects().Get(0));
    LineEffectPanel panel(*doc_, effect);
    QCOMPARE(Items(panel.ObjectList()), QStringList{QStringLiteral("BoxA")});
    studio::MemberChoice seen;
    studio::TheMemberChooser() = [&](const studio::MemberChoice& c, QWidget*) {
      seen = c;
      return std::vector<int>{0};
    };
    panel.RemoveObjects();
    QCOMPARE(seen.entries, QStringList{QStringLiteral("BoxA")});
    QCOMPARE(seen.title, Text(tarnis::kStrPanelRemoveObjects));
    QVERIFY(panel.ObjectList()->count() == 0);
    doc_->Undo();
    QCOMPARE(Items(panel.ObjectList()), QStringList{QStringLiteral("BoxA")});
  }

  void pasteAsInstanceSharesTheSettingAndPasteAsCopyClonesIt() {
    QTemporaryDir dir;
    QString error;
    QVERIFY2(doc_->Open(studio_testing::WriteLineScene(dir), &error), qPrintable(error));
    auto* effect = dynamic_cast<tarnis::LineManager*>(doc_->Scene().Effects().Get(0));
    LineEffectPanel panel(*doc_, effect);
    tarnis::LineSet* set = panel.CurrentSet();
    QVERIFY(set);
    tarnis::LineSetting* first = set->Setting(1, 0);
    tarnis::LineSetting* second = set->Setting(1, 1);
    QVERIFY(first && second && first != second);

    std::unique_ptr<QMenu> menu(panel.MakeSettingMenu(0));
    QCOMPARE(ActionTexts(menu.get()), QStringList{Text(tarnis::kStrPanelCopy)});
    ActionNamed(menu.get(), Text(tarnis::kStrPanelCopy))->trigger();

    // The slot that holds the copied setting is offered no instance of itself.
    menu.reset(panel.MakeSettingMenu(0));
    QVERIFY(!ActionNamed(menu.get(), Text(tarnis::kStrPanelPasteInstance)));
    menu.reset(panel.MakeSettingMenu(1));
    QAction* instance = ActionNamed(menu.get(), Text(tarnis::kStrPanelPasteInstance));
    QVERIFY(instance);
    instance->trigger();
    QCOMPARE(set->Setting(1, 1), first);
    QCOMPARE(panel.SettingButton(1)->text(), panel.SettingButton(0)->text());
    // One object in two slots: an edit through one slot is seen through the other.
    doc_->Edit([&] { return set->Setting(1, 1)->Block()->SetValue(tarnis::kLineSize, 0, 7.0f); });
    QCOMPARE(set->Setting(1, 0)->Block()->GetFloat(tarnis::kLineSize), 7.0f);
    doc_->Undo();
    doc_->Undo();
    QCOMPARE(set->Setting(1, 1), second);

    menu.reset(panel.MakeSettingMenu(2));
    ActionNamed(menu.get(), Text(tarnis::kStrPanelPasteCopy))->trigger();
    tarnis::LineSetting* pasted = set->Setting(1, 2);
    QVERIFY(pasted && pasted != first);
    QCOMPARE(QString::fromUtf8(pasted->GetName()), QString::fromUtf8(first->GetName()));
    QCOMPARE(panel.SettingButton(2)->text(), QString::fromUtf8(first->GetName()));
  }

  void deletingALineSetClosesItsOpenEditor() {
    QTemporaryDir dir;
    QString error;
    QVERIFY2(doc_->Open(studio_testing::WriteLineScene(dir), &error), qPrintable(error));
    auto* effect = dynamic_cast<tarnis::LineManager*>(doc_->Scene().Effects().Get(0));
    LineEffectPanel panel(*doc_, effect);
    tarnis::LineSetting* setting = panel.CurrentSet()->Setting(1, 0);
    QTest::mouseClick(panel.SettingButton(0), Qt::LeftButton);
    QCOMPARE(studio::SettingEditor::OpenEditors().size(), size_t{1});
    studio::SettingEditor* editor = studio::SettingEditor::OpenEditors().front();
    QCOMPARE(editor->windowTitle(),
             QStringLiteral("%1 / %2").arg(QString::fromUtf8(setting->GetName()),
                                           QString::fromUtf8(setting->GetBrush()->GetName())));
    // A second click brings the same editor forward.
    QTest::mouseClick(panel.SettingButton(0), Qt::LeftButton);
    QCOMPARE(studio::SettingEditor::OpenEditors().size(), size_t{1});

    panel.SetList()->item(0)->setSelected(true);
    QTest::mouseClick(panel.RemoveButton(), Qt::LeftButton);
    QTRY_VERIFY(studio::SettingEditor::OpenEditors().empty());
  }

  void renamingInTheEditorIsOneUndoStepAndRetitlesIt() {
    QTemporaryDir dir;
    QString error;
    QVERIFY2(doc_->Open(studio_testing::WriteLineScene(dir), &error), qPrintable(error));
    auto* effect = dynamic_cast<tarnis::LineManager*>(doc_->Scene().Effects().Get(0));
    LineEffectPanel panel(*doc_, effect);
    tarnis::LineSetting* setting = panel.CurrentSet()->Setting(1, 0);
    const QString before = QString::fromUtf8(setting->GetName());
    studio::SettingEditor* editor = studio::SettingEditor::Open(*doc_, setting);
    editor->Rename(QStringLiteral("Ink"));
    QVERIFY(editor->windowTitle().startsWith(QStringLiteral("Ink / ")));
    QCOMPARE(panel.SettingButton(0)->text(), QStringLiteral("Ink"));
    doc_->Undo();
    QCOMPARE(QString::fromUtf8(setting->GetName()), before);
    QVERIFY(editor->windowTitle().startsWith(before + QStringLiteral(" / ")));
  }

  void wireEdgesDisableTheCreaseAnglesAndTheTabsShowTheLineTypes() {
    QTemporaryDir dir;
    QString error;
    QVERIFY2(doc_->Open(studio_testing::WriteLineScene(dir), &error), qPrintable(error));
    auto* effect = dynamic_cast<tarnis::LineManager*>(doc_->Scene().Effects().Get(0));
    LineEffectPanel panel(*doc_, effect);
    QCOMPARE(panel.TypeTabs()->tabText(0), Text(tarnis::kStrPanelVisibleLines));
    QCOMPARE(panel.TypeTabs()->tabText(1), Text(tarnis::kStrPanelHiddenLines));
    QVERIFY(panel.TypeMap());
    auto* wire = qobject_cast<QCheckBox*>(panel.TypeMap()->Control(tarnis::kTypeEdgeNormalWire));
    QVERIFY(wire);
    QVERIFY(panel.TypeMap()->Control(tarnis::kTypeEdgeNormalMin)->isEnabled());
    wire->click();
    QVERIFY(!panel.TypeMap()->Control(tarnis::kTypeEdgeNormalMin)->isEnabled());
    QVERIFY(!panel.TypeMap()->Control(tarnis::kTypeEdgeNormalMax)->isEnabled());

    // The hidden tab shows the hidden type's block.
    panel.TypeTabs()->setCurrentIndex(1);
    QCOMPARE(panel.CurrentType(), 2);
    QCOMPARE(panel.TypeMap()->Block(), panel.CurrentSet()->TypeBlock(2));
    QVERIFY(panel.TypeMap()->Control(tarnis::kTypeEdgeNormalMin)->isEnabled());
  }

  void aDroppedSettingIsSharedAndADroppedBrushIsRefused() {
    LineEffectPanel& panel = openPanel();
    tarnis::LineSet* set = panel.CurrentSet();
    tarnis::LineSetting* first = set->Setting(1, 0);
    tarnis::LineSetting* fourth = set->Setting(1, 3);
    const int entries = theHold.NumUndoEntries();
    QVERIFY(!panel.AcceptsDrop(first->GetBrush()));
    QVERIFY(!panel.DropOnSetting(3, first->GetBrush()));
    QCOMPARE(set->Setting(1, 3), fourth);
    QCOMPARE(theHold.NumUndoEntries(), entries);
    QVERIFY(panel.DropOnSetting(3, first));
    QCOMPARE(set->Setting(1, 3), first);
    QCOMPARE(panel.SettingButton(3)->text(), panel.SettingButton(0)->text());
    doc_->Undo();
    QCOMPARE(set->Setting(1, 3), fourth);
  }

  void aLineSetFileWrittenAndReadBackRestoresTheSetAndABadOneChangesNothing() {
    LineEffectPanel& panel = openPanel();
    IParamBlock2* type = panel.CurrentSet()->TypeBlock(1);
    QTemporaryDir files;
    const QString path = files.filePath(QStringLiteral("look.tln"));
    studio::TheLineSetFileChooser() = [&](bool, QWidget*) { return path; };
    panel.SaveLineSet();
    QCOMPARE(panel.MessageText(), QString());
    doc_->Edit([&] { return type->SetValue(tarnis::kTypeLineSize, 0, 9.0f); });
    panel.LoadLineSet();
    QCOMPARE(panel.MessageText(), QString());
    QCOMPARE(type->GetFloat(tarnis::kTypeLineSize), 2.0f);
    doc_->Undo();
    QCOMPARE(type->GetFloat(tarnis::kTypeLineSize), 9.0f);

    const QString bad = files.filePath(QStringLiteral("bad.tln"));
    QFile f(bad);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("[Params]\nNumInstance=99999999\n");
    f.close();
    studio::TheLineSetFileChooser() = [&](bool, QWidget*) { return bad; };
    const int entries = theHold.NumUndoEntries();
    panel.LoadLineSet();
    QVERIFY2(panel.MessageText().startsWith(bad + QStringLiteral(": ")),
             qPrintable(panel.MessageText()));
    QCOMPARE(type->GetFloat(tarnis::kTypeLineSize), 9.0f);
    QCOMPARE(theHold.NumUndoEntries(), entries);
    studio::TheLineSetFileChooser() = savedFileChooser_;
  }

 private:
  // The panel of the line scene's effect, its first line set current.
  LineEffectPanel& openPanel() {
    QString error;
    if (!doc_->Open(studio_testing::WriteLineScene(sceneDir_), &error))
      qFatal("%s", qPrintable(error));
    auto* effect = dynamic_cast<tarnis::LineManager*>(doc_->Scene().Effects().Get(0));
    panel_ = std::make_unique<LineEffectPanel>(*doc_, effect);
    return *panel_;
  }

  QTemporaryDir sceneDir_;
  std::unique_ptr<LineEffectPanel> panel_;
  studio::LineSetFileChooser savedFileChooser_ = studio::TheLineSetFileChooser();
  std::unique_ptr<studio::StudioDocument> doc_;
  studio::MemberChooser savedChooser_;
};

}  // namespace

std::unique_ptr<QObject> MakeLineEffectPanelTest() {
  return std::make_unique<LineEffectPanelTest>();
}

#include "line_effect_panel_test.moc"
