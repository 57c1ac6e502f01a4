// Mesh benchmarks: building a sphere of about a million triangles, building
// its smoothing-group normals, and importing a large OBJ file.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

#include "host/mesh_import.h"
#include "host/primitives.h"

namespace {

host::PrimitiveParams BigSphere() {
  host::PrimitiveParams p;
  p.type = "sphere";
  p.radius = 1.0f;
  p.segments = 1024;  // 1024 around, 512 bands: 1,046,528 triangles
  return p;
}

void BM_BuildSphere(benchmark::State& state) {
  Mesh m;
  std::string error;
  for (auto _ : state) {
    if (!host::MakePrimitive(BigSphere(), m, &error)) state.SkipWithError(error.c_str());
    benchmark::DoNotOptimize(m.faces.data());
  }
  state.SetItemsProcessed(state.iterations() * m.getNumFaces());
  state.counters["faces"] = m.getNumFaces();
}
BENCHMARK(BM_BuildSphere)->Unit(benchmark::kMillisecond);

void BM_BuildNormals(benchmark::State& state) {
  Mesh m;
  std::string error;
  if (!host::MakePrimitive(BigSphere(), m, &error)) state.SkipWithError(error.c_str());
  for (auto _ : state) {
    m.buildNormals();
    benchmark::DoNotOptimize(m.Normals().data());
  }
  state.SetItemsProcessed(state.iterations() * m.getNumFaces());
}
BENCHMARK(BM_BuildNormals)->Unit(benchmark::kMillisecond);

// A 256 x 256 grid of quads with no smoothing statements, so groups are
// derived from the fold angles.
void BM_ImportObjGrid(benchmark::State& state) {
  const int n = 256;
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / "tarnis_bench_grid.obj";
  {
    std::ofstream out(path);
    for (int i = 0; i <= n; ++i) {
      for (int j = 0; j <= n; ++j) out << "v " << i << " " << j << " " << (i * j % 7) * 0.1 << "\n";
    }
    for (int i = 0; i < n; ++i) {
      for (int j = 0; j < n; ++j) {
        const int a = i * (n + 1) + j + 1;
        out << "f " << a << " " << a + n + 1 << " " << a + n + 2 << " " << a + 1 << "\n";
      }
    }
  }
  Mesh m;
  std::string error;
  for (auto _ : state) {
    if (!host::ImportMesh(path.string(), host::MeshImportOptions(), m, &error))
      state.SkipWithError(error.c_str());
  }
  state.SetItemsProcessed(state.iterations() * n * n);  // polygons
  std::filesystem::remove(path);
}
BENCHMARK(BM_ImportObjGrid)->Unit(benchmark::kMillisecond);

}  // namespace
