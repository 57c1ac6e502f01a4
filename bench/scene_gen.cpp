// Writes the large scenes `make bench-scenes` renders: three scene
// descriptions of about the same triangle count, each with a camera, a key
// light and a line effect drawing visible and hidden lines of every edge kind.
//
//   knot     one dense, smooth torus knot (an OBJ file) striped with two
//            materials and two smoothing groups;
//   boxes    a field of flat-shaded boxes, one node each, cutting into each
//            other in several layers;
//   spheres  overlapping smooth spheres (one node each) and coarse
//            flat-shaded ones (an OBJ file) over a floor of boxes.
//
// `scene_gen TRIANGLES DIR` writes the scenes, their mesh files and
// DIR/scenes.txt (a line `NAME TRIANGLES` per scene). The output depends only
// on the arguments: the random numbers are our own and every number is
// printed with a fixed number of decimals.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr long long kMinTriangles = 1000, kMaxTriangles = 100000000;
constexpr int kBoxTriangles = 12;
constexpr int kSmoothSphereAround = 48;  // a primitive sphere of n segments has n (n - 2) triangles
constexpr int kFlatSphereAround = 12;
constexpr int kFlatSphereBands = kFlatSphereAround / 2;

// splitmix64: the same numbers on every platform, unlike std's distributions.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  double Uniform(double lo, double hi) {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return lo + (hi - lo) * static_cast<double>(z >> 11) / static_cast<double>(1ull << 53);
  }

 private:
  uint64_t state_;
};

