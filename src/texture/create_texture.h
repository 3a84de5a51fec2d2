// The loader factory: picks the texture class from a path's extension and loads the file.
#pragma once

#include <memory>
#include <string>

#include "texture/texture.h"

namespace tarnvick {

// A loaded M8 or M32 texture, or null (with the reason in `error`, when given) when the path's
// extension has no reader or the file does not load.
std::unique_ptr<Texture> CreateTexture(const std::string& path, std::string* error = nullptr);

}  // namespace tarnvick
