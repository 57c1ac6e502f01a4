// The viewport and the main window with real renders of a small scene: an
// edit in a panel changes the next picture, an edit during a render stops it
// and the picture that follows has the edit, and a scene saved and opened
// again renders exactly what the studio showed.
#include <QCheckBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "apps/studio/line_effect_panel.h"
#include "apps/studio/main_window.h"
#include "apps/studio/param_map.h"
#include "apps/studio/studio_document.h"
#include "apps/studio/studio_test_scene.h"
#include "apps/studio/viewport.h"
#include "sdk/hold.h"
#include "tarnis/line/effect/line_manager.h"
#include "tarnis/line/effect/line_set.h"
#include "tarnis/line/effect/line_type_blocks.h"

namespace {

using studio_testing::DarkPixels;

constexpr int kRenderWaitMs = 120000;

class ViewportTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init() {
    doc_ = std::make_unique<studio::StudioDocument>();
    window_ = std::make_unique<studio::MainWindow>(*doc_);
    window_->View()->SetRenderDelay(0);
  }
  void cleanup() {
    window_.reset();
    doc_.reset();
  }

  void anEditInThePanelChangesTheNextRender() {
    openLineScene();
    const QImage before = waitForImage();
    QVERIFY2(DarkPixels(before) > 20, "the first set's lines are drawn");
    studio::LineEffectPanel* panel = window_->LinePanel();
    QVERIFY(panel);
    // Switching the line set off, as the user does in its block.
    auto* enable = panel->findChild<QCheckBox*>(QStringLiteral("enable"));
    QVERIFY(enable);
    QVERIFY(enable->isChecked());
    enable->click();
    const QImage after = waitForImage();
    QVERIFY2(DarkPixels(after) * 4 < DarkPixels(before), "the lines are gone");
    doc_->Undo();
    const QImage again = waitForImage();
    QCOMPARE(again, before);
  }

  void anEditDuringARenderStopsItAndTheNextPictureHasTheEdit() {
    openLineScene();
    const QImage before = waitForImage();
    auto* effect = dynamic_cast<tarnis::LineManager*>(doc_->Scene().Effects().Get(0));
    QSignalSpy ended(window_->View(), &studio::Viewport::RenderEnded);
    window_->View()->Render();
    QVERIFY(window_->View()->Rendering());
    doc_->Edit([&] {
      return effect->GetLineSet(0)->MainBlock()->SetValue(tarnis::kLineSetEnable, 0, false);
    });
    QVERIFY(!window_->View()->Rendering());
    QCOMPARE(ended.count(), 1);
    QCOMPARE(ended.front().front().toBool(), false);
    const QImage after = waitForImage();
    QVERIFY(DarkPixels(after) * 4 < DarkPixels(before));
  }

  void aSceneSavedAndOpenedAgainRendersWhatTheStudioShowed() {
    openLineScene();
    waitForImage();
    auto* effect = dynamic_cast<tarnis::LineManager*>(doc_->Scene().Effects().Get(0));
    doc_->Edit([&] {
      return effect->GetLineSet(0)->TypeBlock(1)->SetValue(tarnis::kTypeLineSize, 0, 4.0f);
    });
    const QImage shown = waitForImage();
    const QString saved = dir_.filePath(QStringLiteral("edited.tscene"));
    QString error;
    QVERIFY2(doc_->SaveAs(saved, &error), qPrintable(error));
    QVERIFY2(window_->OpenFile(saved, &error), qPrintable(error));
    QVERIFY(window_->LinePanel());
    const QImage reopened = waitForImage();
    QCOMPARE(reopened, shown);
  }

  void aSceneThatCannotBeReadLeavesTheOpenOneAndSaysWhy() {
    openLineScene();
    const QString bad = dir_.filePath(QStringLiteral("broken.json"));
    QFile f(bad);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("{\"tarnis\": 1, \"nodes\": [");
    f.close();
    QString error;
    QVERIFY(!window_->OpenFile(bad, &error));
    QVERIFY2(error.contains(QStringLiteral("broken.json")), qPrintable(error));
    QVERIFY(doc_->Scene().FindNode("BoxA"));
  }

  void saveImageWritesTheShownPictureAndRefusesBeforeTheFirst() {
    QString error;
    const QString path = dir_.filePath(QStringLiteral("shot.png"));
    QVERIFY(!window_->View()->SaveImage(path, &error));
    QVERIFY(!error.isEmpty());
    openLineScene();
    const QImage shown = waitForImage();
    QVERIFY2(window_->View()->SaveImage(path, &error), qPrintable(error));
    QImage read(path);
    QCOMPARE(read.size(), QSize(64, 48));
    QCOMPARE(read.convertToFormat(QImage::Format_RGBA8888), shown);
  }

 private:
  void openLineScene() {
    QString error;
    QVERIFY2(window_->OpenFile(studio_testing::WriteLineScene(dir_), &error), qPrintable(error));
  }

  // The picture of the next render that finishes.
  QImage waitForImage() {
    QSignalSpy ended(window_->View(), &studio::Viewport::RenderEnded);
    for (;;) {
      if (!ended.wait(kRenderWaitMs)) {
        qWarning("no render finished in time");
        return {};
      }
      if (ended.last().front().toBool()) return window_->View()->Image();
    }
  }

  std::unique_ptr<studio::StudioDocument> doc_;
  std::unique_ptr<studio::MainWindow> window_;
  QTemporaryDir dir_;
};

}  // namespace

std::unique_ptr<QObject> MakeViewportTest() {
  return std::make_unique<ViewportTest>();
}

#include "viewport_test.moc"