struct Vec {
  double x, y, z;
};
Vec operator+(Vec a, Vec b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Vec operator*(Vec a, double s) {
  return {a.x * s, a.y * s, a.z * s};
}
Vec Cross(Vec a, Vec b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec Normalize(Vec a) {
  return a * (1.0 / std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z));
}

std::string Num(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.4f", v);
  // "-0.0000" and "0.0000" are the same number; print it one way.
  return std::string(buf) == "-0.0000" ? "0.0000" : buf;
}

std::string Triple(Vec v) {
  return "[" + Num(v.x) + ", " + Num(v.y) + ", " + Num(v.z) + "]";
}

// An OBJ file written a line at a time; vertices are numbered from 1.
class ObjWriter {
 public:
  explicit ObjWriter(const std::filesystem::path& path) : out_(path, std::ios::binary) {
    out_ << "mtllib bench.mtl\n";
  }
  int Vertex(Vec p) {
    out_ << "v " << Num(p.x) << ' ' << Num(p.y) << ' ' << Num(p.z) << '\n';
    return ++vertices_;
  }
  void Material(const char* name) { out_ << "usemtl " << name << '\n'; }
  void Smoothing(int label) {
    if (label == 0) {
      out_ << "s off\n";
    } else {
      out_ << "s " << label << '\n';
    }
  }
  void Face(std::initializer_list<int> corners) {
    out_ << 'f';
    for (int c : corners) out_ << ' ' << c;
    out_ << '\n';
    triangles_ += static_cast<long long>(corners.size()) - 2;
  }
  long long Triangles() const { return triangles_; }
  bool Ok() const { return out_.good(); }

 private:
  std::ofstream out_;
  int vertices_ = 0;
  long long triangles_ = 0;
};

// The parts every scene shares: render settings, camera, light, materials.
std::string SceneHead(Vec camera, Vec target, double fov, const std::string& materials) {
  return "{\n  \"tarnis\": 1,\n"
         "  \"render\": {\"width\": 1920, \"height\": 1080, \"frames\": [0, 0], \"samples\": 1},\n"
         "  \"environment\": {\"background\": [0.9, 0.9, 0.88], \"ambient\": [0.15, 0.15, 0.15]},\n"
         "  \"camera\": {\"position\": " +
         Triple(camera) + ", \"target\": " + Triple(target) + ", \"fov\": " + Num(fov) +
         ", \"near\": 0.1, \"far\": 10000},\n"
         "  \"lights\": [{\"name\": \"Key\", \"type\": \"directional\", \"position\": " +
         Triple(camera + Vec{-20, 10, 40}) + ", \"target\": " + Triple(target) +
         ", \"shadows\": true}],\n"
         "  \"materials\": [\n" +
         materials + "\n  ],\n";
}

std::string Material(const char* name, Vec diffuse) {
  return std::string("    {\"name\": \"") + name +
         "\", \"class\": \"Standard\", \"params\": {\"diffuse\": " + Triple(diffuse) + "}}";
}

// One line set over `objects` drawing outlines, creases, material and
// smoothing borders and intersections, visible in black and hidden in thin blue.
std::string LineEffect(const std::vector<std::string>& objects) {
  std::string names;
  for (size_t i = 0; i < objects.size(); ++i) names += (i ? ", \"" : "\"") + objects[i] + "\"";
  auto type = [](int d) {
    const std::string n = std::to_string(d);
    return "{\"edgeObject" + n + "\": true, \"edgeNormal" + n + "\": true, \"edgeNormalMin" + n +
           "\": 25, \"edgeMatID" + n + "\": true, \"edgeSmooth" + n + "\": true, \"edgeIsect" + n +
           "\": true}";
  };
  return "  \"effects\": [{\"class\": \"Tarnis_Line\", \"name\": \"Lines\",\n"
         "    \"refs\": {\"1\": {\"class\": \"Tarnis_LineSet\",\n"
         "      \"params\": {\"main\": {\"name\": \"All\", \"objects\": [" +
         names + "]},\n        \"type1\": " + type(1) + ",\n        \"type2\": " + type(2) +
         "},\n"
         "      \"visible\": {\"base\": {\"class\": \"Tarnis_LineSetting\", \"params\": "
         "{\"lineSize\": 1.5, \"lineColor\": [0.05, 0.05, 0.05]}}},\n"
         "      \"hidden\": {\"base\": {\"class\": \"Tarnis_LineSetting\", \"params\": "
         "{\"lineSize\": 0.8, \"lineColor\": [0.2, 0.3, 0.7], \"lineAlpha\": 60}}}}}}]\n}\n";
}

std::string BoxNode(const std::string& name, Vec size, Vec position, Vec rotation,
                    const char* material) {
  return "    {\"name\": \"" + name +
         "\", \"mesh\": {\"primitive\": \"box\", \"size\": " + Triple(size) +
         "}, \"position\": " + Triple(position) + ", \"rotation\": " + Triple(rotation) +
         ", \"material\": \"" + material + "\"}";
}

std::string Nodes(const std::vector<std::string>& nodes) {
  std::string out = "  \"nodes\": [\n";
  for (size_t i = 0; i < nodes.size(); ++i) out += nodes[i] + (i + 1 < nodes.size() ? ",\n" : "\n");
  return out + "  ],\n";
}

bool WriteText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  return out.good();
}

// The scene as given (DIR/NAME.json) and three twins that also write the
// lines to a vector file, one kind each (DIR/NAME_ai.json, NAME_eps.json,
// NAME_svg.json), for measuring what the vector files cost.
bool WriteScene(const std::filesystem::path& dir, const std::string& name,
                const std::string& scene) {
  const std::string end = "]\n}\n";
  if (scene.size() < end.size() || scene.compare(scene.size() - end.size(), end.size(), end) != 0)
    return false;
  bool ok = WriteText(dir / (name + ".json"), scene);
  const struct {
    int type;
    const char* suffix;
    const char* file;
  } kinds[] = {{0, "_ai", "_ai.eps"}, {1, "_eps", ".eps"}, {2, "_svg", ".svg"}};
  for (const auto& k : kinds) {
    const std::string twin = scene.substr(0, scene.size() - end.size()) +
                             ",\n    {\"class\": \"Tarnis_FileOut\", \"params\": {\"tarnis_fileout\": "
                             "{\"fileType\": " +
                             std::to_string(k.type) + ", \"fileName\": \"" + name + k.file +
                             "\"}}}" + end;
    ok = ok && WriteText(dir / (name + k.suffix + ".json"), twin);
  }
  return ok;
}

