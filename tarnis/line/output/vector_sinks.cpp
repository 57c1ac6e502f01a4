#include "tarnis/line/output/vector_sinks.h"

#include <algorithm>

namespace tarnis {

namespace {

std::vector<LineVectorSink*>& sinks() {
  static std::vector<LineVectorSink*> list;
  return list;
}

}  // namespace

void RegisterVectorSink(LineVectorSink* sink) {
  if (sink && std::find(sinks().begin(), sinks().end(), sink) == sinks().end()) {
    sinks().push_back(sink);
  }
}

void UnregisterVectorSink(LineVectorSink* sink) {
  sinks().erase(std::remove(sinks().begin(), sinks().end(), sink), sinks().end());
}

const std::vector<LineVectorSink*>& VectorSinks() {
  return sinks();
}

}  // namespace tarnis
