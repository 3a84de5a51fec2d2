// The loader factory: picks the texture class from a path's extension and loads the file.
#pragma once

#include <memory>

#include "io/error.h"
#include "io/file_ref.h"
#include "texture/texture.h"

namespace tarnvick {

// A loaded M8 or M32 texture. Fails with kNotATexture when the path's extension has no reader,
// or with the reason the file could not be read or was refused.
Result<std::unique_ptr<Texture>> CreateTexture(const FileRef& file);

}  // namespace tarnvick