struct Written {
  std::string name;
  long long triangles = 0;
};

// A (2, 3) torus knot, `segments` quads along the curve by `sides` around the
// tube. Materials change every twelfth of the curve and smoothing groups half
// a stripe later, so both kinds of border run across the tube.
bool WriteKnot(const std::filesystem::path& dir, long long triangles, Written& w) {
  const int sides =
      std::max(8, static_cast<int>(std::lround(std::sqrt(static_cast<double>(triangles) / 16.0))));
  const int segments = std::max(24, static_cast<int>(triangles / (2LL * sides)));
  constexpr int kStripes = 12;
  constexpr double kTube = 0.3;
  ObjWriter obj(dir / "knot.obj");
  for (int i = 0; i < segments; ++i) {
    const double t = 2.0 * kPi * i / segments;
    const double r = 2.0 + std::cos(3.0 * t);
    const Vec centre{r * std::cos(2.0 * t), r * std::sin(2.0 * t), -std::sin(3.0 * t)};
    const double dr = -3.0 * std::sin(3.0 * t);
    const Vec tangent =
        Normalize({dr * std::cos(2.0 * t) - 2.0 * r * std::sin(2.0 * t),
                   dr * std::sin(2.0 * t) + 2.0 * r * std::cos(2.0 * t), -3.0 * std::cos(3.0 * t)});
    // The curve never runs towards the z axis, so this frame exists everywhere
    // and closes without a twist.
    const Vec binormal = Normalize(Cross(tangent, centre));
    const Vec normal = Cross(binormal, tangent);
    for (int j = 0; j < sides; ++j) {
      const double a = 2.0 * kPi * j / sides;
      obj.Vertex(centre + normal * (kTube * std::cos(a)) + binormal * (kTube * std::sin(a)));
    }
  }
  auto vertex = [&](int i, int j) { return (i % segments) * sides + (j % sides) + 1; };
  // Counter-clockwise seen from outside: around the tube first, then along it.
  for (int i = 0; i < segments; ++i) {
    const int stripe = i * kStripes / segments;
    const int group = (2 * i * kStripes / segments + 1) / 2;
    if (i == 0 || stripe != (i - 1) * kStripes / segments)
      obj.Material(stripe % 2 ? "Blue" : "Red");
    if (i == 0 || group != (2 * (i - 1) * kStripes / segments + 1) / 2)
      obj.Smoothing(1 + group % 2);
    for (int j = 0; j < sides; ++j)
      obj.Face({vertex(i, j), vertex(i, j + 1), vertex(i + 1, j + 1), vertex(i + 1, j)});
  }
  w = {"knot", obj.Triangles()};
  const std::string scene =
      SceneHead({0, -11, 7}, {0, 0, 0}, 40,
                Material("Knot", {0.8, 0.55, 0.4}) + ",\n" + Material("Red", {0.8, 0.3, 0.3}) +
                    ",\n" + Material("Blue", {0.3, 0.4, 0.8})) +
      Nodes({"    {\"name\": \"Knot\", \"mesh\": {\"file\": \"knot.obj\"}, \"material\": "
             "\"Knot\"}"}) +
      LineEffect({"Knot"});
  return obj.Ok() && WriteScene(dir, "knot", scene);
}

