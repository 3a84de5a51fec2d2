// The .wal_json metadata: files that set fields (numbers, names in any case, lists of both,
// comments, other keys) and files refused, each with its reason.
#include "texture/wal_json.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnvick::testing {
namespace {

Result<WalMetadata> Parse(const std::string& text) {
  return ParseWalJson({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

TEST(WalJson, SetsTheFieldsItNames) {
  using Bits = std::optional<std::uint32_t>;
  const std::string name31(31, 'n');
  const struct {
    std::string text;
    Bits flags, contents, value;
    std::optional<std::string> animation;
  } cases[] = {
      {"{}", {}, {}, {}, {}},
      {R"({"flags": 0, "contents": 4294967295, "value": 77})", 0, 0xFFFFFFFF, 77, {}},
      {R"({"flags": "light", "contents": "Ladder"})", 0x1, 0x20000000, {}, {}},
      {R"({"flags": ["SKY", 8, "nodraw", "Hint", 1024], "contents": ["current_180", "DETAIL", 0]})", 0x4 | 0x8 | 0x80 | 0x100 | 0x400, 0x100000 | 0x8000000, {}, {}},
      {R"({"contents": ["current_180", "DETAIL", 3, "window"]})", {}, 0x100000 | 0x8000000 | 0x3, {}, {}},
      {R"({"flags": ["TRANS33", "trans66", "FLOWING", "slick", "warp", "skip"], "contents": []})", 0x10 | 0x20 | 0x40 | 0x2 | 0x8 | 0x200, 0, {}, {}},
      {R"({"contents": ["solid", "aux", "lava", "slime", "water", "mist", "areaportal", "playerclip", "monsterclip"]})", {}, 0x1 | 0x4 | 0x8 | 0x10 | 0x20 | 0x40 | 0x8000 | 0x10000 | 0x20000, {}, {}},
      {R"({"contents": ["CURRENT_0", "current_90", "current_270", "current_up", "current_down", "origin", "monster", "deadmonster", "translucent"]})", {}, 0x40000 | 0x80000 | 0x200000 | 0x400000 | 0x800000 | 0x1000000 | 0x2000000 | 0x4000000 | 0x10000000, {}, {}},
      {"// a comment\n{ /* one more */ \"value\": 1.0e3, // the end\n \"animation\": \"" + name31 + "\" }", {}, {}, 1000, name31},
      {R"({"width": 64, "height": "x", "color": [1, 2, 3], "value": 5, "value": 6, "animation": ""})", {}, {}, 6, ""},
  };
  for (const auto& c : cases) {
    const Result<WalMetadata> metadata = Parse(c.text);
    ASSERT_TRUE(metadata) << c.text << ": " << metadata.error().detail;
    EXPECT_EQ(metadata->flags, c.flags) << c.text;
    EXPECT_EQ(metadata->contents, c.contents) << c.text;
    EXPECT_EQ(metadata->value, c.value) << c.text;
    EXPECT_EQ(metadata->animation, c.animation) << c.text;
  }
}

TEST(WalJson, RefusesWithTheReason) {
  const struct {
    std::string text, reason;
  } cases[] = {
      {"", "line 1: not valid JSON"},
      {"{\n  \"flags\": 1,\n  \"value\": }\n", "line 3: not valid JSON"},
      {"{\"flags\": 1}\n\n  x", "line 3: not valid JSON"},
      {"{\n\"value\": 1e999}", "line 2: not valid JSON"},
      {"{\n\"animation\": \"a\nb\"}", "line 2: not valid JSON"},
      {"{\"value\": 1 /* open", "line 1: not valid JSON"},
      {"[1, 2]", "not a JSON object"},
      {"\"flags\"", "not a JSON object"},
      {R"({"flags": 4294967296})", "flags: 4294967296 is over 4294967295"},
      {R"({"contents": [1, -3]})", "contents: -3 is below 0"},
      {R"({"value": 1.5})", "value: 1.5 is not a whole number"},
      {R"({"value": -0.5})", "value: -0.5 is below 0"},
      {R"({"value": 5e9})", "value: 5000000000 is over 4294967295"},
      {R"({"flags": 1e300})", "flags: 1e+300 is over 4294967295"},
      {R"({"flags": 18446744073709551616})", "flags: 18446744073709551616 is over 4294967295"},
      {R"({"flags": ["LIGHT", "lights"]})", "flags: unknown name \"lights\""},
      {R"({"contents": "LIGHT"})", "contents: unknown name \"LIGHT\""},
      {R"({"flags": true})", "flags: not a number, a name or a list of them"},
      {R"({"contents": [[1]]})", "contents: not a number, a name or a list of them"},
      {R"({"flags": [null]})", "flags: not a number, a name or a list of them"},
      {R"({"value": "7"})", "value: not a whole number"},
      {R"({"value": [7]})", "value: not a whole number"},
      {R"({"animation": 3})", "animation: not a string"},
      {R"({"animation": ")" + std::string(32, 'n') + "\"}", "animation: name over 31 bytes"},
  };
  for (const auto& c : cases) {
    const Result<WalMetadata> metadata = Parse(c.text);
    ASSERT_FALSE(metadata) << c.text;
    EXPECT_EQ(metadata.error().kind, ErrorKind::kBadMetadata) << c.text;
    EXPECT_EQ(metadata.error().detail, c.reason) << c.text;
  }
}

}  // namespace
}  // namespace tarnvick::testing
