// Named ids of the plug-in's user-interface texts (see string_table.h): each
// text's number is defined once here and used by name everywhere else.
#pragma once

namespace tarnis {

// Progress titles of the line pass.
inline constexpr int kStrDetectingObjectEdges = 673;
inline constexpr int kStrDetectingIntersectionEdges = 674;
inline constexpr int kStrLinkingEdges1 = 675;
inline constexpr int kStrLinkingEdges2 = 676;
inline constexpr int kStrDrawingLines = 677;

}  // namespace tarnis
