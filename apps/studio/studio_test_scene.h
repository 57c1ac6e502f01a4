// What the studio's tests share: a small scene with a camera, a light, two
// boxes, a toon-free standard material, and a line effect whose one line
// set lists the first box, written to a temporary folder and opened as the
// user opens files; and the colour counts the render checks look at.
#pragma once

#include <QImage>
#include <QString>
#include <QTemporaryDir>

namespace studio {
class StudioDocument;
}

namespace studio_testing {

// The scene description's text (64 x 48 pixels, one sample per pixel).
QString LineSceneJson();
// Writes LineSceneJson() into `dir` and answers the file's path.
QString WriteLineScene(const QTemporaryDir& dir);
// The number of pixels darker than `level` (0..255) in every channel.
int DarkPixels(const QImage& image, int level = 60);

}  // namespace studio_testing
