// Feeds arbitrary bytes to the INI layer as a settings file: the profile
// functions, the file-backed handler and a MemIniHandler loaded from it, and
// every read operation of the layer on every section the file holds (up to
// a bound): keys, parameter blocks of every key kind (a node found by name in
// a scene included), descriptor defaults, curves with and without a key
// prefix, shapes and texture coordinates, each into a real object. A
// MemIniHandler saved and loaded again must hold the same sections. A crash,
// a hang, a sanitizer report, a leak or a broken round trip is a bug. With
// TARNIS_FUZZ_WRITE_SEED=PATH set, writes a settings file holding a block, a
// curve, a shape and texture coordinates to PATH and exits.
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "host/host_classes.h"
#include "host/host_interface.h"
#include "host/scene.h"
#include "sdk/curve_control.h"
#include "sdk/hold.h"
#include "sdk/mtl.h"
#include "tarnis/common/ini_file.h"
#include "tarnis/common/mem_ini_handler.h"
#include "tarnis/common/shape_control.h"
#include "tarnis/plugin/class_table.h"

namespace {

// Sections of one input the reads run on; more only repeat the same work.
constexpr size_t kMaxSections = 64;

std::string gInput;
std::string gSaved;

std::string ScratchFile(const char* name) {
  std::string path = std::string(P_tmpdir) + "/" + name + "-XXXXXX";
  const int fd = ::mkstemp(path.data());
  if (fd < 0) std::abort();
  ::close(fd);
  return path;
}

// A block of every kind of key the layer writes and reads, and of kinds it
// leaves alone.
std::unique_ptr<ParamBlockDesc2> MakeDesc() {
  return std::make_unique<ParamBlockDesc2>(
      ParamBlockHeader{.id = 0, .internalName = "main"},
      std::vector<ParamDef>{
          {.id = 0, .internalName = "size", .def = 1.0f, .range = {0.0f, 100.0f}},
          {.id = 1, .internalName = "angle", .type = TYPE_ANGLE, .flags = P_ANIMATABLE},
          {.id = 2, .internalName = "amount", .type = TYPE_PCNT_FRAC},
          {.id = 3, .internalName = "distance", .type = TYPE_WORLD},
          {.id = 4, .internalName = "count", .type = TYPE_INT, .def = 3, .range = {1, 10}},
          {.id = 5, .internalName = "enabled", .type = TYPE_BOOL, .def = true},
          {.id = 6, .internalName = "color", .type = TYPE_RGBA, .flags = P_ANIMATABLE},
          {.id = 7, .internalName = "node", .type = TYPE_INODE},
          {.id = 8, .internalName = "pos", .type = TYPE_POINT3},
          {.id = 9, .internalName = "name", .type = TYPE_STRING},
          {.id = 10, .internalName = "floats", .type = TYPE_FLOAT_TAB, .tabSize = 2},
      });
}

// The objects the reads go into, new for every input.
struct Targets {
  std::unique_ptr<ParamBlockDesc2> desc = MakeDesc();
  ReferenceHolder block{CreateParameterBlock2(desc.get(), nullptr)};
  ReferenceHolder curve{new CurveControl};
  ReferenceHolder shape{new tarnis::QvPolygonCtrl};
  ReferenceHolder uv{NewDefaultStdUVGen()};
};

void ReadEverything(tarnis::IniHandler& ini, const std::vector<std::string>& sections) {
  Targets t;
  auto* pb = t.block.GetAs<IParamBlock2>();
  ICurve* curve = t.curve.GetAs<CurveControl>()->GetControlCurve(0);
  auto* shape = t.shape.GetAs<tarnis::QvPolygonCtrl>();
  auto* uv = t.uv.GetAs<StdUVGen>();
  if (!pb || !curve || !shape || !uv) std::abort();
  for (const std::string& s : sections) {
    const char* section = s.c_str();
    ini.ReadValue(section, "num");
    ini.ReadBlock(section, *pb);
    ini.ReadBlock(section, *pb, [](ParamID id) { return id % 2 == 0; });
    ini.LoadDefaults(section, *t.desc);
    ini.ReadCurve(section, *curve);
    ini.ReadCurve(section, *curve, "size_curve_");
    ini.ReadShape(section, *shape);
    ini.ReadCoords(section, *uv);
  }
  // Blocks made from the defaults just loaded.
  ReferenceHolder fromDefaults(CreateParameterBlock2(t.desc.get(), nullptr));
}

bool SameSections(const tarnis::MemIniHandler& a, const tarnis::MemIniHandler& b) {
  if (a.Sections().size() != b.Sections().size()) return false;
  for (size_t i = 0; i < a.Sections().size(); ++i) {
    const auto& x = a.Sections()[i];
    const auto& y = b.Sections()[i];
    if (x.name != y.name || x.entries.size() != y.entries.size()) return false;
    for (size_t k = 0; k < x.entries.size(); ++k) {
      if (x.entries[k].key != y.entries[k].key || x.entries[k].value != y.entries[k].value)
        return false;
    }
  }
  return true;
}

void WriteSeed(const char* path) {
  Targets t;
  auto* pb = t.block.GetAs<IParamBlock2>();
  pb->SetValue(0, 0, 2.5f);
  pb->SetValue(6, 0, Color(0.5f, 0.25f, 1.0f));
  pb->SetValue(7, 0, GetCOREInterface()->GetINodeByName("Target"));
  tarnis::IniHandler ini(path);
  ini.WriteBlock("Block", *pb);
  t.curve.GetAs<CurveControl>()->GetControlCurve(0)->SetNumPts(3);
  ini.WriteCurve("Curve", *t.curve.GetAs<CurveControl>()->GetControlCurve(0));
  t.shape.GetAs<tarnis::QvPolygonCtrl>()->Reset(4);
  ini.WriteShape("Shape", *t.shape.GetAs<tarnis::QvPolygonCtrl>());
  ini.WriteCoords("Coords", *t.uv.GetAs<StdUVGen>());
  std::exit(tarnis::ReadIniSectionNames(path).size() == 4 ? 0 : 1);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  host::RegisterHostClasses();
  for (ClassDesc2* cd : tarnis::ClassTable()) GetClassDirectory().AddClass(cd);
  static host::Scene scene;
  scene.CreateNode("Target");
  static host::HostInterface ip(&scene);
  ip.SetShowProgress(false);
  SetCOREInterface(&ip);
  if (const char* seed = std::getenv("TARNIS_FUZZ_WRITE_SEED")) WriteSeed(seed);
  gInput = ScratchFile("ini-fuzz-input");
  gSaved = ScratchFile("ini-fuzz-saved");
  std::atexit([] {
    ::unlink(gInput.c_str());
    ::unlink(gSaved.c_str());
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  {
    std::ofstream out(gInput, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  const std::string text(reinterpret_cast<const char*>(data), size);
  tarnis::IniFile parsed(text);
  std::vector<std::string> sections = parsed.SectionNames();
  if (sections.size() > kMaxSections) sections.resize(kMaxSections);
  // The profile functions read the file again for each call: a few sections suffice.
  for (size_t i = 0; i < sections.size() && i < 8; ++i) {
    tarnis::ReadIniSectionLines(gInput, sections[i]);
  }
  // Names the file does not hold read as empty sections.
  sections.push_back("");
  sections.push_back("no such section");

  tarnis::IniHandler file(gInput);
  ReadEverything(file, sections);

  tarnis::MemIniHandler mem;
  if (!mem.Load(gInput)) std::abort();
  ReadEverything(mem, sections);
  tarnis::MemIniHandler again;
  if (!mem.Save(gSaved) || !again.Load(gSaved) || !SameSections(mem, again)) std::abort();
  theHold.Reset();
  return 0;
}
