// Named ids of the plug-in's user-interface texts (see string_table.h): each
// text's number is defined once here and used by name everywhere else.
#pragma once

namespace tarnis {

// The plug-in's description in the host's module list.
inline constexpr int kStrLibDescription = 1;
// The undo entry of a change made in the shape editor.
inline constexpr int kStrParameterChange = 9183;

// Class names the host shows.
inline constexpr int kStrLineSettingClassName = 136;
inline constexpr int kStrLineEffectClassName = 500;
inline constexpr int kStrLineSetClassName = 600;
inline constexpr int kStrBrushClassName = 900;
inline constexpr int kStrToonMaterialClassName = 100;
inline constexpr int kStrStrokeClassName = 300;
inline constexpr int kStrMaterialExtClassName = 200;
inline constexpr int kStrMaterialExtHolderClassName = 289;
inline constexpr int kStrStrokeHolderClassName = 390;
inline constexpr int kStrExtShaderClassName = 30563;

// The toon material's warnings (shown with the caption "Tarnis").
inline constexpr int kStrOnlyStrokeMaps = 1100;
inline constexpr int kStrOnlyMaterialExt = 1101;

// The toon material's sub-map and sub-material slot names.
inline constexpr int kStrSlotHighlightMap = 1110;
inline constexpr int kStrSlotHighlightLevelMap = 1111;
inline constexpr int kStrSlotHighlightGlossMap = 1112;
inline constexpr int kStrSlotBumpMap = 1113;
inline constexpr int kStrSlotReflectionMap = 1114;
inline constexpr int kStrZone = 1115;
inline constexpr int kStrStroke = 1116;
inline constexpr int kStrMap = 1117;
inline constexpr int kStrSlotBaseMaterial = 1118;
inline constexpr int kStrSlotExtMaterial = 1119;
// The advanced-settings material's sub-map slot names.
inline constexpr int kStrSlotGradOffsetMap = 1120;
inline constexpr int kStrSlotShadowMap = 1121;

// Display names of the shape control's parameters: parameter id i has the
// text kStrShapeParamNames + i.
inline constexpr int kStrShapeParamNames = 700;

// The names of the blend modes are the texts whose numbers are the modes
// themselves (kBlendNormal = 50 ... kBlendLuminosity = 65, blend_color.h).

// Progress titles of the line pass.
inline constexpr int kStrDetectingObjectEdges = 673;
inline constexpr int kStrDetectingIntersectionEdges = 674;
inline constexpr int kStrLinkingEdges1 = 675;
inline constexpr int kStrLinkingEdges2 = 676;
inline constexpr int kStrDrawingLines = 677;

}  // namespace tarnis
