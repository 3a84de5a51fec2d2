// Fuzz target: the .wal_json reader on arbitrary bytes. A refusal must carry its reason; fields
// that read must be written again as JSON and read back the same.
#include <cstddef>
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "texture/wal_json.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const tarnvick::Result<tarnvick::WalMetadata> read = tarnvick::ParseWalJson({data, size});
  if (!read) {
    if (read.error().kind != tarnvick::ErrorKind::kBadMetadata || read.error().detail.empty()) __builtin_trap();
    return 0;
  }
  if (read->animation && read->animation->size() > 31) __builtin_trap();
  nlohmann::json written = nlohmann::json::object();
  if (read->flags) written["flags"] = *read->flags;
  if (read->contents) written["contents"] = *read->contents;
  if (read->value) written["value"] = *read->value;
  if (read->animation) written["animation"] = *read->animation;
  const std::string text = written.dump();
  const tarnvick::Result<tarnvick::WalMetadata> again =
      tarnvick::ParseWalJson({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
  if (!again || again->flags != read->flags || again->contents != read->contents || again->value != read->value ||
      again->animation != read->animation) {
    __builtin_trap();
  }
  return 0;
}
