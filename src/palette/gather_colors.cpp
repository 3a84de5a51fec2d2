#include "palette/gather_colors.h"

#include "palette/color_key.h"
#include "texture/create_texture.h"

namespace tarnvick {

bool CountColors(const Texture& texture, ColorHistogram& histogram) {
  const std::int32_t step = texture.bits_per_pixel / 8;
  if (step < 3) return true;
  const auto extent = static_cast<std::size_t>(texture.byte_extent > 0 ? texture.byte_extent : 0);
  const std::size_t end = extent < texture.pixels.size() ? extent : texture.pixels.size();
  // Neighbouring pixels often share a colour: the node of the last one is kept at hand.
  ColorHistogram::Node* last = nullptr;
  for (std::size_t offset = 0; offset + 3 <= end; offset += static_cast<std::size_t>(step)) {
    const std::uint32_t key = ColorKey(texture.pixels.data() + offset);
    if (last == nullptr || last->key != key) {
      last = histogram.Find(key);
      if (last == nullptr) {
        last = histogram.Insert(key, 0);
        if (last == nullptr) return false;
      }
    }
    ++last->value;
  }
  return true;
}

bool GatherColors(const std::string& path, ColorHistogram& histogram) {
  const std::unique_ptr<Texture> texture = CreateTexture(path);
  return texture == nullptr || CountColors(*texture, histogram);
}

}  // namespace tarnvick
