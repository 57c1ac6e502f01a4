// Feeds arbitrary bytes to the line-set file reader: each input is written
// as a .tln file and read into a fresh line set, with the plug-in's classes
// known and a scene holding one node ("Target") to find by name. A read
// either succeeds and leaves a whole line set (blocks, curves, a setting in
// every base slot, a brush in every setting), or fails with a reason and
// leaves the line set exactly as it was; a crash, a hang, a sanitizer report
// or a leak is a bug. With TARNIS_FUZZ_WRITE_SEED=PATH set, writes the file
// of a line set with shared settings and brushes, changed values and curves
// and a depth node to PATH and exits.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <variant>

#include "host/host_classes.h"
#include "host/host_interface.h"
#include "host/scene.h"
#include "sdk/hold.h"
#include "tarnis/line/brush/brush.h"
#include "tarnis/line/effect/line_set.h"
#include "tarnis/line/effect/line_set_file.h"
#include "tarnis/plugin/class_table.h"

namespace {

std::string gInput;  // where each input is written
// Slots from the set down to the blocks and curves of its brushes.
constexpr int kDepth = 3;

// Values as exact text (floats in hexadecimal, objects by address).
void Append(std::string& out, const char* format, auto... values) {
  char buf[128];
  std::snprintf(buf, sizeof buf, format, values...);
  out += buf;
}
void AppendValue(std::monostate, std::string& out) {
  out += "-;";
}
void AppendValue(int v, std::string& out) {
  Append(out, "%d;", v);
}
void AppendValue(float v, std::string& out) {
  Append(out, "%a;", v);
}
void AppendValue(const Point3& v, std::string& out) {
  Append(out, "%a %a %a;", v.x, v.y, v.z);
}
void AppendValue(const Color& v, std::string& out) {
  Append(out, "%a %a %a;", v.r, v.g, v.b);
}
void AppendValue(const std::string& v, std::string& out) {
  out += v + ";";
}
void AppendValue(ReferenceTarget* v, std::string& out) {
  Append(out, "%p;", static_cast<void*>(v));
}

// Everything a read may change, cheaply: the object in every slot of the
// set, its settings and brushes (by address), every value of their blocks
// and every curve point.
void Fingerprint(ReferenceTarget* t, int depth, std::string& out) {
  AppendValue(t, out);
  if (auto* pb = dynamic_cast<IParamBlock2*>(t)) {
    for (int i = 0; i < pb->GetDesc()->Count(); ++i) {
      const ParamID id = pb->GetDesc()->GetParamDefByIndex(i).id;
      for (int k = 0; k < pb->Count(id); ++k) {
        PB2Value v;
        Interval valid = FOREVER;
        pb->GetValue(id, 0, v, valid, k);
        std::visit([&](const auto& x) { AppendValue(x, out); }, v.Value());
      }
    }
    return;
  }
  if (auto* cc = dynamic_cast<CurveControl*>(t)) {
    for (int c = 0; c < cc->GetNumCurves(); ++c) {
      for (const CurvePoint& p : cc->GetControlCurve(c)->Points()) {
        Append(out, "%a %a %a %a %a %a %d;", p.p.x, p.p.y, p.in.x, p.in.y, p.out.x, p.out.y,
               p.flags);
      }
    }
    return;
  }
  if (!t || depth == 0) return;
  for (int i = 0; i < t->NumRefs(); ++i) Fingerprint(t->GetReference(i), depth - 1, out);
}

std::string ScratchFile(const char* name) {
  std::string path = std::string(P_tmpdir) + "/" + name + "-XXXXXX";
  const int fd = ::mkstemp(path.data());
  if (fd < 0) std::abort();
  ::close(fd);
  return path;
}

void WriteSeed(const char* path, INode* target) {
  ReferenceHolder holder(new tarnis::LineSet);
  auto* set = holder.GetAs<tarnis::LineSet>();
  set->ReplaceReference(tarnis::LineSetSettingRef(1, 1), set->Setting(1, 0));
  set->Setting(2, 0)->ReplaceReference(tarnis::kSettingBrushRef, set->Setting(2, 1)->GetBrush());
  set->TypeBlock(1)->SetValue(tarnis::kTypeLineColor, 0, Color(1, 0, 0));
  set->DepthBlock(1)->SetValue(tarnis::kDepthZScaleObjectNode, 0, target);
  set->SizeCurve(1)->GetControlCurve(0)->SetNumPts(3);
  std::exit(tarnis::WriteLineSetFile(set, path) ? 0 : 1);
}

// What every line set holds, read or not.
bool Whole(tarnis::LineSet* set) {
  for (int i = 0; i < tarnis::kLineSetNumBlocks; ++i) {
    if (!set->GetParamBlock(i)) return false;
  }
  for (int t = 1; t <= tarnis::kNumLineTypes; ++t) {
    if (!set->SizeCurve(t) || !set->AlphaCurve(t) || !set->Setting(t, 0)) return false;
    for (int slot = 0; slot < tarnis::kSettingsPerType; ++slot) {
      tarnis::LineSetting* s = set->Setting(t, slot);
      if (s && (!s->Block() || !s->GetBrush())) return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  host::RegisterHostClasses();
  for (ClassDesc2* cd : tarnis::ClassTable()) GetClassDirectory().AddClass(cd);
  static host::Scene scene;
  INode* target = scene.CreateNode("Target");
  static host::HostInterface ip(&scene);
  ip.SetShowProgress(false);
  SetCOREInterface(&ip);
  if (const char* seed = std::getenv("TARNIS_FUZZ_WRITE_SEED")) WriteSeed(seed, target);
  gInput = ScratchFile("tln-fuzz-input");
  std::atexit([] { ::unlink(gInput.c_str()); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  {
    std::ofstream out(gInput, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  // A set that failed to read is as it was, and serves the next input.
  static ReferenceHolder holder;
  static std::string before;
  if (!holder.Get()) {
    holder.Set(new tarnis::LineSet);
    before.clear();
    Fingerprint(holder.Get(), kDepth, before);
  }
  auto* set = holder.GetAs<tarnis::LineSet>();
  const tarnis::LineSetFileResult r = tarnis::ReadLineSetFile(set, gInput.c_str());
  if (!Whole(set)) std::abort();
  if (r) {
    holder.Release();
  } else {
    std::string after;
    Fingerprint(set, kDepth, after);
    if (r.problem.empty() || after != before) std::abort();
  }
  theHold.Reset();
  return 0;
}
