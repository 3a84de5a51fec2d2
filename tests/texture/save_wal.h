// Writing a WAL as the program does: its header and its four levels, atomically.
#pragma once

#include <string>

#include "io/atomic_file.h"
#include "texture/wal_texture.h"

namespace tarnvick::testing {

inline Result<void> SaveWal(WalTexture& wal, const std::string& path) {
  const auto header = wal.EncodeHeader();
  if (!header) return Failure{header.error()};
  return WriteFileAtomically({kWorkingDirectory, path}, {*header, wal.LevelData()}, LinkPolicy::kReplaceLink);
}

}  // namespace tarnvick::testing
