// Text for XML files (the SVG writers): escaped character data and ids.
#pragma once

#include <string>

namespace tarnis {

// `text` as XML character data or attribute value: markup characters and
// line breaks are escaped, and what XML cannot hold (bytes that are not
// UTF-8, control characters) becomes U+FFFD.
std::string XmlEscaped(const std::string& text);

// A name usable as an XML id made from `text`: letters, digits, '-', '_' and
// '.' stay, every other character becomes '_', and a name that cannot start
// an id gets a leading '_'.
std::string XmlId(const std::string& text);

}  // namespace tarnis
