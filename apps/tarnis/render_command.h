// `tarnis render`: renders a scene (the bundled demo when none is given) to
// image files, with a progress display, Ctrl-C to stop cleanly, and a
// one-line summary at the end (and, with --stats, where the time went).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tarnis_cli {

struct RenderOptions {
  std::string scene;   // empty: the bundled demo
  std::string output;  // empty: out/<scene stem>.png
  std::string frames;  // a frame list (frame_list.h); empty: the scene's frames
  std::string size;    // "WxH"; empty: the scene's
  std::optional<int> samples, threads;
  std::optional<int> bits;  // PNG only; unset: 8
  bool alpha = false;       // a transparent background, whatever the scene says
  bool quiet = false;       // no progress, notes or summary; warnings and errors still
  bool stats = false;       // stage times and peak memory after each frame and in total
  std::vector<std::string> plugins;
  std::string dumpEdges;  // SVG of the detected line pieces of each frame; empty: none
  // The frames cut into chunks of this many, each rendered as a part of the
  // whole sequence (the frames come out as in a render of the whole).
  std::optional<int> chunk;
  std::optional<std::string> task;  // render only this chunk (0-based); unset: every chunk in turn
  bool resume = false;  // leave out frames whose image is there already
};

// Exit codes: 0 done, 1 bad input or a failed render, 130 stopped by Ctrl-C.
int RunRender(const RenderOptions& options);

// "WxH" with both 1..16384; false with a message otherwise.
bool ParseSize(const std::string& text, int& width, int& height, std::string* error);

}  // namespace tarnis_cli
