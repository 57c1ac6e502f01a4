// The text forms of values in settings files: "%f" floats, "%d" ints and
// "%f %f %f" colours, written and parsed independently of the process
// locale (the decimal point is always "."), and the bounded copy of a value
// into a caller's buffer.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "sdk/color.h"

namespace tarnis {

// Six digits after the point, like "%f": 0.5f gives "0.500000".
std::string FormatFloat(float v);
// "%f %f %f" of red, green and blue.
std::string FormatColor(const Color& c);

// Parse the leading number of a text after optional spaces and an optional
// "+", like scanf would, ignoring what follows it. Nothing when there is no
// number, it does not fit the type, or (for floats) it is not finite.
std::optional<float> ParseFloat(std::string_view text);
std::optional<int> ParseInt(std::string_view text);
// Three floats separated by spaces; nothing unless all three parse.
std::optional<Color> ParseColor(std::string_view text);

// Copies at most size - 1 bytes of `text` into `buffer` and terminates it;
// a cut never splits a UTF-8 sequence. size must be at least 1.
void CopyToBuffer(std::string_view text, char* buffer, int size);

}  // namespace tarnis
