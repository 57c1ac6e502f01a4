// Materials and maps. MtlBase is what materials and texture maps share
// (sub-maps, Update at a time, Validity, Requirements); Mtl shades a sample
// (Shade writes sc.out); Texmap answers a colour, a mono value or a normal
// perturbation for a sample. Update runs on the interface thread before a
// render; Shade and Eval* run concurrently on render threads and only read.
#pragma once

#include <vector>

#include "sdk/color.h"
#include "sdk/interval.h"
#include "sdk/reference.h"
#include "sdk/shade_context.h"

class UVGen;
class RenderMapsContext;

// Requirements bits.
inline constexpr uint32_t MTLREQ_2SIDE = 1u << 0;       // two-sided: back faces shade too
inline constexpr uint32_t MTLREQ_WIRE = 1u << 1;
inline constexpr uint32_t MTLREQ_UV = 1u << 3;          // needs channel 1 coordinates
inline constexpr uint32_t MTLREQ_BUMP = 1u << 5;
inline constexpr uint32_t MTLREQ_TRANSP = 1u << 8;      // may be partly transparent
inline constexpr uint32_t MTLREQ_AUTOREFLECT = 1u << 12;  // has maps that render sub-views

class MtlBase : public ReferenceTarget {
 public:
  // Evaluates parameters at t into working copies; narrows `valid`.
  virtual void Update(TimeValue t, Interval& valid) = 0;
  virtual void Reset() {}
  // How long the working copies stay valid.
  virtual Interval Validity(TimeValue t) = 0;
  virtual uint32_t Requirements(int subMtlNum) { (void)subMtlNum; return 0; }
  // Mapping channels needed (bit per channel 0..99 in a small set).
  virtual void LocalMappingsRequired(int subMtlNum, std::vector<int>& channels) {
    (void)subMtlNum, (void)channels;
  }

  virtual int NumSubTexmaps() { return 0; }
  virtual class Texmap* GetSubTexmap(int /*i*/) { return nullptr; }
  virtual void SetSubTexmap(int /*i*/, class Texmap* /*m*/) {}
  virtual CStr GetSubTexmapSlotName(int /*i*/) { return ""; }
  virtual bool SubTexmapOn(int i) { return GetSubTexmap(i) != nullptr; }

  // Renders the sub-views this map or material needs for the frame (cube
  // maps); answers false to abort the render.
  virtual bool BuildMaps(TimeValue /*t*/, RenderMapsContext& /*rmc*/) { return true; }

  const char* GetName() const { return name_.data(); }
  void SetName(const char* name) { name_ = name; }

  // Saves and loads the name; classes with data of their own that override
  // these call them too (SaveName / LoadName) or keep the name themselves.
  IOResult Save(ISave* isave) override { return SaveName(isave); }
  IOResult Load(ILoad* iload) override { return LoadName(iload); }
  IOResult SaveName(ISave* isave);
  // Reads the name chunk among the chunks of the current level, skipping others.
  IOResult LoadName(ILoad* iload);

 private:
  CStr name_;
};

class Mtl : public MtlBase {
 public:
  SClass_ID SuperClassID() override { return MATERIAL_CLASS_ID; }

  // Shades the sample: writes sc.out (colour, transparency, ior, elements).
  virtual void Shade(ShadeContext& sc) = 0;

  virtual int NumSubMtls() { return 0; }
  virtual Mtl* GetSubMtl(int /*i*/) { return nullptr; }
  virtual void SetSubMtl(int /*i*/, Mtl* /*m*/) {}
  virtual CStr GetSubMtlSlotName(int /*i*/) { return ""; }
  // True for a multi-material that picks its sub-material by face material id.
  virtual bool IsMultiMtl() { return false; }

  // Colours shown in viewports and material lists.
  virtual Color GetAmbient(int = 0, bool = false) { return {}; }
  virtual Color GetDiffuse(int = 0, bool = false) { return {}; }
  virtual Color GetSpecular(int = 0, bool = false) { return {}; }
  virtual float GetShininess(int = 0, bool = false) { return 0.0f; }
  virtual float GetShinStr(int = 0, bool = false) { return 0.0f; }
  virtual float GetXParency(int = 0, bool = false) { return 0.0f; }
};

class Texmap : public MtlBase {
 public:
  SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }

  virtual AColor EvalColor(ShadeContext& sc) = 0;
  // Intensity; the default is the colour's mean.
  virtual float EvalMono(ShadeContext& sc) { return EvalColor(sc).RGB().Average(); }
  // Camera-space perturbation of the shading normal (bump).
  virtual Point3 EvalNormalPerturb(ShadeContext& /*sc*/) { return {}; }
  // The map's coordinate generator, or null.
  virtual UVGen* GetTheUVGen() { return nullptr; }
  UVGen* GetUVGen() { return GetTheUVGen(); }
  // Mapping channel used (1 by default).
  virtual int GetMapChannel() { return 1; }
};

