// Writing a whole file atomically: the bytes go to a temporary file in the target's directory,
// which replaces the target only after every byte was written and flushed. On any failure the
// temporary file is removed and an existing target is left exactly as it was.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>

#include "io/error.h"

namespace tarnvick {

// Writes the chunks, in order, as the whole content of `path`. The new file gets the permissions
// a plain create would give it (those of the file it replaces, if any). A target that may not be
// written to is not replaced. Fails with kCannotWrite and the system's reason.
Result<void> WriteFileAtomically(const std::string& path,
                                 std::initializer_list<std::span<const std::uint8_t>> chunks);

}  // namespace tarnvick
