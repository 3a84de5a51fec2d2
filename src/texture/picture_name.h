// The name a picture's WAL carries in its header: the picture's path as the map tools name
// textures, below the game's textures folder.
#pragma once

#include <string>

namespace tarnvick {

// The name of the WAL made from the picture at `path` ('/', or on Windows '\' too, between its
// folders; "." and ".." parts read as written): the part of it below its last folder named
// "textures" (in any case), or with no such folder `fallback`; without its extension, '/'
// between folders, cut to 31 bytes.
std::string PictureWalName(const std::string& path, const std::string& fallback);

}  // namespace tarnvick