// Boxes on a jittered grid, several layers deep, each a little larger than
// the grid's pitch and turned at random, so neighbours cut into each other.
bool WriteBoxes(const std::filesystem::path& dir, long long triangles, Written& w) {
  const long long count = std::max(1LL, triangles / kBoxTriangles);
  const int layers = std::max(1, static_cast<int>(std::lround(std::cbrt(double(count)) / 6.0)));
  const int side = static_cast<int>(std::ceil(std::sqrt(double(count) / layers)));
  Random random(1);
  std::vector<std::string> nodes;
  for (long long n = 0; n < count; ++n) {
    const long long cell = n % (static_cast<long long>(side) * side);
    const double x = double(cell % side) - side / 2.0, y = double(cell / side) - side / 2.0;
    const double z = 0.8 * double(n / (static_cast<long long>(side) * side));
    const Vec size{random.Uniform(0.7, 1.5), random.Uniform(0.7, 1.5), random.Uniform(0.5, 1.4)};
    const Vec jitter{random.Uniform(-0.3, 0.3), random.Uniform(-0.3, 0.3), random.Uniform(0, 0.3)};
    const Vec rotation{random.Uniform(-15, 15), random.Uniform(-15, 15), random.Uniform(0, 90)};
    nodes.push_back(BoxNode("Box" + std::to_string(n), size, Vec{x, y, z} + jitter, rotation,
                            n % 3 ? "Grey" : "Ochre"));
  }
  w = {"boxes", count * kBoxTriangles};
  const double reach = side * 0.75;
  const std::string scene =
      SceneHead({reach, -reach * 1.3, reach * 0.9}, {0, 0, 0}, 40,
                Material("Grey", {0.7, 0.7, 0.7}) + ",\n" + Material("Ochre", {0.8, 0.6, 0.3})) +
      Nodes(nodes);
  std::vector<std::string> names;
  names.reserve(nodes.size());
  for (long long n = 0; n < count; ++n) names.push_back("Box" + std::to_string(n));
  return WriteScene(dir, "boxes", scene + LineEffect(names));
}

// A coarse sphere in the OBJ file, its bands cut by the poles into triangles.
void FlatSphere(ObjWriter& obj, Vec centre, double radius) {
  const int top = obj.Vertex(centre + Vec{0, 0, radius});
  int first = 0;
  for (int i = 1; i < kFlatSphereBands; ++i) {
    const double theta = kPi * i / kFlatSphereBands;
    for (int j = 0; j < kFlatSphereAround; ++j) {
      const double phi = 2.0 * kPi * j / kFlatSphereAround;
      const int v = obj.Vertex(centre + Vec{std::sin(theta) * std::cos(phi),
                                            std::sin(theta) * std::sin(phi), std::cos(theta)} *
                                            radius);
      if (i == 1 && j == 0) first = v;
    }
  }
  const int bottom = obj.Vertex(centre + Vec{0, 0, -radius});
  auto ring = [&](int i, int j) {
    return first + (i - 1) * kFlatSphereAround + j % kFlatSphereAround;
  };
  for (int j = 0; j < kFlatSphereAround; ++j) {
    obj.Face({top, ring(1, j), ring(1, j + 1)});
    for (int i = 1; i + 1 < kFlatSphereBands; ++i)
      obj.Face({ring(i, j), ring(i + 1, j), ring(i + 1, j + 1), ring(i, j + 1)});
    obj.Face({bottom, ring(kFlatSphereBands - 1, j + 1), ring(kFlatSphereBands - 1, j)});
  }
}

