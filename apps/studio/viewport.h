// Viewport: the current frame rendered by the host's renderer on a worker
// thread, shown when done, with the progress the host and the line engine
// report. An edit re-renders after a short pause; an edit that arrives while
// a render runs cancels it through the host's cancel flag first (the render
// thread reads the scene, so it must stop before the scene changes).
// Buttons: render, cancel, save image; a frame slider for animated scenes.
#pragma once

#include <QImage>
#include <QWidget>
#include <atomic>
#include <memory>
#include <thread>

#include "apps/studio/studio_document.h"
#include "host/renderer.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QSlider;
class QTimer;

namespace studio {

// An 8-bit copy of a rendered bitmap.
QImage ToQImage(const Bitmap& bitmap);

class Viewport : public QWidget {
  Q_OBJECT
 public:
  explicit Viewport(StudioDocument& doc, QWidget* parent = nullptr);
  ~Viewport() override;

  // The last image finished (null before the first).
  const QImage& Image() const { return image_; }
  bool Rendering() const { return worker_.joinable(); }
  // Starts a render of the current frame, stopping one that runs.
  void Render();
  // Stops a running render and waits for its thread; the image stays.
  void Cancel();
  // Writes the image (PNG, by the name's extension for others Qt knows).
  bool SaveImage(const QString& path, QString* error) const;
  // Milliseconds between the last edit and the render it starts.
  void SetRenderDelay(int ms);

 Q_SIGNALS:
  // A render ended: `finished` false when it was cancelled or failed
  // (`message` says why for a failure).
  void RenderEnded(bool finished, const QString& message);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void renderDone(int generation, bool finished, const QImage& image, const QString& message);
  void progress(int percent, const QString& title, bool done);
  void sceneReplaced();
  void showImage();

  StudioDocument& doc_;
  QLabel* picture_;
  QLabel* status_;
  QProgressBar* bar_;
  QPushButton* renderButton_;
  QPushButton* cancelButton_;
  QPushButton* saveButton_;
  QSlider* frameSlider_;
  QTimer* pending_;
  QImage image_;
  std::thread worker_;
  // Renders are numbered; the result of one that was superseded is dropped.
  std::atomic<int> generation_{0};
};

}  // namespace studio
