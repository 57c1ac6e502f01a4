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
