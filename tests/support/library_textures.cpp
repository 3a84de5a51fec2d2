#include "support/library_textures.h"

#include <memory>

#include "texture/create_texture.h"

namespace tarnvick {

void ForEachTexture(const std::string& root, bool recurse,
                    const std::function<void(const Texture&, const SourceFile&)>& use) {
  WalkDirectory(root, recurse,
                {.entered = [](const std::string&) {}, .unreadable = [](const std::string&, const Error&) {},
                 .file = [&](const SourceFile& file) {
                   const Result<std::unique_ptr<Texture>> texture = CreateTexture(file.ref);
                   if (texture) use(**texture, file);
                 }});
}

}  // namespace tarnvick
