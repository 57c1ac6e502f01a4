#include "tarnis/common/xml_text.h"

#include <cstdint>

namespace tarnis {

namespace {

// Decodes one UTF-8 sequence at text[i]; answers the code point and its
// length, or U+FFFD and 1 for bytes that are not UTF-8.
uint32_t DecodeUtf8(const std::string& text, size_t i, size_t& length) {
  constexpr uint32_t kReplacement = 0xFFFD;
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  length = 1;
  if (lead < 0x80) return lead;
  size_t n = 0;
  uint32_t cp = 0, min = 0;
  if ((lead & 0xE0) == 0xC0) {
    n = 2, cp = lead & 0x1F, min = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    n = 3, cp = lead & 0x0F, min = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    n = 4, cp = lead & 0x07, min = 0x10000;
  } else {
    return kReplacement;
  }
  if (i + n > text.size()) return kReplacement;
  for (size_t k = 1; k < n; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return kReplacement;
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return kReplacement;
  length = n;
  return cp;
}

bool IsXmlChar(uint32_t cp) {
  return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
         (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
}

}  // namespace

std::string XmlEscaped(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    size_t length = 1;
    const uint32_t cp = DecodeUtf8(text, i, length);
    switch (cp) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      // Kept as characters in attribute values, not folded into spaces.
      case '\t':
        out += "&#9;";
        break;
      case '\n':
        out += "&#10;";
        break;
      case '\r':
        out += "&#13;";
        break;
      default:
        if (!IsXmlChar(cp) || cp == 0xFFFD) {
          out += "\xEF\xBF\xBD";
        } else {
          out.append(text, i, length);
        }
    }
    i += length;
  }
  return out;
}

std::string XmlId(const std::string& text) {
  std::string id;
  for (size_t i = 0; i < text.size();) {
    size_t length = 1;
    const uint32_t cp = DecodeUtf8(text, i, length);
    const bool keep = (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z') ||
                      (cp >= '0' && cp <= '9') || cp == '-' || cp == '_' || cp == '.';
    id += keep ? static_cast<char>(cp) : '_';
    i += length;
  }
  const char first = id.empty() ? '0' : id[0];
  const bool canStart =
      (first >= 'a' && first <= 'z') || (first >= 'A' && first <= 'Z') || first == '_';
  return canStart ? id : "_" + id;
}

}  // namespace tarnis