// Texture coordinate generators.
inline constexpr int UVWSRC_EXPLICIT = 0;   // a mesh map channel
inline constexpr int UVWSRC_OBJXYZ = 1;     // object XYZ
inline constexpr int UVWSRC_EXPLICIT2 = 2;  // vertex colour channel
inline constexpr int UVWSRC_WORLDXYZ = 3;   // world XYZ
// Mapping types of an environment slot.
inline constexpr int UVMAP_EXPLICIT = 0;
inline constexpr int UVMAP_SPHERE_ENV = 1;
inline constexpr int UVMAP_CYL_ENV = 2;
inline constexpr int UVMAP_SHRINK_ENV = 3;
inline constexpr int UVMAP_SCREEN_ENV = 4;
// Slot types.
inline constexpr int MAPSLOT_TEXTURE = 0;
inline constexpr int MAPSLOT_ENVIRON = 1;
// Tiling flags.
inline constexpr int U_WRAP = 1 << 0;
inline constexpr int V_WRAP = 1 << 1;
inline constexpr int U_MIRROR = 1 << 2;
inline constexpr int V_MIRROR = 1 << 3;
// Flags of the standard generator.
inline constexpr int UV_NOISE = 1 << 4;      // 16
inline constexpr int UV_NOISE_ANI = 1 << 5;  // 32

class UVGen : public MtlBase {
 public:
  SClass_ID SuperClassID() override { return UVGEN_CLASS_ID; }
  // Coordinates (and their derivative) of the sample for this generator.
  virtual void GetUV(ShadeContext& sc, Point2& uv, Point2& duv) = 0;
  virtual Point3 GetUVW(ShadeContext& sc) = 0;
};

// The standard generator: channel or environment mapping, offsets, tiling,
// angles, blur and noise. The getters and setters are those the settings
// files read and write.
class StdUVGen : public UVGen {
 public:
  virtual int GetCoordMapping(int = 0) = 0;
  virtual void SetCoordMapping(int) = 0;
  virtual float GetUOffs(TimeValue) = 0;
  virtual float GetVOffs(TimeValue) = 0;
  virtual float GetUScl(TimeValue) = 0;
  virtual float GetVScl(TimeValue) = 0;
  virtual float GetAng(TimeValue) = 0;  // W angle, radians
  virtual float GetUAng(TimeValue) = 0;
  virtual float GetVAng(TimeValue) = 0;
  virtual float GetWAng(TimeValue) = 0;
  virtual float GetBlur(TimeValue) = 0;
  virtual float GetBlurOffs(TimeValue) = 0;
  virtual float GetNoiseAmt(TimeValue) = 0;
  virtual float GetNoiseSize(TimeValue) = 0;
  virtual int GetNoiseLev(TimeValue) = 0;
  virtual float GetNoisePhs(TimeValue) = 0;
  virtual void SetUOffs(float, TimeValue) = 0;
  virtual void SetVOffs(float, TimeValue) = 0;
  virtual void SetUScl(float, TimeValue) = 0;
  virtual void SetVScl(float, TimeValue) = 0;
  virtual void SetAng(float, TimeValue) = 0;
  virtual void SetUAng(float, TimeValue) = 0;
  virtual void SetVAng(float, TimeValue) = 0;
  virtual void SetWAng(float, TimeValue) = 0;
  virtual void SetBlur(float, TimeValue) = 0;
  virtual void SetBlurOffs(float, TimeValue) = 0;
  virtual void SetNoiseAmt(float, TimeValue) = 0;
  virtual void SetNoiseSize(float, TimeValue) = 0;
  virtual void SetNoiseLev(int, TimeValue) = 0;
  virtual void SetNoisePhs(float, TimeValue) = 0;
  virtual int GetTextureTiling() = 0;
  virtual void SetTextureTiling(int tiling) = 0;
  virtual int GetMapChannel() = 0;
  virtual void SetMapChannel(int channel) = 0;
  virtual int GetFlag(int flag) = 0;
  virtual void SetFlag(int flag, int value) = 0;
  virtual int GetSymFlags() = 0;
  virtual void SetSymFlags(int flags) = 0;
  virtual bool GetHideMapBackFlag() = 0;
  virtual void SetHideMapBackFlag(bool hide) = 0;
  virtual int GetUVWSource() = 0;
  virtual void SetUVWSource(int source) = 0;
  virtual int GetSlotType() = 0;
  virtual void SetSlotType(int type) = 0;
  virtual int GetAxis() = 0;  // 0 XY, 1 YZ, 2 ZX
  virtual void SetAxis(int axis) = 0;
  virtual int GetClipFlag() = 0;
  virtual void SetClipFlag(int clip) = 0;
};

