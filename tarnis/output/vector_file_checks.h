// Test helpers that look at written vector files from outside: Ghostscript
// rasterises EPS files (a file it cannot read, or reads with an error, fails
// the check), and a small XML reader checks that an SVG file is well formed
// and hands back its elements.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sdk/testing/scratch_dir.h"

namespace tarnis::testing {

inline bool HaveGhostscript() {
  static const bool have = std::system("gs --version >/dev/null 2>&1") == 0;
  return have;
}

// Runs Ghostscript on `eps` with `device` into `out` at one pixel per point;
// true when it exits with 0 and prints no error. Its messages go to `log`.
inline bool RunGhostscript(const std::string& eps, const std::string& out, const char* device,
                           std::string* log) {
  const std::string logFile = out + ".log";
  const std::string command = std::string("gs -q -dSAFER -dBATCH -dNOPAUSE -dEPSCrop -sDEVICE=") +
                              device + " -r72 -sOutputFile='" + out + "' '" + eps + "' >'" +
                              logFile + "' 2>&1";
  const int status = std::system(command.c_str());
  *log = ReadBytes(logFile);
  return status == 0 && log->find("Error") == std::string::npos;
}

// Checks that Ghostscript renders the file as a PNG without an error; does
// nothing where Ghostscript is not installed (the tests that need it skip).
inline void ExpectGhostscriptReads(const std::string& eps) {
  if (!HaveGhostscript()) return;
  std::string log;
  EXPECT_TRUE(RunGhostscript(eps, eps + ".png", "pnggray", &log)) << eps << ":\n"
                                                                  << log << "\n"
                                                                  << ReadBytes(eps).substr(0, 3000);
}

// A grey image, rows from the top.
struct GreyImage {
  int width = 0, height = 0;
  std::vector<uint8_t> pixels;
  int At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Rasterises `eps` through a binary PGM file; nothing when Ghostscript fails.
inline std::optional<GreyImage> RasteriseGrey(const std::string& eps, std::string* log) {
  const std::string pgm = eps + ".pgm";
  if (!RunGhostscript(eps, pgm, "pgmraw", log)) return std::nullopt;
  const std::string bytes = ReadBytes(pgm);
  // "P5", width, height and the largest value, separated by white space and
  // comment lines, then one byte of white space and the pixels.
  GreyImage image;
  size_t at = 0;
  auto token = [&]() {
    while (at < bytes.size()) {
      if (bytes[at] == '#') {
        while (at < bytes.size() && bytes[at] != '\n') ++at;
      } else if (std::isspace(static_cast<unsigned char>(bytes[at]))) {
        ++at;
      } else {
        break;
      }
    }
    const size_t start = at;
    while (at < bytes.size() && !std::isspace(static_cast<unsigned char>(bytes[at]))) ++at;
    return bytes.substr(start, at - start);
  };
  if (token() != "P5") return std::nullopt;
  image.width = std::atoi(token().c_str());
  image.height = std::atoi(token().c_str());
  if (token() != "255" || image.width <= 0 || image.height <= 0) return std::nullopt;
  const size_t start = at + 1;
  const size_t count = static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
  if (bytes.size() < start + count) return std::nullopt;
  image.pixels.assign(bytes.begin() + static_cast<std::ptrdiff_t>(start),
                      bytes.begin() + static_cast<std::ptrdiff_t>(start + count));
  return image;
}

// --- A small XML reader -----------------------------------------------------------

struct XmlElement {
  std::string name;
  std::map<std::string, std::string> attributes;  // values with references resolved
  std::vector<std::unique_ptr<XmlElement>> children;
  XmlElement* parent = nullptr;

  // Every element below this one with that name, in document order.
  void FindAll(const std::string& tag, std::vector<const XmlElement*>& out) const {
    for (const auto& child : children) {
      if (child->name == tag) out.push_back(child.get());
      child->FindAll(tag, out);
    }
  }
  std::string Attr(const std::string& key) const {
    auto it = attributes.find(key);
    return it == attributes.end() ? std::string() : it->second;
  }
};

// Reads a whole document without comments: an optional declaration and
// one root element. Checks the UTF-8, the characters XML allows, names, quoting,
// entity and character references, unique attributes, matching end tags and
// that every namespace prefix used is declared.
class XmlReader {
 public:
  explicit XmlReader(const std::string& text) : s_(text) {}

  std::unique_ptr<XmlElement> Read(std::string* problem) {
    std::unique_ptr<XmlElement> root;
    if (!checkCharacters()) return fail(problem);
    if (s_.compare(0, 5, "<?xml") == 0) {
      const size_t end = s_.find("?>");
      if (end == std::string::npos) return fail(problem, "unterminated declaration");
      i_ = end + 2;
    }
    while (true) {
      skipSpace();
      if (i_ >= s_.size()) break;
      if (root) return fail(problem, "content after the root element");
      if (s_[i_] != '<') return fail(problem, "text outside the root element");
      root = element(nullptr);
      if (!root) return fail(problem);
    }
    if (!root) return fail(problem, "no root element");
    return root;
  }

 private:
  std::unique_ptr<XmlElement> fail(std::string* problem, const std::string& why = "") {
    if (!why.empty()) error_ = why;
    if (problem) *problem = error_ + " at byte " + std::to_string(i_);
    return nullptr;
  }
  bool error(const std::string& why) {
    error_ = why;
    return false;
  }
  std::unique_ptr<XmlElement> bad(const std::string& why) {
    error_ = why;
    return nullptr;
  }