// A floor of boxes (a twentieth of the triangles), smooth spheres (three
// fifths) and flat-shaded ones in one OBJ file (the rest), the spheres
// overlapping each other and sinking into the floor.
bool WriteSpheres(const std::filesystem::path& dir, long long triangles, Written& w) {
  const int floorSide = std::max(
      2, static_cast<int>(std::sqrt(static_cast<double>(triangles) / 20.0 / kBoxTriangles)));
  const long long smoothTriangles = kSmoothSphereAround * (kSmoothSphereAround - 2);
  const long long smoothCount = std::max(1LL, triangles * 3 / 5 / smoothTriangles);
  const long long flatTriangles = kFlatSphereAround * (2 * kFlatSphereBands - 2);
  const long long rest =
      triangles - floorSide * floorSide * kBoxTriangles - smoothCount * smoothTriangles;
  const long long flatCount = std::max(1LL, rest / flatTriangles);
  const double half = floorSide / 2.0;
  Random random(2);
  std::vector<std::string> nodes, names;
  for (int i = 0; i < floorSide * floorSide; ++i) {
    const Vec size{1.05, 1.05, random.Uniform(0.3, 1.0)};
    names.push_back("Tile" + std::to_string(i));
    nodes.push_back(BoxNode(names.back(), size,
                            {i % floorSide - half + 0.5, i / floorSide - half + 0.5, 0}, {0, 0, 0},
                            i % 2 ? "Grey" : "Ochre"));
  }
  // Smooth spheres as large as a few tiles, flat ones smaller and more of them.
  const double smoothRadius = std::max(0.6, half / std::sqrt(double(smoothCount)) * 1.1);
  for (long long n = 0; n < smoothCount; ++n) {
    const Vec p{random.Uniform(-half, half), random.Uniform(-half, half),
                random.Uniform(0.2, 1.2) * smoothRadius};
    names.push_back("Ball" + std::to_string(n));
    nodes.push_back("    {\"name\": \"" + names.back() +
                    "\", \"mesh\": {\"primitive\": \"sphere\", \"radius\": " +
                    Num(smoothRadius * random.Uniform(0.7, 1.2)) +
                    ", \"segments\": " + std::to_string(kSmoothSphereAround) +
                    "}, \"position\": " + Triple(p) + ", \"material\": \"Pale\"}");
  }
  ObjWriter obj(dir / "spheres_flat.obj");
  obj.Smoothing(0);
  const double flatRadius = std::max(0.3, half / std::sqrt(double(flatCount)) * 1.2);
  for (long long n = 0; n < flatCount; ++n) {
    if (n % 8 == 0) obj.Material(n % 16 ? "Blue" : "Red");
    FlatSphere(obj,
               {random.Uniform(-half, half), random.Uniform(-half, half),
                random.Uniform(0.3, 2.5) * flatRadius},
               flatRadius * random.Uniform(0.7, 1.3));
  }
  names.push_back("Facets");
  nodes.push_back(
      "    {\"name\": \"Facets\", \"mesh\": {\"file\": \"spheres_flat.obj\"}, "
      "\"material\": \"Pale\"}");
  w = {"spheres",
       floorSide * floorSide * kBoxTriangles + smoothCount * smoothTriangles + obj.Triangles()};
  const std::string scene =
      SceneHead({half * 1.1, -half * 2.1, half * 1.5}, {0, 0, 0}, 40,
                Material("Grey", {0.7, 0.7, 0.7}) + ",\n" + Material("Ochre", {0.8, 0.6, 0.3}) +
                    ",\n" + Material("Pale", {0.85, 0.85, 0.8})) +
      Nodes(nodes) + LineEffect(names);
  return obj.Ok() && WriteScene(dir, "spheres", scene);
}

}  // namespace

int main(int argc, char** argv) {
  long long triangles = 0;
  if (argc == 3) {
    const std::string_view text(argv[1]);
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), triangles);
    if (ec != std::errc() || end != text.data() + text.size()) triangles = 0;
  }
  if (triangles < kMinTriangles || triangles > kMaxTriangles) {
    std::fprintf(stderr,
                 "usage: scene_gen TRIANGLES DIR  (TRIANGLES %lld..%lld)\n"
                 "writes DIR/{knot,boxes,spheres}.json, their twins NAME_{ai,eps,svg}.json that\n"
                 "also write a vector file, their mesh files and DIR/scenes.txt\n",
                 kMinTriangles, kMaxTriangles);
    return 2;
  }
  const std::filesystem::path dir(argv[2]);
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  // The OBJ files name this library; the colours are the scenes' own.
  bool ok = !ec && WriteText(dir / "bench.mtl",
                             "newmtl Red\nKd 0.8 0.3 0.3\nnewmtl Blue\nKd 0.3 0.4 0.8\n");
  std::vector<Written> written(3);
  ok = ok && WriteKnot(dir, triangles, written[0]) && WriteBoxes(dir, triangles, written[1]) &&
       WriteSpheres(dir, triangles, written[2]);
  std::string list;
  for (const Written& w : written) list += w.name + " " + std::to_string(w.triangles) + "\n";
  ok = ok && WriteText(dir / "scenes.txt", list);
  if (!ok) {
    std::fprintf(stderr, "scene_gen: cannot write the scenes into %s\n", dir.string().c_str());
    return 1;
  }
  return 0;
}
