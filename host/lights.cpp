// Omni, directional and spot lights with ray-traced shadows.
#include "host/lights.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "sdk/angles.h"

namespace host {

namespace {

float smoothStep(float x) {
  x = std::clamp(x, 0.0f, 1.0f);
  return x * x * (3.0f - 2.0f * x);
}

}  // namespace

std::optional<LightSource> LightSourceOf(HostNode* node, TimeValue t) {
  auto* light = dynamic_cast<LightObject*>(node->GetObjectRef());
  if (!light) return std::nullopt;
  Matrix3 tm = node->GetNodeTM(t);
  LightSource s;
  s.type = light->type;
  s.color = light->color * light->multiplier;
  s.position = tm.GetTrans();
  // A light shines down its local -z, towards its target when it has one.
  s.direction = Normalize(-VectorTransform(tm, Point3(0.0f, 0.0f, 1.0f)));
  if (s.direction.LengthSquared() == 0.0f) s.direction = Point3(0.0f, 0.0f, -1.0f);
  float falloff = std::clamp(light->falloffDegrees, 0.0f, 179.9f);
  float hotspot = std::clamp(light->hotspotDegrees, 0.0f, falloff);
  s.cosFalloff = std::cos(0.5f * falloff * kDegToRad);
  s.cosHotspot = std::cos(0.5f * hotspot * kDegToRad);
  s.castShadows = light->castShadows;
  s.affectDiffuse = light->affectDiffuse;
  s.affectSpecular = light->affectSpecular;
  s.ambientOnly = light->ambientOnly;
  return s;
}

std::vector<LightSource> DefaultLights(const Matrix3& camToWorld) {
  struct Place {
    Point3 fromCamera;  // camera space: x right, y up, the camera looks down -z
    float intensity;
    bool shadows;
  };
  constexpr Place kKey{{-1.0f, 1.0f, 1.0f}, 1.0f, true};
  constexpr Place kFill{{1.0f, 0.2f, 0.6f}, 0.4f, false};
  std::vector<LightSource> lights;
  for (const Place& p : {kKey, kFill}) {
    LightSource s;
    s.type = LightObject::Type::kDirectional;
    s.color = Color(p.intensity, p.intensity, p.intensity);
    s.direction = Normalize(-VectorTransform(camToWorld, p.fromCamera));
    s.position = camToWorld.GetTrans() - s.direction * 10.0f;
    s.castShadows = p.shadows;
    lights.push_back(s);
  }
  return lights;
}

HostLight::HostLight(const LightSource& source, const Matrix3& camToWorld, const RayScene* rays)
    : source_(source),
      camToWorld_(camToWorld),
      normalCamToWorld_(NormalMatrix(camToWorld)),
      rays_(rays) {
  Matrix3 worldToCam = Inverse(camToWorld);
  position_ = source.position * worldToCam;
  direction_ = Normalize(VectorTransform(worldToCam, source.direction));
  affectDiffuse = source.affectDiffuse;
  affectSpecular = source.affectSpecular;
  ambientOnly = source.ambientOnly;
}

bool HostLight::Illuminate(ShadeContext& sc, const Point3& normal, Color& color, Point3& dir,
                           float& dot_nl, float& diffuseCoef) {
  return Compute(sc, normal, true, color, dir, dot_nl, diffuseCoef);
}

bool HostLight::IlluminateNoShadow(ShadeContext& sc, const Point3& normal, Color& color,
                                   Point3& dir, float& dot_nl, float& diffuseCoef) {
  return Compute(sc, normal, false, color, dir, dot_nl, diffuseCoef);
}

bool HostLight::Compute(ShadeContext& sc, const Point3& normal, bool shadows, Color& color,
                        Point3& dir, float& dot_nl, float& diffuseCoef) {
  float distance = 0.0f, factor = 0.0f;
  Reach(sc.P(), dir, distance, factor);
  dot_nl = DotProd(normal, dir);
  diffuseCoef = std::max(0.0f, dot_nl);
  if (ambientOnly) {
    color = source_.color;
    return true;
  }
  if (factor <= 0.0f) return false;
  color = source_.color * factor;
  // A surface facing away gets none of the light, so no shadow ray is needed.
  if (shadows && dot_nl > 0.0f && source_.castShadows && sc.shadow && Shadowed(sc, dir, distance))
    color = Color();
  return true;
}

bool HostLight::Shadowed(ShadeContext& sc, const Point3& toLight, float distance) const {
  if (!rays_) return false;
  Point3 p = sc.P() * camToWorld_;
  Point3 l = Normalize(VectorTransform(camToWorld_, toLight));
  Point3 ng = Normalize(VectorTransform(normalCamToWorld_, sc.GNormal()));
  // Start a little off the surface, on the light's side, so the ray does not
  // hit the face it leaves (shadow acne).
  float eps = 1e-4f * std::max(1.0f, p.MaxComponent());
  Point3 origin = p + ng * (DotProd(ng, l) >= 0.0f ? eps : -eps);
  float tfar = std::isinf(distance) ? std::numeric_limits<float>::infinity()
                                    : std::max(0.0f, (source_.position - origin).Length() - eps);
  return rays_->Occluded(origin, l, 0.0f, tfar);
}

void OmniLight::Reach(const Point3& p, Point3& toLight, float& distance, float& factor) const {
  Point3 d = position_ - p;
  distance = d.Length();
  toLight = Normalize(d);
  factor = distance > 0.0f ? 1.0f : 0.0f;
}

void DirectionalLight::Reach(const Point3&, Point3& toLight, float& distance, float& factor) const {
  toLight = -direction_;
  distance = std::numeric_limits<float>::infinity();
  factor = 1.0f;
}

void SpotLight::Reach(const Point3& p, Point3& toLight, float& distance, float& factor) const {
  OmniLight::Reach(p, toLight, distance, factor);
  if (factor <= 0.0f) return;
  float cosAngle = DotProd(-toLight, direction_);
  if (cosAngle <= source_.cosFalloff) {
    factor = 0.0f;
  } else if (cosAngle >= source_.cosHotspot) {
    factor = 1.0f;
  } else {
    factor =
        smoothStep((cosAngle - source_.cosFalloff) / (source_.cosHotspot - source_.cosFalloff));
  }
}

std::unique_ptr<HostLight> MakeHostLight(const LightSource& source, const Matrix3& camToWorld,
                                         const RayScene* rays) {
  switch (source.type) {
    case LightObject::Type::kDirectional:
      return std::make_unique<DirectionalLight>(source, camToWorld, rays);
    case LightObject::Type::kSpot:
      return std::make_unique<SpotLight>(source, camToWorld, rays);
    case LightObject::Type::kOmni:
      break;
  }
  return std::make_unique<OmniLight>(source, camToWorld, rays);
}

}  // namespace host
