#include "support/library_textures.h"

#include <memory>

#include "texture/create_texture.h"
#include "walk/walk_directory.h"

namespace tarnvick {

void ForEachTexture(const std::string& root, const std::function<void(const Texture&)>& use) {
  WalkDirectory(root, true,
                {.entered = [](const std::string&) {}, .unreadable = [](const std::string&, const Error&) {},
                 .file = [&](const SourceFile& file) {
                   const Result<std::unique_ptr<Texture>> texture = CreateTexture(file.ref);
                   if (texture) use(**texture);
                 }});
}

}  // namespace tarnvick
