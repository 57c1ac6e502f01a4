// Tests for the strict JSON parser: keys given twice are found wherever they
// are (in small and large objects, deep in arrays), the same key in sibling
// objects is not a repeat, and the document is the one the plain parser gives.
#include "host/json_reader.h"

#include <gtest/gtest.h>

#include <string>

#include <nlohmann/json.hpp>

namespace host {
namespace {

using nlohmann::json;

std::string ParseError(const std::string& text) {
  json out = {{"kept", true}};
  std::string error;
  if (ParseJsonText(text, "f.json", out, &error)) return "";
  EXPECT_EQ(out, json({{"kept", true}})) << "a failed parse changed the output";
  return error;
}

TEST(JsonReader, KeysGivenTwiceAreReportedWhereTheyAre) {
  EXPECT_EQ(ParseError(R"({"a": 1, "b": {"c": 2, "c": 3}})"), "f.json: b.c: the key is given twice");
  EXPECT_EQ(ParseError(R"({"nodes": [{"x": 1}, {"y": [1, {"z": 1, "z": 2}]}]})"),
            "f.json: nodes[1].y[1].z: the key is given twice");
  // An object with many keys, the repeat far from the first.
  std::string many = "{";
  for (int i = 0; i < 40; ++i) many += "\"k" + std::to_string(i) + "\": " + std::to_string(i) + ", ";
  EXPECT_EQ(ParseError(many + "\"k3\": 0}"), "f.json: k3: the key is given twice");
  EXPECT_EQ(ParseError(many + "\"k39x\": 0}"), "");
  // The first repeat is the one named.
  EXPECT_EQ(ParseError(R"({"a": {"b": 1, "b": 2}, "a": 3})"), "f.json: a.b: the key is given twice");
}

TEST(JsonReader, SiblingObjectsMayUseTheSameKeys) {
  std::string text = R"({"list": [)";
  for (int i = 0; i < 1000; ++i) {
    text += std::string(i ? "," : "") + R"({"name": "n)" + std::to_string(i) +
            R"(", "inner": {"name": 1, "size": [1, 2]}, "size": 2})";
  }
  text += R"(], "name": "top"})";
  json out;
  std::string error;
  ASSERT_TRUE(ParseJsonText(text, "f.json", out, &error)) << error;
  EXPECT_EQ(out, json::parse(text));
  EXPECT_EQ(out["list"].size(), 1000u);
  EXPECT_EQ(out["list"][999]["name"], "n999");
}

TEST(JsonReader, SyntaxErrorsKeepTheParsersMessage) {
  const std::string error = ParseError(R"({"a": [1, 2,]})");
  EXPECT_EQ(error.rfind("f.json: invalid JSON: ", 0), 0u) << error;
  EXPECT_NE(error.find("line 1"), std::string::npos) << error;
  EXPECT_EQ(ParseError(R"({"a": 1} x)").rfind("f.json: invalid JSON: ", 0), 0u);
}

}  // namespace
}  // namespace host
