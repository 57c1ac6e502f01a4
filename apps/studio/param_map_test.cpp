// The generated controls of a block: what the user changes reaches the block
// as one undo entry, undo brings the value and the control back, values
// stay in the parameter's range, and the controls show the block's state.
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>
#include <memory>

#include "apps/studio/param_map.h"
#include "apps/studio/studio_document.h"
#include "host/maps.h"
#include "sdk/hold.h"
#include "tarnis/line/effect/line_manager.h"
#include "tarnis/line/effect/line_set.h"
#include "tarnis/resources/string_table.h"

namespace {

using studio::ParamMap;

class ParamMapTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init() {
    doc_ = std::make_unique<studio::StudioDocument>();
    effect_.Set(new tarnis::LineManager);
    block_ = effect_.GetAs<tarnis::LineManager>()->MainBlock();
  }
  void cleanup() {
    theHold.Reset();
    effect_.Release();
    doc_.reset();
  }

  void spinnerStepIsOneUndoEntryAndUndoRestoresTheControl() {
    ParamMap map(*doc_, block_);
    auto* spin = map.findChild<QSpinBox*>(QStringLiteral("overSampling"));
    QVERIFY(spin);
    QCOMPARE(spin->value(), 2);
    const int entries = theHold.NumUndoEntries();
    QTest::keyClick(spin, Qt::Key_Up);
    QCOMPARE(block_->GetInt(tarnis::kLineOverSampling), 3);
    QCOMPARE(theHold.NumUndoEntries(), entries + 1);
    QCOMPARE(QString::fromStdString(theHold.UndoName()),
             QString::fromUtf8(tarnis::GetString(tarnis::kStrParameterChange)));
    QVERIFY(doc_->Undo());
    QCOMPARE(block_->GetInt(tarnis::kLineOverSampling), 2);
    QCOMPARE(spin->value(), 2);
    QVERIFY(doc_->Redo());
    QCOMPARE(spin->value(), 3);
  }

  void spinnersKeepToTheRangeAndStepOfTheParameter() {
    ParamMap map(*doc_, block_);
    auto* spin = map.findChild<QSpinBox*>(QStringLiteral("overSampling"));
    QVERIFY(spin);
    QCOMPARE(spin->minimum(), 1);
    QCOMPARE(spin->maximum(), 4);
    // Typed past the end: the control stops at the range's end.
    spin->selectAll();
    QTest::keyClicks(spin, QStringLiteral("9"));
    QTest::keyClick(spin, Qt::Key_Return);
    QVERIFY(block_->GetInt(tarnis::kLineOverSampling) <= 4);
    // A value from elsewhere past the range is clamped by the block and shown so.
    QVERIFY(map.SetByUser(tarnis::kLineOverSampling, PB2Value(9)));
    QCOMPARE(block_->GetInt(tarnis::kLineOverSampling), 4);
    QCOMPARE(spin->value(), 4);

    auto* aa = map.findChild<QDoubleSpinBox*>(QStringLiteral("antiAliasSize"));
    QVERIFY(aa);
    const float before = block_->GetFloat(tarnis::kLineAntiAliasSize);
    QTest::keyClick(aa, Qt::Key_Up);
    QVERIFY(std::abs(block_->GetFloat(tarnis::kLineAntiAliasSize) - (before + 0.001f)) < 1e-5f);
    QCOMPARE(aa->maximum(), 2.0);
  }

  void checkBoxFollowsTheBlockThroughUndo() {
    ParamMap map(*doc_, block_);
    auto* box = map.findChild<QCheckBox*>(QStringLiteral("rndAuto"));
    QVERIFY(box);
    QVERIFY(!box->isChecked());
    box->click();
    QCOMPARE(block_->GetInt(tarnis::kLineRndAuto), 1);
    doc_->Undo();
    QCOMPARE(block_->GetInt(tarnis::kLineRndAuto), 0);
    QVERIFY(!box->isChecked());
  }

  void controlsOfParametersWithoutOneAreLeftOut() {
    ParamMap map(*doc_, block_);
    // The size type is chosen by the line effect's panel, not by a control here.
    QVERIFY(!map.Control(tarnis::kLineLineSizeType));
    QVERIFY(map.Control(tarnis::kLineSeed));
  }

  void mapButtonShowsMWhileAMapIsSetAndClearsIt() {
    ReferenceHolder set(new tarnis::LineSet);
    IParamBlock2* type = set.GetAs<tarnis::LineSet>()->TypeBlock(1);
    ParamMap map(*doc_, type);
    auto* button = qobject_cast<QPushButton*>(map.Control(tarnis::kTypeLineMap));
    QVERIFY(button);
    QCOMPARE(button->text(), QString());
    doc_->Edit([&] { return type->SetValue(tarnis::kTypeLineMap, 0, new host::Checker); });
    QCOMPARE(button->text(), QStringLiteral("M"));
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(!type->GetReferenceTarget(tarnis::kTypeLineMap));
    QCOMPARE(button->text(), QString());
    doc_->Undo();
    QCOMPARE(button->text(), QStringLiteral("M"));
  }

  void colourSwatchSetsTheChosenColourAndCancelChangesNothing() {
    ReferenceHolder set(new tarnis::LineSet);
    IParamBlock2* type = set.GetAs<tarnis::LineSet>()->TypeBlock(1);
    ParamMap map(*doc_, type);
    auto* swatch = qobject_cast<QPushButton*>(map.Control(tarnis::kTypeLineColor));
    QVERIFY(swatch);
    auto saved = ParamMap::ColorChooser();
    const int entries = theHold.NumUndoEntries();
    ParamMap::ColorChooser() = [](const QColor&, QWidget*) { return QColor(); };
    QTest::mouseClick(swatch, Qt::LeftButton);
    QCOMPARE(theHold.NumUndoEntries(), entries);
    ParamMap::ColorChooser() = [](const QColor&, QWidget*) { return QColor(255, 0, 0); };
    QTest::mouseClick(swatch, Qt::LeftButton);
    ParamMap::ColorChooser() = saved;
    const Color c = type->GetColor(tarnis::kTypeLineColor);
    QCOMPARE(c.r, 1.0f);
    QCOMPARE(c.g, 0.0f);
    QCOMPARE(theHold.NumUndoEntries(), entries + 1);
    QCOMPARE(swatch->property("swatchColor").value<QColor>(), QColor(255, 0, 0));
  }

 private:
  std::unique_ptr<studio::StudioDocument> doc_;
  ReferenceHolder effect_;
  IParamBlock2* block_ = nullptr;
};

}  // namespace

std::unique_ptr<QObject> MakeParamMapTest() {
  return std::make_unique<ParamMapTest>();
}

#include "param_map_test.moc"
