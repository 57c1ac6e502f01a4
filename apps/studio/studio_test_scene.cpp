#include "apps/studio/studio_test_scene.h"

#include <QFile>

namespace studio_testing {

QString LineSceneJson() {
  return QStringLiteral(R"({
  "tarnis": 1,
  "render": {"width": 64, "height": 48, "frames": [0, 0], "samples": 1, "threads": 2},
  "environment": {"background": [1, 1, 1], "ambient": [0.6, 0.6, 0.6]},
  "camera": {"type": "perspective", "position": [6, -8, 5], "target": [0, 0, 0.5],
             "up": [0, 0, 1], "fov": 45},
  "lights": [{"name": "Key", "type": "directional", "position": [5, -5, 10], "target": [0, 0, 0],
              "color": [1, 1, 1], "multiplier": 0.4}],
  "materials": [{"name": "Grey", "class": "Standard", "params": {"diffuse": [0.9, 0.9, 0.9]}}],
  "nodes": [
    {"name": "BoxA", "mesh": {"primitive": "box", "size": [2, 2, 2]}, "position": [-1.5, 0, 1],
     "material": "Grey"},
    {"name": "BoxB", "mesh": {"primitive": "box", "size": [2, 2, 2]}, "position": [1.5, 0, 1],
     "material": "Grey"}
  ],
  "effects": [
    {"class": "Tarnis_Line",
     "refs": {"1": {"class": "Tarnis_LineSet",
                    "params": {"main": {"objects": ["BoxA"]},
                               "type1": {"lineSize1": 2.0}}}}}
  ]
})");
}

QString WriteLineScene(const QTemporaryDir& dir) {
  const QString path = dir.filePath(QStringLiteral("lines.json"));
  QFile f(path);
  if (f.open(QIODevice::WriteOnly)) f.write(LineSceneJson().toUtf8());
  return path;
}

int DarkPixels(const QImage& image, int level) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c.red() < level && c.green() < level && c.blue() < level) ++n;
    }
  }
  return n;
}

}  // namespace studio_testing