// Illumination channels handed between a material and its shader.
inline constexpr int kStdIllumChannels = 12;
inline constexpr int ID_AM = 0;  // ambient
inline constexpr int ID_DI = 1;  // diffuse
inline constexpr int ID_SP = 2;  // specular
inline constexpr int ID_SH = 3;  // glossiness
inline constexpr int ID_SS = 4;  // specular level
inline constexpr int ID_SI = 5;  // self-illumination
inline constexpr int ID_OP = 6;  // opacity
inline constexpr int ID_FI = 7;  // filter colour
inline constexpr int ID_BU = 8;  // bump
inline constexpr int ID_RL = 9;  // reflection
inline constexpr int ID_RR = 10;  // refraction
inline constexpr int ID_DP = 11;  // displacement

class Shader;

// What a shader reads (channels, context, material) and writes (components).
class IllumParams {
 public:
  void ClearOutputs() {
    ambIllumOut = diffIllumOut = transIllumOut = selfIllumOut = specIllumOut = reflIllumOut =
        Color();
    diffIllumIntens = 0.0f;
    finalC = finalT = Color();
    finalOpac = 1.0f;
  }

  ShadeContext* pShadeContext = nullptr;
  Shader* pShader = nullptr;
  Mtl* pMtl = nullptr;
  Color channels[kStdIllumChannels];
  float finalAttenuation = 1.0f;
  Point3 N;  // shading normal, camera space
  Point3 V;  // view direction, camera space

  Color ambIllumOut, diffIllumOut, transIllumOut, selfIllumOut, specIllumOut, reflIllumOut;
  float diffIllumIntens = 0.0f;
  Color finalC, finalT;
  float finalOpac = 1.0f;
};

// The lighting model a standard material shades with.
class Shader : public ReferenceTarget {
 public:
  SClass_ID SuperClassID() override { return SHADER_CLASS_ID; }

  virtual void Update(TimeValue t, Interval& valid) = 0;
  virtual void Reset() {}
  // Fills the illumination channels from the shader's own parameters.
  virtual void GetIllumParams(ShadeContext& sc, IllumParams& ip) = 0;
  // Gathers light into the illumination outputs.
  virtual void Illum(ShadeContext& sc, IllumParams& ip) = 0;
  // Combines the outputs into finalC in the standard way.
  virtual void CombineComponents(ShadeContext& sc, IllumParams& ip);

  virtual void SetAmbientClr(const Color& c, TimeValue t) = 0;
  virtual void SetDiffuseClr(const Color& c, TimeValue t) = 0;
  virtual void SetSpecularClr(const Color& c, TimeValue t) = 0;
  virtual void SetSelfIllumClr(const Color& c, TimeValue t) = 0;
  virtual void SetSelfIllum(float v, TimeValue t) = 0;
  virtual void SetGlossiness(float v, TimeValue t) = 0;
  virtual void SetSpecularLevel(float v, TimeValue t) = 0;
  virtual Color GetAmbientClr(int mtlNum, bool backFace) = 0;
  virtual Color GetDiffuseClr(int mtlNum, bool backFace) = 0;
  virtual Color GetSpecularClr(int mtlNum, bool backFace) = 0;
  virtual float GetGlossiness(int mtlNum, bool backFace) = 0;
  virtual float GetSpecularLevel(int mtlNum, bool backFace) = 0;
  virtual float GetSelfIllum(int mtlNum, bool backFace) = 0;
};

// The host's standard material (Blinn shading, no maps), new and not yet
// referenced by anything: reference it, or it is never freed. Made through
// the class directory (STANDARD_MATERIAL_CLASS_ID), so plug-ins reach the
// host's class without linking the host; null where no host registered it.
Mtl* NewDefaultStdMat();
// The host's standard reflect/refract map, likewise new and made through the
// class directory (STANDARD_CUBIC_CLASS_ID); null where no host registered it.
Texmap* NewDefaultStdCubic();
// The host's standard texture-coordinate generator at its defaults (map
// channel 1), likewise new and made through the class directory
// (STANDARD_UVGEN_CLASS_ID); null where no host registered it.
StdUVGen* NewDefaultStdUVGen();
