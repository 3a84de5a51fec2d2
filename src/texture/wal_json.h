// The metadata file NAME.wal_json beside a source: a JSON object whose keys set header fields of
// the source's WAL (its flags, contents, value and the name of the texture after it in an
// animation), the file the map compilers read beside a texture for the same fields.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "io/error.h"

namespace tarnvick {

// The fields a .wal_json sets; an absent key leaves its field empty.
struct WalMetadata {
  std::optional<std::uint32_t> flags, contents, value;
  std::optional<std::string> animation;  // at most 31 bytes
};

// The fields set by the JSON text `bytes` (comments `//` and `/* */` allowed):
// - `flags` and `contents`: a whole number from 0 to 2^32 - 1, a name (in any case) of a surface
//   flag or a contents bit, or a list of those, OR'd together;
// - `value`: a whole number from 0 to 2^32 - 1;
// - `animation`: a string of at most 31 bytes.
// Other keys are ignored; of a key given twice the last counts. Fails with kBadMetadata, its
// detail the reason: "line N: not valid JSON", "not a JSON object", or the key and what is wrong
// with its value.
Result<WalMetadata> ParseWalJson(std::span<const std::uint8_t> bytes);

}  // namespace tarnvick
