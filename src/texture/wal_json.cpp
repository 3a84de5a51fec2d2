#include "texture/wal_json.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string_view>
#include <tuple>

#include <nlohmann/json.hpp>

namespace tarnvick {
namespace {

using Json = nlohmann::json;

struct NamedBits {
  std::string_view name;  // in upper case
  std::uint32_t bits;
};

constexpr std::array<NamedBits, 10> kSurfaceFlags = {{
    {"LIGHT", 0x1}, {"SLICK", 0x2}, {"SKY", 0x4}, {"WARP", 0x8}, {"TRANS33", 0x10},
    {"TRANS66", 0x20}, {"FLOWING", 0x40}, {"NODRAW", 0x80}, {"HINT", 0x100}, {"SKIP", 0x200},
}};

constexpr std::array<NamedBits, 22> kContents = {{
    {"SOLID", 0x1}, {"WINDOW", 0x2}, {"AUX", 0x4}, {"LAVA", 0x8}, {"SLIME", 0x10}, {"WATER", 0x20},
    {"MIST", 0x40}, {"AREAPORTAL", 0x8000}, {"PLAYERCLIP", 0x10000}, {"MONSTERCLIP", 0x20000},
    {"CURRENT_0", 0x40000}, {"CURRENT_90", 0x80000}, {"CURRENT_180", 0x100000},
    {"CURRENT_270", 0x200000}, {"CURRENT_UP", 0x400000}, {"CURRENT_DOWN", 0x800000},
    {"ORIGIN", 0x1000000}, {"MONSTER", 0x2000000}, {"DEADMONSTER", 0x4000000},
    {"DETAIL", 0x8000000}, {"TRANSLUCENT", 0x10000000}, {"LADDER", 0x20000000},
}};

constexpr std::size_t kMostAnimationBytes = 31;

// A parse that only notes where the text stops being JSON: the second pass over a file that
// failed, whose first pass (building the values) gives no place.
struct ErrorPlace {
  std::size_t position = 0;  // 1-based, of the last character read

