// Tarmat::Shade: one sample of toon shading.
#include <algorithm>
#include <cmath>

#include "sdk/effect.h"
#include "sdk/render.h"
#include "tarnis/common/blend_color.h"
#include "tarnis/material/shade_contexts.h"
#include "tarnis/material/tarmat.h"
#include "tarnis/material/tarmat_ext_shader.h"

namespace tarnis {

namespace {

Color Clamp01(Color c) {
  c.ClampMinMax(0.0f, 1.0f);
  return c;
}

// A map laid over a colour: colour × (1 - map alpha × op) + map × op.
Color MapOver(const Color& colour, Texmap* map, float op, ShadeContext& sc) {
  const AColor m = map->EvalColor(sc);
  return colour * (1.0f - m.a * op) + m.RGB() * op;
}

void Blend(Color& base, const Color& layer, float amount, int index) {
  BlendColor(base, layer, amount, BlendModeOfIndex(index));
}

// How far the normal turns across one pixel per unit of the context's
// curvature: the pixel's footprint on the surface.
float PixelFootprint(ShadeContext& sc) {
  Point3 dpdx, dpdy;
  sc.DP(dpdx, dpdy);
  return 0.5f * (Length(dpdx) + Length(dpdy));
}

// The shadowed-to-unshadowed ratio of the diffuse light reaching the sample
// (1 when hardly any light reaches it either way), folded into 0..1.
// `unshadowed` is the mean diffuse light without shadows, which the light
// gathering has just summed the same way (it runs with shadows off when a
// shadow colour is on).
float ShadowRatio(ShadeContext& sc, const Point3& normal, float unshadowed) {
  if (unshadowed <= 0.005f) return 1.0f;
  Color shadowed;
  for (int n = 0; n < sc.nLights; ++n) {
    LightDesc* light = sc.Light(n);
    if (!light || light->ambientOnly || !light->affectDiffuse) continue;
    Color c;
    Point3 dir;
    float dotNL = 0.0f, coef = 0.0f;
    if (light->Illuminate(sc, normal, c, dir, dotNL, coef) && dotNL > 0.0f) shadowed += c * coef;
  }
  float q = shadowed.Average() / unshadowed;
  if (q > 1.0f) q = 1.0f / q;
  return q;
}

// Whether a render element of the render takes the toon material's samples.
bool HasToonSampleReceiver(ShadeContext& sc) {
  RenderGlobalContext* gc = sc.globContext;
  if (!gc) return false;
  const int elements = std::min(gc->NRenderElements(), sc.out.nElements);
  for (int i = 0; i < elements; ++i) {
    if (dynamic_cast<ToonSampleReceiver*>(gc->GetRenderElement(i))) return true;
  }
  return false;
}

}  // namespace

void Tarmat::Shade(ShadeContext& sc) {
  const TarmatValues& v = values_;
  const TarmatExtValues& ext = v.ext;
  if (!v.base) return;
  if (sc.mode == SCMODE_SHADOW) {
    v.base->Shade(sc);
    return;
  }
  auto* shader = shader_.GetAs<TarmatExtShader>();
  if (!shader) return;

  const int seed = StrokeSeed(sc);
  const bool callerShadow = sc.shadow;
  // With a shadow colour the shadows come from the colour, not the lighting.
  if (ext.sblendEnable) sc.shadow = false;

  // The base material's pass, in a copy whose lights are dimmed by `shade`.
  ShadeContextPool& pool = ShadeContextPool::Shared();
  int index = -1;
  TarmatShadeContext* pass = pool.Acquire(&index);
  if (!pass) {
    sc.shadow = callerShadow;
    return;
  }
  pass->Prepare(sc, v.shade);
  v.base->Shade(*pass);
  CopyShadeOutput(sc.out, pass->out);
  pool.Release(pass, index);

  const Color t0 = sc.out.t;
  const float opacity = std::clamp(1.0f - t0.Average(), 0.0f, 1.0f);
  Color base = sc.out.c;
  for (int ch = 0; ch < 3; ++ch) {
    if (t0[ch] != 1.0f) base[ch] /= 1.0f - t0[ch];
  }

  // Bump.
  const Point3 normal = sc.Normal();
  bool bumped = false;
  if (v.bumpAmount != 0.0f && v.bumpEnable && v.bumpMap) {
    Point3 d = v.bumpMap->EvalNormalPerturb(sc) * v.bumpAmount;
    if (sc.backFace) d = -d;
    sc.SetNormal(Normalize(normal + d));
    bumped = true;
  }

  // Reflection: the reflection map's colour at the sample (environment maps
  // look along the reflected view).
  bool reflected = false;
  Color reflection;
  if (v.reflecMap && v.reflecEnable && v.reflecAmount > 0.0f) {
    reflection = v.reflecMap->EvalColor(sc).RGB();
    reflected = true;
  }

  // Light.
  IllumParams ip;
  ip.ClearOutputs();
  ip.pShadeContext = &sc;
  ip.pShader = shader;
  ip.pMtl = this;
  shader->GetIllumParams(sc, ip);
  if (v.hiLevelMap) ip.channels[4] *= v.hiLevelMap->EvalMono(sc);
  if (v.hiGrossMap) ip.channels[5] *= v.hiGrossMap->EvalMono(sc);
  ip.N = sc.Normal();
  ip.V = sc.V();
  ip.ambIllumOut = sc.ambientLight;
  const ToonLighting lit = shader->Gather(sc, ip);
  float w = lit.gradation;
  const float aaScale = lit.aaScale * PixelFootprint(sc);

  Color lightDev;
  if (ext.lightcolEnable && ext.lightcolAlpha > 0.0f) {
    lightDev = (ip.ambIllumOut + ip.diffIllumOut) * ip.finalAttenuation;
    if (ext.lightcolReplaceEnable) {
      lightDev += (ext.lightcolReplaceColor * lightDev.Average() - lightDev) *
                  ext.lightcolReplaceAmount;
    }
    const float grey = lightDev.Average();
    lightDev -= Color(grey, grey, grey);
  }

  float shadow = 0.0f;
  if (ext.sblendEnable) {
    sc.shadow = callerShadow;
    shadow = std::max(0.0f, 1.0f - ShadowRatio(sc, sc.Normal(), ip.diffIllumIntens)) *
             ext.sblendAlpha;
    sc.shadow = false;
  }

  if (ext.gradOffsetEnable && ext.gradOffsetMap) {
    w += (ext.gradOffsetMap->EvalMono(sc) + ext.gradOffsetMapOfs) * ext.gradOffsetAmount;
  }

  // Zones.
  std::array<ZoneCore, kToonZones> cores;
  for (int z = 0; z < kToonZones; ++z) cores[z] = v.zones[z].core;
  const float halfWidth = ext.zoneAnti > 0.0f ? std::max(ext.zoneAnti * aaScale, 0.0001f) : 0.0f;
  const ZoneWeights weights = ComputeZoneWeights(w, cores, halfWidth);

  ToonSample sample;
  // Elements that leave reflections out need the strokes on the unreflected
  // colour too.
  const bool strokeUnreflected = reflected && HasToonSampleReceiver(sc);
  Color strokesIn, strokesOut;  // K1 and K0
  float coverage = 0.0f;
  for (int z = 0; z < kToonZones; ++z) {
    if (weights[z] <= 0.0f) continue;
    const ZoneValues& zone = v.zones[z];
    Color colour = base;
    if (zone.enable) {
      Color layer = zone.color;
      if (zone.mapEnable && zone.map) layer = MapOver(layer, zone.map, zone.mapOpacity * 0.01f, sc);
      Blend(colour, layer, zone.alpha, zone.blend);
    }
    if (ext.lightcolEnable && ext.lightcolZone[z]) {
      Blend(colour, Clamp01(lightDev + colour), ext.lightcolAlpha, ext.lightcolBlend);
    }
    colour = colour * (Color(1.0f, 1.0f, 1.0f) - t0);
    sample.unreflected[z] = colour;
    if (reflected) BlendColor(colour, reflection, v.reflecAmount, kBlendAdd);
    colour = Clamp01(colour);
    sample.withoutStrokes[z] = colour;

    Color stroked = colour;
    float zoneCoverage = 0.0f;
    for (int s = kTarmatStrokesPerZone - 1; s >= 0; --s) {
      if (ZoneStroke* stroke = zone.strokes[s]) {
        zoneCoverage =
            std::max(zoneCoverage, stroke->ShadeStroke(sc, opacity, stroked, seed, v.strokeScale));
      }
    }
    if (strokeUnreflected) {
      sample.unreflectedWithStrokes[z] = sample.unreflected[z];
      for (int s = kTarmatStrokesPerZone - 1; s >= 0; --s) {
        if (ZoneStroke* stroke = zone.strokes[s]) {
          stroke->ShadeStroke(sc, opacity, sample.unreflectedWithStrokes[z], seed, v.strokeScale);
        }
      }
    }
    sample.withStrokes[z] = stroked;
    sample.strokeCoverage[z] = zoneCoverage;
    strokesIn += stroked * weights[z];
    strokesOut += colour * weights[z];
    coverage += zoneCoverage * weights[z];
  }

  // Highlight and shadow colours over the zones.
  const float h = ShapeHighlight(lit.highlight, v.hiLevel, v.hiSharp, ext.zoneAnti > 0.0f,
                                 v.hiAlpha);
  Color hiColor = v.hiColor;
  if (h > 0.0f && v.hiMapEnable && v.hiMap) {
    hiColor = MapOver(hiColor, v.hiMap, v.hiMapOpacity * 0.01f, sc);
  }
  Color shadowColor = ext.sblendColor;
  if (shadow > 0.0f && ext.sblendMapEnable && ext.sblendMap) {
    shadowColor = MapOver(shadowColor, ext.sblendMap, ext.sblendMapOpacity, sc);
  }
  if (h > 0.0f) {
    Blend(strokesIn, hiColor, h, v.hiBlend);
    Blend(strokesOut, hiColor, h, v.hiBlend);
  }
  if (shadow > 0.0f) {
    Blend(strokesIn, shadowColor, shadow, ext.sblendBlend);
    Blend(strokesOut, shadowColor, shadow, ext.sblendBlend);
  }
  sc.out.c = strokesIn;
  sc.out.t = t0 * (1.0f - h);  // a highlight makes the surface opaque
  if (v.strokeOnly) {
    sc.out.c = strokesIn - strokesOut * (1.0f - coverage);
    sc.out.t = Color(1.0f, 1.0f, 1.0f) - (Color(1.0f, 1.0f, 1.0f) - sc.out.t) * coverage;
  }

  if (bumped) sc.SetNormal(normal);
  sc.shadow = callerShadow;

  if (RenderGlobalContext* gc = sc.globContext) {
    const int elements = std::min(gc->NRenderElements(), sc.out.nElements);
    bool filled = false;
    for (int i = 0; i < elements; ++i) {
      auto* receiver = dynamic_cast<ToonSampleReceiver*>(gc->GetRenderElement(i));
      if (!receiver) continue;
      if (!filled) {
        sample.weights = weights;
        sample.opacity = opacity;
        sample.highlight = h;
        sample.highlightColor = hiColor;
        sample.highlightBlend = v.hiBlend;
        sample.shadow = shadow;
        sample.shadowColor = shadowColor;
        sample.shadowBlend = ext.sblendBlend;
        sample.reflected = reflected;
        sample.strokes = v.strokeOnly;
        filled = true;
      }
      receiver->ReceiveToonSample(sc, i, sample);
    }
  }
}

}  // namespace tarnis
