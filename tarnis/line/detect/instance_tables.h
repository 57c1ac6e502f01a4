// The lazily built tables of an instance record that detection reads: the
// screen position of every vertex, the flags of every face (near, back,
// two-sided, hides lines, gives edges) and the faces that can hide lines in
// clusters of 32 with their boxes. Each is built at most once per frame; a
// build answers false when its inputs are missing (an empty record) or an
// earlier attempt failed.
#pragma once

#include "tarnis/line/frame/line_instance.h"

namespace tarnis {

bool BuildScreenVerts(DetectAndISectInstance& record);
// Builds the screen vertices first.
bool BuildFaceFlags(DetectAndISectInstance& record);
// Builds the face flags first.
bool BuildOccluders(DetectAndISectInstance& record);

}  // namespace tarnis
