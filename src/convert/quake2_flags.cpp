#include "convert/quake2_flags.h"

#include <algorithm>

#include "palette/palette.h"

namespace tarnvick {

void KeepQuake2Flags(WalTexture& wal, bool transparent) {
  wal.flags &= kQuake2SurfaceFlags;
  wal.contents &= kQuake2Contents;
  if (transparent && std::ranges::find(wal.LevelData(), kTransparentIndex) != wal.LevelData().end()) wal.flags |= kAlphaTestFlag;
}

}  // namespace tarnvick
