// The registry of vector outputs: outputs register a LineVectorSink for as
// long as they want the strokes of line effects, and the engine hands the
// registered ones to drawing.
#pragma once

#include <vector>

#include "tarnis/line/frame/vector_sink.h"

namespace tarnis {

void RegisterVectorSink(LineVectorSink* sink);
void UnregisterVectorSink(LineVectorSink* sink);
// The registered sinks, in registration order.
const std::vector<LineVectorSink*>& VectorSinks();

}  // namespace tarnis
