// The --frames syntax of `tarnis render`: items separated by commas, each one
// frame A, a range A-B, or every STEP-th frame of a range A-B:STEP
// ("1-100:5", "1,5,9-12"). The frames named are rendered, each once, in
// ascending order.
#pragma once

#include <string>
#include <vector>

namespace tarnis_cli {

// The frames `text` names, ascending without repeats, each 0..kMaxFrame;
// false with a message naming the text and the syntax otherwise.
bool ParseFrameList(const std::string& text, std::vector<int>& frames, std::string* error);

// The frames for messages: "frame 7", "frames 3-9" for a plain range, else
// "20 frames from 1 to 96".
std::string DescribeFrames(const std::vector<int>& frames);

}  // namespace tarnis_cli
