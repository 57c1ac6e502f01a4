// What the saved-scene fuzz targets share: writing a seed scene for the
// corpus when asked, and loading one input.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "host/scene_file.h"
#include "sdk/atomic_file.h"

namespace fuzz {

// With TARNIS_FUZZ_WRITE_SEED=PATH set, writes the scene `make` builds to
// PATH as a saved scene and exits (0 when written).
template <class Make>
void WriteSeedIfAsked(Make make) {
  const char* seed = std::getenv("TARNIS_FUZZ_WRITE_SEED");
  if (!seed) return;
  std::vector<uint8_t> bytes;
  std::string error;
  std::unique_ptr<host::Scene> scene = make();
  const bool ok =
      host::SerializeScene(*scene, bytes, &error) && WriteFileAtomically(seed, bytes, &error);
  std::exit(ok ? 0 : 1);
}

// Loads the bytes as a saved scene and drops it; a refusal must say why.
inline void LoadInput(const uint8_t* data, size_t size) {
  std::vector<std::string> warnings;
  std::string error;
  auto scene = host::DeserializeScene({data, size}, "input", &warnings, &error);
  if (!scene && error.empty()) std::abort();
}

}  // namespace fuzz