  bool checkCharacters() {
    for (size_t k = 0; k < s_.size();) {
      const unsigned char c = static_cast<unsigned char>(s_[k]);
      size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
      if (n == 0 || k + n > s_.size()) return error("bytes that are not UTF-8");
      uint32_t cp = n == 1 ? c : c & (0x7F >> n);
      for (size_t j = 1; j < n; ++j) {
        const unsigned char d = static_cast<unsigned char>(s_[k + j]);
        if ((d & 0xC0) != 0x80) return error("bytes that are not UTF-8");
        cp = (cp << 6) | (d & 0x3F);
      }
      const bool allowed = cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
                           (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
      if (!allowed) return error("a character XML does not allow");
      k += n;
    }
    return true;
  }

  void skipSpace() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\t' || s_[i_] == '\r'))
      ++i_;
  }

  static bool nameStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' ||
           static_cast<unsigned char>(c) >= 0x80;
  }
  static bool nameChar(char c) {
    return nameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
  }
  bool name(std::string& out) {
    if (i_ >= s_.size() || !nameStart(s_[i_])) return error("expected a name");
    const size_t start = i_;
    while (i_ < s_.size() && nameChar(s_[i_])) ++i_;
    out = s_.substr(start, i_ - start);
    return true;
  }

  // Resolves the references in [start, end); false for a bad one or a '<'.
  bool text(size_t start, size_t end, std::string& out) {
    for (size_t k = start; k < end; ++k) {
      if (s_[k] == '<') return error("'<' in text");
      if (s_[k] != '&') {
        out += s_[k];
        continue;
      }
      const size_t semi = s_.find(';', k);
      if (semi == std::string::npos || semi >= end) return error("unterminated reference");
      const std::string ref = s_.substr(k + 1, semi - k - 1);
      static const std::map<std::string, std::string> kEntities = {
          {"amp", "&"}, {"lt", "<"}, {"gt", ">"}, {"quot", "\""}, {"apos", "'"}};
      if (auto it = kEntities.find(ref); it != kEntities.end()) {
        out += it->second;
      } else if (ref.size() > 1 && ref[0] == '#') {
        const bool hex = ref[1] == 'x';
        const std::string digits = ref.substr(hex ? 2 : 1);
        if (digits.empty() || digits.find_first_not_of(hex ? "0123456789abcdefABCDEF"
                                                           : "0123456789") != std::string::npos) {
          return error("bad character reference &" + ref + ";");
        }
        const unsigned long cp = std::stoul(digits, nullptr, hex ? 16 : 10);
        if (!(cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
              (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF))) {
          return error("reference to a character XML does not allow");
        }
        if (cp < 0x80) out += static_cast<char>(cp);  // enough for the tests' checks
      } else {
        return error("unknown entity &" + ref + ";");
      }
      k = semi;
    }
    return true;
  }

  bool prefixDeclared(const XmlElement* e, const std::string& qname) {
    const size_t colon = qname.find(':');
    if (colon == std::string::npos) return true;
    const std::string prefix = qname.substr(0, colon);
    if (prefix == "xmlns" || prefix == "xml") return true;
    for (; e; e = e->parent) {
      if (e->attributes.count("xmlns:" + prefix)) return true;
    }
    return false;
  }

  std::unique_ptr<XmlElement> element(XmlElement* parent) {
    auto e = std::make_unique<XmlElement>();
    e->parent = parent;
    ++i_;  // '<'
    if (!name(e->name)) return nullptr;
    while (true) {
      const size_t before = i_;
      skipSpace();
      if (i_ >= s_.size()) return bad("unterminated tag");
      if (s_[i_] == '/' || s_[i_] == '>') break;
      if (i_ == before) return bad("attributes need space between them");
      std::string key;
      if (!name(key)) return nullptr;
      skipSpace();
      if (i_ >= s_.size() || s_[i_] != '=') return bad("expected '='");
      ++i_;
      skipSpace();
      if (i_ >= s_.size() || (s_[i_] != '"' && s_[i_] != '\'')) {
        return bad("unquoted attribute value");
      }
      const char quote = s_[i_++];
      const size_t end = s_.find(quote, i_);
      if (end == std::string::npos) return bad("unterminated attribute value");
      std::string value;
      if (!text(i_, end, value)) return nullptr;
      i_ = end + 1;
      if (!e->attributes.emplace(key, value).second) {
        return bad("attribute " + key + " given twice");
      }
    }
    for (const auto& [key, value] : e->attributes) {
      if (!prefixDeclared(e.get(), key)) return bad("undeclared prefix in " + key);
    }
    if (!prefixDeclared(e.get(), e->name)) return bad("undeclared prefix in " + e->name);
    if (s_[i_] == '/') {
      if (s_.compare(i_, 2, "/>") != 0) return bad("expected '/>'");
      i_ += 2;
      return e;
    }
    ++i_;  // '>'
    while (true) {
      const size_t next = s_.find('<', i_);
      if (next == std::string::npos) return bad("missing end tag of " + e->name);
      std::string ignored;
      if (!text(i_, next, ignored)) return nullptr;
      i_ = next;
      if (s_.compare(i_, 2, "</") == 0) {
        i_ += 2;
        std::string endName;
        if (!name(endName)) return nullptr;
        skipSpace();
        if (endName != e->name || i_ >= s_.size() || s_[i_] != '>') {
          return bad("end tag </" + endName + "> does not close <" + e->name + ">");
        }
        ++i_;
        return e;
      }
      auto child = element(e.get());
      if (!child) return nullptr;
      e->children.push_back(std::move(child));
    }
  }

  const std::string& s_;
  size_t i_ = 0;
  std::string error_ = "malformed";
};

}  // namespace tarnis::testing
