// The toon material's parameter blocks and reference layout.
//
// References: 0..6 the blocks main, grad, zone1..zone4, version; 7 the base
// material; 8 the advanced-settings material; 9 highlight map; 10 highlight
// level map; 11 highlight glossiness map; 12 bump map; 13 reflection map;
// then per zone N (1..4) 14 + 7(N-1) its colour map and the next six its
// stroke slots.
//
// Sub-maps (33): 0 highlight, 1 level, 2 glossiness, 3 bump, 4 reflection,
// then per zone 5 + 7(N-1) its colour map and the next six its strokes.
// Sub-materials (2): 0 base, 1 advanced settings.
#pragma once

#include "sdk/param_block.h"

class ClassDesc2;

namespace tarnis {

inline constexpr int kTarmatBlockMain = 0;
inline constexpr int kTarmatBlockGrad = 1;
inline constexpr int kTarmatBlockZone1 = 2;  // zone N is kTarmatBlockZone1 + N - 1
inline constexpr int kTarmatBlockVersion = 6;
inline constexpr int kTarmatNumBlocks = 7;

inline constexpr int kTarmatBaseMtlRef = 7;
inline constexpr int kTarmatExtMtlRef = 8;
inline constexpr int kTarmatHiMapRef = 9;
inline constexpr int kTarmatHiLevelMapRef = 10;
inline constexpr int kTarmatHiGrossMapRef = 11;
inline constexpr int kTarmatBumpMapRef = 12;
inline constexpr int kTarmatReflecMapRef = 13;
inline constexpr int kTarmatZoneRefs = 14;  // zone z (0..3) starts at 14 + 7z
inline constexpr int kTarmatRefsPerZone = 7;
inline constexpr int kTarmatNumRefs = kTarmatZoneRefs + 4 * kTarmatRefsPerZone;  // 42

inline constexpr int kTarmatStrokesPerZone = 6;
inline constexpr int kTarmatNumSubTexmaps = 5 + 4 * kTarmatRefsPerZone;  // 33

constexpr int ZoneMapRef(int zone) { return kTarmatZoneRefs + kTarmatRefsPerZone * zone; }
constexpr int StrokeRef(int zone, int slot) { return ZoneMapRef(zone) + 1 + slot; }

// Block "main".
enum TarmatMainParam : ParamID {
  kTmBaseMaterial = 0,
  kTmShade = 1,
  kTmHiColor = 2,
  kTmHiBlend = 3,
  kTmHiLevel = 4,
  kTmHiGross = 5,
  kTmHiSharp = 6,
  kTmHiAniso = 7,
  kTmHiOrient = 8,
  kTmHiMapOpacity = 9,
  kTmHiMapEnable = 10,
  kTmHiMap = 11,
  kTmHiLevelMap = 12,
  kTmHiGrossMap = 13,
  kTmBumpEnable = 14,
  kTmBumpAmount = 15,
  kTmBumpMap = 16,
  kTmReflecEnable = 17,
  kTmReflecAmount = 18,
  kTmReflecMap = 19,
  kTmRndAuto = 20,
  kTmRndInterval = 21,
  kTmRndMoveDetect = 22,
  kTmStrokeScale = 23,
  kTmStrokeOnly = 24,
  kTmStrokeHiddenFace = 25,
  kTmExtMaterial = 26,
  kTmHiAlpha = 27,
};

// Block "grad": one button for the advanced-settings material.
inline constexpr ParamID kTgExtMaterial = 0;

// Blocks "zone1".."zone4"; names carry the zone digit ("zoneMin1").
enum TarmatZoneParam : ParamID {
  kTzMin = 0,
  kTzMax = 1,
  kTzEnable = 2,
  kTzColor = 3,
  kTzMapOpacity = 4,
  kTzMapEnable = 5,
  kTzMap = 6,
  kTzBlend = 7,
  kTzAlpha = 8,
  kTzStrokeEnable = 9,
  kTzStroke = 10,
};

ParamBlockDesc2* TarmatBlockDesc(int block);
void BindTarmatBlocks(ClassDesc2* cd);

}  // namespace tarnis
