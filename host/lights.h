// The scene's lights as materials see them: a LightSource is a light node
// evaluated at a time in world space; HostLight and its three variants (omni,
// directional, spot) are the LightDesc of one view, answering in that view's
// camera space. Lights that cast shadows trace an occlusion ray towards the
// light through the frame's RayScene. They only read shared state, so render
// threads share them.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "host/ray_scene.h"
#include "host/scene.h"
#include "sdk/matrix3.h"
#include "sdk/shade_context.h"

namespace host {

struct LightSource {
  LightObject::Type type = LightObject::Type::kOmni;
  Color color;       // colour x multiplier
  Point3 position;   // world space
  Point3 direction;  // world space, unit: where the light shines (its local -z)
  float cosHotspot = 1.0f, cosFalloff = 1.0f;  // spot: cosines of the half angles
  bool castShadows = false;
  bool affectDiffuse = true, affectSpecular = true, ambientOnly = false;
};

// The light of `node` at time t, or nothing when the node shows no light.
std::optional<LightSource> LightSourceOf(HostNode* node, TimeValue t);

// The lighting of a scene without lights: a key light from above the
// camera's left shoulder casting shadows and a dimmer fill from its right,
// both directional and turning with the camera (`camToWorld`).
std::vector<LightSource> DefaultLights(const Matrix3& camToWorld);

// A light in the camera space of one view.
class HostLight : public LightDesc {
 public:
  // `rays` may be null: then no shadows. `camToWorld` is the view's.
  HostLight(const LightSource& source, const Matrix3& camToWorld, const RayScene* rays);

  // False when the light does not reach the point (outside a spot's cone).
  // Otherwise the light's colour there (black in shadow), the unit camera-
  // space direction to it, dot_nl = N.L and diffuseCoef = max(0, N.L); a
  // surface facing away gets dot_nl < 0 and diffuseCoef 0 and no shadow
  // ray. Ambient-only lights answer their colour without shadows.
  bool Illuminate(ShadeContext& sc, const Point3& normal, Color& color, Point3& dir, float& dot_nl,
                  float& diffuseCoef) override;
  bool IlluminateNoShadow(ShadeContext& sc, const Point3& normal, Color& color, Point3& dir,
                          float& dot_nl, float& diffuseCoef) override;
  Point3 LightPosition() override { return position_; }
  Point3 LightDirection() override { return direction_; }

  const LightSource& Source() const { return source_; }

 protected:
  // Unit direction from camera-space point p towards the light, the distance
  // to it (infinite for parallel light) and the light's own shaping factor
  // there (0: not reached).
  virtual void Reach(const Point3& p, Point3& toLight, float& distance, float& factor) const = 0;

  LightSource source_;
  Point3 position_;   // camera space
  Point3 direction_;  // camera space, unit

 private:
  bool Compute(ShadeContext& sc, const Point3& normal, bool shadows, Color& color, Point3& dir,
               float& dot_nl, float& diffuseCoef);
  bool Shadowed(ShadeContext& sc, const Point3& toLight, float distance) const;

  Matrix3 camToWorld_, normalCamToWorld_;
  const RayScene* rays_;
};

// Light from a point, equal in every direction.
class OmniLight : public HostLight {
 public:
  using HostLight::HostLight;

 protected:
  void Reach(const Point3& p, Point3& toLight, float& distance, float& factor) const override;
};

// Parallel light along the light's direction.
class DirectionalLight : public HostLight {
 public:
  using HostLight::HostLight;

 protected:
  void Reach(const Point3& p, Point3& toLight, float& distance, float& factor) const override;
};

// Light from a point inside a cone: full inside the hotspot, fading smoothly
// to nothing at the falloff.
class SpotLight : public OmniLight {
 public:
  using OmniLight::OmniLight;

 protected:
  void Reach(const Point3& p, Point3& toLight, float& distance, float& factor) const override;
};

std::unique_ptr<HostLight> MakeHostLight(const LightSource& source, const Matrix3& camToWorld,
                                         const RayScene* rays);

}  // namespace host