  bool null() { return true; }
  bool boolean(bool) { return true; }
  bool number_integer(Json::number_integer_t) { return true; }
  bool number_unsigned(Json::number_unsigned_t) { return true; }
  bool number_float(Json::number_float_t, const Json::string_t&) { return true; }
  bool string(Json::string_t&) { return true; }
  bool binary(Json::binary_t&) { return true; }
  bool start_object(std::size_t) { return true; }
  bool key(Json::string_t&) { return true; }
  bool end_object() { return true; }
  bool start_array(std::size_t) { return true; }
  bool end_array() { return true; }
  bool parse_error(std::size_t at, const std::string&, const nlohmann::detail::exception&) {
    position = at;
    return false;
  }
};

Failure Bad(std::string_view key, std::string_view what) {
  return Fail(ErrorKind::kBadMetadata, std::string(key) + ": " + std::string(what));
}

// The reason for a text that is not JSON: the line of the character the parse stopped at (the
// end of the text counts as the last line).
Failure NotJson(std::span<const std::uint8_t> bytes) {
  ErrorPlace place;
  Json::sax_parse(bytes.begin(), bytes.end(), &place, Json::input_format_t::json, true, true);
  const std::size_t before = std::min(place.position > 0 ? place.position - 1 : 0, bytes.size());
  const auto lines = std::count(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(before), '\n');
  return Fail(ErrorKind::kBadMetadata, "line " + std::to_string(lines + 1) + ": not valid JSON");
}

// `real` as its shortest decimal that reads back as it: in plain digits from 10^-6 to below
// 10^21 (5e9 as 5000000000), beyond with an exponent.
std::string Shown(double real) {
  const double size = std::abs(real);
  const auto form = real == 0 || (size >= 1e-6 && size < 1e21) ? std::chars_format::fixed : std::chars_format::scientific;
  char text[64];
  return std::string(text, std::to_chars(text, text + sizeof text, real, form).ptr);
}

// A JSON number from 0 to 2^32 - 1 with no fraction.
Result<std::uint32_t> WholeNumber(const Json& number, std::string_view key) {
  constexpr std::uint32_t kMost = 0xFFFFFFFF;
  constexpr std::string_view kOver = " is over 4294967295";
  if (number.is_number_unsigned()) {
    const auto whole = number.get<std::uint64_t>();
    if (whole > kMost) return Bad(key, std::to_string(whole) + std::string(kOver));
    return static_cast<std::uint32_t>(whole);
  }
  if (number.is_number_integer()) {  // written with a minus sign
    const auto whole = number.get<std::int64_t>();
    if (whole < 0) return Bad(key, std::to_string(whole) + " is below 0");
    return static_cast<std::uint32_t>(whole);
  }
  const auto real = number.get<double>();
  const std::string shown = Shown(real);
  if (real < 0) return Bad(key, shown + " is below 0");
  if (real > kMost) return Bad(key, shown + std::string(kOver));
  if (real != std::trunc(real)) return Bad(key, shown + " is not a whole number");
  return static_cast<std::uint32_t>(real);
}

// The bits of one number or name of `key`, its names those of `names`.
Result<std::uint32_t> BitsOfOne(const Json& given, std::string_view key, std::span<const NamedBits> names) {
  if (given.is_number()) return WholeNumber(given, key);
  if (!given.is_string()) return Bad(key, "not a number, a name or a list of them");
  const auto& name = given.get_ref<const Json::string_t&>();
  for (const NamedBits& named : names) {
    if (std::ranges::equal(name, named.name, [](char a, char b) { return (a >= 'a' && a <= 'z' ? a - 'a' + 'A' : a) == b; })) {
      return named.bits;
    }
  }
  return Bad(key, "unknown name \"" + name + "\"");
}

// The bits of `key`: one number or name, or a list of them OR'd together.
Result<std::uint32_t> Bits(const Json& given, std::string_view key, std::span<const NamedBits> names) {
  if (!given.is_array()) return BitsOfOne(given, key, names);
  std::uint32_t bits = 0;
  for (const Json& item : given) {
    if (item.is_array()) return Bad(key, "not a number, a name or a list of them");
    const Result<std::uint32_t> one = BitsOfOne(item, key, names);
    if (!one) return Failure{one.error()};
    bits |= *one;
  }
  return bits;
}

}  // namespace

Result<WalMetadata> ParseWalJson(std::span<const std::uint8_t> bytes) {
  const Json json = Json::parse(bytes.begin(), bytes.end(), nullptr, false, true);
  if (json.is_discarded()) return NotJson(bytes);
  if (!json.is_object()) return Fail(ErrorKind::kBadMetadata, "not a JSON object");
  WalMetadata metadata;
  for (auto [key, field, names] : {std::tuple{"flags", &metadata.flags, std::span<const NamedBits>(kSurfaceFlags)},
                                   std::tuple{"contents", &metadata.contents, std::span<const NamedBits>(kContents)}}) {
    if (const auto given = json.find(key); given != json.end()) {
      const Result<std::uint32_t> bits = Bits(*given, key, names);
      if (!bits) return Failure{bits.error()};
      *field = *bits;
    }
  }
  if (const auto given = json.find("value"); given != json.end()) {
    if (!given->is_number()) return Bad("value", "not a whole number");
    const Result<std::uint32_t> value = WholeNumber(*given, "value");
    if (!value) return Failure{value.error()};
    metadata.value = *value;
  }
  if (const auto given = json.find("animation"); given != json.end()) {
    if (!given->is_string()) return Bad("animation", "not a string");
    metadata.animation = given->get<std::string>();
    if (metadata.animation->size() > kMostAnimationBytes) return Bad("animation", "name over 31 bytes");
  }
  return metadata;
}

}  // namespace tarnvick
