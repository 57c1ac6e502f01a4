// Parameter-block reads at render time: IParamBlock2::GetValue of a plain
// float, a float animated by a 64-key Bézier controller, and a colour, each
// reported as reads per second.
#include <benchmark/benchmark.h>

#include "sdk/param_block.h"

namespace {

enum : ParamID { kPlain = 0, kAnimated = 1, kColor = 2 };

ParamBlockDesc2& BenchDesc() {
  static ParamBlockDesc2 desc{{.id = 0, .internalName = "bench"},
                              {
                                  {.id = kPlain,
                                   .internalName = "plain",
                                   .type = TYPE_FLOAT,
                                   .def = 1.5f,
                                   .range = {0.0f, 10.0f}},
                                  {.id = kAnimated,
                                   .internalName = "animated",
                                   .type = TYPE_FLOAT,
                                   .flags = P_ANIMATABLE,
                                   .range = {-100.0f, 100.0f}},
                                  {.id = kColor,
                                   .internalName = "color",
                                   .type = TYPE_RGBA,
                                   .def = Color(0.2f, 0.4f, 0.6f)},
                              }};
  return desc;
}

constexpr int kKeys = 64;
constexpr TimeValue kKeyStep = TIME_TICKSPERSEC / 30;  // one key a frame at 30 frames a second

class ParamBlockBench : public benchmark::Fixture {
 public:
  void SetUp(const benchmark::State&) override {
    holder_.Set(CreateParameterBlock2(&BenchDesc(), nullptr));
    pb = holder_.GetAs<IParamBlock2>();
    pb->MakeAnimated(kAnimated, KeyInterp::kBezier);
    for (int k = 0; k < kKeys; ++k) pb->SetValue(kAnimated, k * kKeyStep, (k % 7) * 3.0f);
  }
  void TearDown(const benchmark::State&) override { holder_.Release(); }

  // Times that walk across the keyed range, between keys.
  static TimeValue TimeAt(int64_t i) {
    return static_cast<TimeValue>((i * 37) % (kKeys * kKeyStep));
  }

  IParamBlock2* pb = nullptr;

 private:
  ReferenceHolder holder_;
};

BENCHMARK_F(ParamBlockBench, GetValuePlainFloat)(benchmark::State& state) {
  int64_t i = 0;
  for (auto _ : state) {
    float v = 0.0f;
    Interval valid = FOREVER;
    pb->GetValue(kPlain, TimeAt(i++), v, valid);
    benchmark::DoNotOptimize(v);
    benchmark::DoNotOptimize(valid);
  }
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK_F(ParamBlockBench, GetValueBezierFloat)(benchmark::State& state) {
  int64_t i = 0;
  for (auto _ : state) {
    float v = 0.0f;
    Interval valid = FOREVER;
    pb->GetValue(kAnimated, TimeAt(i++), v, valid);
    benchmark::DoNotOptimize(v);
    benchmark::DoNotOptimize(valid);
  }
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK_F(ParamBlockBench, GetValueColor)(benchmark::State& state) {
  int64_t i = 0;
  for (auto _ : state) {
    Color c;
    Interval valid = FOREVER;
    pb->GetValue(kColor, TimeAt(i++), c, valid);
    benchmark::DoNotOptimize(c);
    benchmark::DoNotOptimize(valid);
  }
  state.SetItemsProcessed(state.iterations());
}

}  // namespace
