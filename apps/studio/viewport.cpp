#include "apps/studio/viewport.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include "apps/studio/studio_session.h"

namespace studio {

namespace {

constexpr int kDefaultRenderDelayMs = 150;

// Keeps the frame of a render in memory.
class KeepFrame : public host::FrameSink {
 public:
  bool WriteFrame(const host::FrameResult& frame, std::string*) override {
    image = ToQImage(frame.image);
    return true;
  }
  QImage image;
};

uchar To8Bit(uint16_t v) {
  return static_cast<uchar>((static_cast<unsigned>(v) * 255u + 32767u) / 65535u);
}

}  // namespace

QImage ToQImage(const Bitmap& bitmap) {
  QImage out(bitmap.Width(), bitmap.Height(), QImage::Format_RGBA8888);
  for (int y = 0; y < bitmap.Height(); ++y) {
    const BMM_Color_64* row = bitmap.Row(y);
    uchar* dst = out.scanLine(y);
    for (int x = 0; x < bitmap.Width(); ++x) {
      dst[4 * x + 0] = To8Bit(row[x].r);
      dst[4 * x + 1] = To8Bit(row[x].g);
      dst[4 * x + 2] = To8Bit(row[x].b);
      dst[4 * x + 3] = To8Bit(row[x].a);
    }
  }
  return out;
}

Viewport::Viewport(StudioDocument& doc, QWidget* parent) : QWidget(parent), doc_(doc) {
  picture_ = new QLabel(this);
  picture_->setAlignment(Qt::AlignCenter);
  picture_->setMinimumSize(160, 120);
  // The picture is scaled to the label, never the label to the picture.
  picture_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  status_ = new QLabel(this);
  bar_ = new QProgressBar(this);
  bar_->setRange(0, 100);
  renderButton_ = new QPushButton(tr("Render"), this);
  cancelButton_ = new QPushButton(tr("Cancel"), this);
  saveButton_ = new QPushButton(tr("Save image..."), this);
  frameSlider_ = new QSlider(Qt::Horizontal, this);
  pending_ = new QTimer(this);
  pending_->setSingleShot(true);
  pending_->setInterval(kDefaultRenderDelayMs);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(renderButton_);
  buttons->addWidget(cancelButton_);
  buttons->addWidget(saveButton_);
  buttons->addWidget(frameSlider_, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(picture_, 1);
  layout->addLayout(buttons);
  layout->addWidget(bar_);
  layout->addWidget(status_);

  connect(renderButton_, &QPushButton::clicked, this, &Viewport::Render);
  connect(cancelButton_, &QPushButton::clicked, this, &Viewport::Cancel);
  connect(saveButton_, &QPushButton::clicked, this, [this] {
    const QString path =
        QFileDialog::getSaveFileName(this, tr("Save image"), QString(), tr("PNG images (*.png)"));
    QString error;
    if (!path.isEmpty() && !SaveImage(path, &error)) {
      QMessageBox::warning(this, QStringLiteral("Tarnis"), error);
    }
  });
  connect(frameSlider_, &QSlider::valueChanged, this, [this](int f) { doc_.SetFrame(f); });
  connect(pending_, &QTimer::timeout, this, &Viewport::Render);
  // The scene must not change under a running render: stop it first.
  connect(&doc_, &StudioDocument::AboutToChange, this, &Viewport::Cancel);
  connect(&doc_, &StudioDocument::Changed, pending_, qOverload<>(&QTimer::start));
  connect(&doc_, &StudioDocument::FrameChanged, pending_, qOverload<>(&QTimer::start));
  connect(&doc_, &StudioDocument::SceneReplaced, this, &Viewport::sceneReplaced);

  Session().SetProgressListener([this](int percent, const std::string& title, bool done) {
    QMetaObject::invokeMethod(
        this,
        [this, percent, t = QString::fromStdString(title), done] { progress(percent, t, done); },
        Qt::QueuedConnection);
  });
  sceneReplaced();
}

Viewport::~Viewport() {
  Session().SetProgressListener(nullptr);
  Cancel();
}

void Viewport::SetRenderDelay(int ms) {
  pending_->setInterval(ms);
}

void Viewport::sceneReplaced() {
  const host::RenderSettings& s = doc_.Scene().render;
  frameSlider_->blockSignals(true);
  frameSlider_->setRange(s.firstFrame, s.lastFrame);
  frameSlider_->setValue(doc_.Frame());
  frameSlider_->blockSignals(false);
  frameSlider_->setVisible(s.lastFrame > s.firstFrame);
  pending_->start();
}

void Viewport::Render() {
  Cancel();
  pending_->stop();
  const int generation = ++generation_;
  Session().SetCancel(false);
  host::Scene* scene = &doc_.Scene();
  const host::RenderSettings settings = scene->render;
  const int frame = doc_.Frame();
  status_->setText(tr("Rendering frame %1...").arg(frame));
  bar_->setValue(0);
  cancelButton_->setEnabled(true);
  worker_ = std::thread([this, scene, settings, frame, generation] {
    KeepFrame sink;
    const host::RenderReport report = host::RenderFrames(*scene, settings, {frame}, sink);
    const bool finished = report.status == host::RenderStatus::kDone;
    const QString message = report.status == host::RenderStatus::kFailed
                                ? QString::fromStdString(report.error)
                                : QString();
    QMetaObject::invokeMethod(
        this,
        [this, generation, finished, image = std::move(sink.image), message] {
          renderDone(generation, finished, image, message);
        },
        Qt::QueuedConnection);
  });
}

void Viewport::Cancel() {
  if (!worker_.joinable()) return;
  Session().SetCancel(true);
  worker_.join();
  Session().SetCancel(false);
  // A render stopped here never shows its picture.
  ++generation_;
  status_->setText(tr("Render stopped"));
  cancelButton_->setEnabled(false);
  Q_EMIT RenderEnded(false, QString());
}

void Viewport::renderDone(int generation, bool finished, const QImage& image,
                          const QString& message) {
  if (generation != generation_.load()) return;
  if (worker_.joinable()) worker_.join();
  cancelButton_->setEnabled(false);
  bar_->setValue(finished ? 100 : 0);
  if (finished) {
    image_ = image;
    showImage();
    status_->setText(tr("Frame %1").arg(doc_.Frame()));
  } else {
    status_->setText(message.isEmpty() ? tr("Render stopped") : message);
  }
  Q_EMIT RenderEnded(finished, message);
}

void Viewport::progress(int percent, const QString& title, bool done) {
  if (!worker_.joinable()) return;
  bar_->setValue(done ? 100 : percent);
  if (!title.isEmpty()) status_->setText(title);
}

void Viewport::showImage() {
  if (image_.isNull()) return;
  // Shown whole: scaled down to the space there is, never up.
  const QSize room = picture_->contentsRect().size();
  QImage shown = image_;
  if (image_.width() > room.width() || image_.height() > room.height()) {
    shown = image_.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  }
  picture_->setPixmap(QPixmap::fromImage(shown));
}

void Viewport::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  showImage();
}

bool Viewport::SaveImage(const QString& path, QString* error) const {
  if (image_.isNull()) {
    if (error) *error = tr("There is no rendered image to save yet.");
    return false;
  }
  if (!image_.save(path)) {
    if (error) *error = tr("%1: the image could not be written").arg(path);
    return false;
  }
  return true;
}

}  // namespace studio
