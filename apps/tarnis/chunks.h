// Cutting a sequence into chunks for rendering on many machines: each chunk
// renders as a part of the whole sequence (host::SequencePart), so its
// frames are those of a render of the whole, and frames whose image is
// already there can be left out to resume a chunk that stopped.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "host/renderer.h"

namespace tarnis_cli {

// `frames` (ascending) cut into runs of `size` frames, the last one shorter
// when they do not divide evenly. Nothing for a size below 1.
std::vector<std::vector<int>> SplitIntoChunks(const std::vector<int>& frames, int size);

// The part of `sequence` that renders `chunk` (frames of the sequence),
// leaving out those for which `done` answers true. `rendered` of the part is
// all false when nothing is left to render.
host::SequencePart ChunkPart(const std::vector<int>& sequence, const std::vector<int>& chunk,
                             const std::function<bool(int frame)>& done);

// The array task a farm job's task id names: a whole number 0..chunks-1;
// false with a message otherwise.
bool ParseTask(const std::string& text, int chunks, int& task, std::string* error);

}  // namespace tarnis_cli
