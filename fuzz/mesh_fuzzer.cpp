// Feeds arbitrary bytes to mesh import the way the program meets a mesh
// file: the first byte picks the file's extension (and so the reader), the
// rest are the file. The mesh library runs in a reader process, so its own
// faults end as errors here; what this process does (our OBJ reader and
// scan, the checks of the reader's answer, the mesh it builds) must hold for every
// input. The same bytes are also given to the answer check directly. With
// TARNIS_FUZZ_WRITE_SEED=DIR set, writes one small valid file per format to
// DIR and exits.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/mesh_import.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kExtensions[] = {".obj", ".ply", ".stl", ".off", ".gltf", ".dae",
                                       ".fbx", ".3ds", ".glb", ".x",   ".ase",  ".smd"};
constexpr size_t kNumExtensions = sizeof kExtensions / sizeof kExtensions[0];

struct Seed {
  unsigned char extension;
  const char* text;
};
const Seed kSeeds[] = {
    {0,
     "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0\nvn 0 0 1\ns 1\nusemtl A\n"
     "f 1/1/1 2/1/1 3/1/1 4/1/1\nusemtl B\nf 1 3 4\n"},
    {1,
     "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
     "property float z\nelement face 1\nproperty list uchar int vertex_indices\nend_header\n"
     "0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n"},
    {2,
     "solid t\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\n"
     "endloop\nendfacet\nendsolid t\n"},
    {3, "OFF\n4 1 0\n0 0 0\n1 0 0\n1 1 0\n0 1 0\n4 0 1 2 3\n"},
    {0,
     "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 -1e-1\nvn 0 0 1\ns 1\ng A\nusemtl A\n"
     "f 1//1 2//1 3//1 4//1\no B\nusemtl B\nf -4//-1 -3//-1 -2//-1\n"},
};

std::string gDir;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (const char* seeds = std::getenv("TARNIS_FUZZ_WRITE_SEED")) {
    bool ok = true;
    for (size_t i = 0; i < sizeof kSeeds / sizeof kSeeds[0]; ++i) {
      const Seed& s = kSeeds[i];
      std::ofstream out(
          fs::path(seeds) / ("seed" + std::to_string(i) + kExtensions[s.extension]),
          std::ios::binary);
      out << static_cast<char>(s.extension) << s.text;
      ok = ok && static_cast<bool>(out);
    }
    std::exit(ok ? 0 : 1);
  }
  std::string pattern = (fs::temp_directory_path() / "tarnis-mesh-fuzz-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) std::abort();
  gDir = pattern;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string path = gDir + "/input" + kExtensions[data[0] % kNumExtensions];
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
  }
  Mesh mesh;
  std::string error;
  std::vector<std::string> warnings;
  if (!host::ImportMesh(path, host::MeshImportOptions(), mesh, &error, &warnings) && error.empty())
    std::abort();
  std::string why;
  if (!host::ReadMeshAnswer({reinterpret_cast<const char*>(data), size}, mesh, &why) && why.empty())
    std::abort();
  return 0;
}
