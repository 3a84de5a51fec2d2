// The loader factory: picks the texture class from a path's extension and loads the file.
#pragma once

#include <memory>
#include <optional>

#include "io/error.h"
#include "io/file_ref.h"
#include "io/read_file.h"
#include "texture/texture.h"

namespace tarnvick {

// A loaded M8 or M32 texture, or a picture (DecodePicture; a file longer than a picture of the
// size it declares can be is refused unread), read from `file` or, when given, from `part` (an
// archive's entry named `file.name`). Fails with kNotATexture when the name's extension has no reader, or with
// the reason the file could not be read or was refused.
Result<std::unique_ptr<Texture>> CreateTexture(const FileRef& file, const std::optional<FilePart>& part = std::nullopt);

}  // namespace tarnvick
