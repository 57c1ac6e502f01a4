#include "apps/studio/studio_document.h"

#include <filesystem>

#include "apps/studio/studio_session.h"
#include "host/scene_file.h"
#include "host/scene_loader.h"
#include "sdk/hold.h"
#include "sdk/interval.h"
#include "tarnis/resources/string_table.h"

namespace studio {

StudioDocument::StudioDocument(QObject* parent) : QObject(parent) {
  // The classes are registered before the first scene is made.
  Session();
  scene_ = std::make_unique<host::Scene>();
  Session().SetScene(scene_.get());
}

StudioDocument::~StudioDocument() {
  // Undo records may point into the scene; they go before it does.
  theHold.Reset();
  if (Session().GetScene() == scene_.get()) Session().SetScene(nullptr);
}

bool StudioDocument::Open(const QString& path, QString* error, std::vector<std::string>* warnings) {
  const std::string file = path.toStdString();
  std::string message;
  std::vector<std::string> messages;
  Q_EMIT AboutToChange();
  std::unique_ptr<host::Scene> scene = std::filesystem::path(file).extension() == ".tscene"
                                           ? host::OpenSceneFile(file, &messages, &message)
                                           : host::LoadSceneFile(file, &messages, &message);
  if (warnings) warnings->insert(warnings->end(), messages.begin(), messages.end());
  if (!scene) {
    if (error) *error = QString::fromStdString(message);
    return false;
  }
  Replace(std::move(scene), path);
  return true;
}

void StudioDocument::Replace(std::unique_ptr<host::Scene> scene, const QString& path) {
  // The history belongs to the old scene.
  theHold.Reset();
  Session().SetScene(scene.get());
  scene_ = std::move(scene);
  path_ = path;
  modified_ = false;
  frame_ = scene_->render.firstFrame;
  Session().SetTime(Time());
  Q_EMIT SceneReplaced();
}

bool StudioDocument::SaveAs(const QString& path, QString* error) {
  std::string message;
  Q_EMIT AboutToChange();
  if (!host::SaveSceneFile(*scene_, path.toStdString(), &message)) {
    if (error) *error = QString::fromStdString(message);
    return false;
  }
  path_ = path;
  modified_ = false;
  return true;
}

TimeValue StudioDocument::Time() const {
  return static_cast<TimeValue>(frame_) * GetTicksPerFrame();
}

void StudioDocument::SetFrame(int frame) {
  if (frame == frame_) return;
  Q_EMIT AboutToChange();
  frame_ = frame;
  Session().SetTime(Time());
  Q_EMIT FrameChanged(frame);
}

bool StudioDocument::Edit(const std::function<bool()>& change) {
  Q_EMIT AboutToChange();
  theHold.Begin();
  const bool done = change();
  if (done) {
    theHold.Accept(tarnis::GetString(tarnis::kStrParameterChange));
    modified_ = true;
  } else {
    theHold.Cancel();
  }
  Q_EMIT Changed();
  return done;
}

bool StudioDocument::Undo() {
  Q_EMIT AboutToChange();
  const bool done = theHold.Undo();
  if (done) modified_ = true;
  Q_EMIT Changed();
  return done;
}

bool StudioDocument::Redo() {
  Q_EMIT AboutToChange();
  const bool done = theHold.Redo();
  if (done) modified_ = true;
  Q_EMIT Changed();
  return done;
}

}  // namespace studio
