// StudioDocument: the scene the studio edits, where it came from, and the
// one path every edit takes. An edit first stops a running render (the
// renderer reads the scene from another thread), then runs inside one undo
// entry named "Parameter change" (in Japanese "パラメータ変更"), then tells
// the panels and the viewport. Undo and redo take the same path.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/scene.h"

namespace studio {

class StudioDocument : public QObject {
  Q_OBJECT
 public:
  // Starts the session (studio_session.h) and holds an empty scene.
  explicit StudioDocument(QObject* parent = nullptr);
  ~StudioDocument() override;

  host::Scene& Scene() const { return *scene_; }
  // The file the scene was opened from or last saved to; empty for a new one.
  const QString& Path() const { return path_; }
  bool Modified() const { return modified_; }

  // Opens a scene description (*.json) or a saved scene (*.tscene). On
  // failure the open scene stays as it was and `error` names the file and
  // the problem. Warnings of the load are appended to `warnings`.
  bool Open(const QString& path, QString* error, std::vector<std::string>* warnings = nullptr);
  // Writes the scene as a saved scene (*.tscene) at `path` (a temporary file
  // is renamed over it, so a failed save keeps the old file).
  bool SaveAs(const QString& path, QString* error);

  // The time panels show and edit: the current frame in ticks.
  TimeValue Time() const;
  int Frame() const { return frame_; }
  void SetFrame(int frame);

  // Runs `change` as one undo entry "Parameter change"; an entry without
  // records is not kept. Answers what `change` answered; false cancels the
  // entry (what it changed is put back).
  bool Edit(const std::function<bool()>& change);
  bool Undo();
  bool Redo();

 Q_SIGNALS:
  // Before anything in the scene changes: whoever reads it elsewhere stops.
  void AboutToChange();
  // After an edit, an undo or a redo.
  void Changed();
  // A new scene replaced the old one (the old one is gone).
  void SceneReplaced();
  void FrameChanged(int frame);

 private:
  void Replace(std::unique_ptr<host::Scene> scene, const QString& path);

  std::unique_ptr<host::Scene> scene_;
  QString path_;
  bool modified_ = false;
  int frame_ = 0;
};

}  // namespace studio
