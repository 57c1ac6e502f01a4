#include "tarnis/common/xml_text.h"

#include <gtest/gtest.h>

namespace tarnis {
namespace {

TEST(XmlText, EscapesTextAndMakesIds) {
  EXPECT_EQ(XmlEscaped("a&b<c>\"'"), "a&amp;b&lt;c&gt;&quot;&apos;");
  EXPECT_EQ(XmlEscaped("line\nbreak"), "line&#10;break");
  EXPECT_EQ(XmlEscaped("\xe3\x82\xbb"), "\xe3\x82\xbb");
  // Cut-off, overlong and surrogate sequences are not text.
  EXPECT_EQ(XmlEscaped("\xe3\x82"), "\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(XmlEscaped("\xc0\xaf"), "\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(XmlEscaped("\xed\xa0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(XmlId("Objects(hidden)"), "Objects_hidden_");
  EXPECT_EQ(XmlId("-x"), "_-x");
  EXPECT_EQ(XmlId(""), "_");
}

}  // namespace
}  // namespace tarnis
