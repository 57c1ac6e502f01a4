// tarnis-studio [SCENE] [--screenshot FILE]: the editor of Tarnis scenes.
#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <cstdio>

#include "apps/studio/main_window.h"
#include "apps/studio/studio_document.h"
#include "apps/studio/studio_session.h"
#include "apps/studio/viewport.h"

namespace {

void PrintError(const QString& message) {
  std::fprintf(stderr, "tarnis-studio: %s\n", message.toLocal8Bit().constData());
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("tarnis-studio"));
  QApplication::setApplicationVersion(QStringLiteral(TARNIS_VERSION));

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Edits Tarnis scenes with a live render."));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument(QStringLiteral("scene"),
                               QStringLiteral("A scene description (*.json) or saved scene "
                                              "(*.tscene) to open."));
  QCommandLineOption screenshot(
      QStringLiteral("screenshot"),
      QStringLiteral("Render the first frame, write a picture of the window to FILE and quit."),
      QStringLiteral("FILE"));
  parser.addOption(screenshot);
  parser.process(app);
  const QStringList scenes = parser.positionalArguments();
  if (scenes.size() > 1) {
    PrintError(QStringLiteral("give one scene, not %1").arg(scenes.size()));
    return 1;
  }

  int status = 0;
  {
    studio::StudioDocument doc;
    studio::MainWindow window(doc);
    if (!scenes.isEmpty()) {
      QString error;
      if (!window.OpenFile(scenes.front(), &error)) {
        PrintError(error);
        return 1;
      }
    }
    window.show();
    if (parser.isSet(screenshot)) {
      const QString path = parser.value(screenshot);
      QObject::connect(
          window.View(), &studio::Viewport::RenderEnded, &app,
          [&](bool finished, const QString& message) {
            if (!finished) {
              PrintError(message.isEmpty() ? QStringLiteral("the render stopped") : message);
              QApplication::exit(1);
              return;
            }
            if (!window.grab().save(path)) {
              PrintError(QStringLiteral("%1: the picture could not be written").arg(path));
              QApplication::exit(1);
              return;
            }
            QApplication::exit(0);
          });
      window.View()->Render();
    }
    status = QApplication::exec();
  }
  studio::EndSession();
  return status;
}
