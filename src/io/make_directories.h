// Making the folders an output goes into: the output folder and every missing one above it, as a
// plain mkdir would (0777 less the umask), and the folders below it, entered and made one level
// at a time from its open handle, never through a link.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "io/error.h"
#include "io/scoped_file.h"

namespace tarnvick {

// Creates `path` and every missing folder above it; `path` may be a link to a folder. Fails with
// kCannotWrite and the reason: `a link to a missing folder` for a link that names nothing, on
// Windows `a device name` for a part named like a device, else the system's text (a file in
// the way, no permission, ...).
Result<void> MakeDirectories(const std::string& path);

// The existing folder `path`, open (links followed). Fails with kCannotWrite and the reason.
Result<std::shared_ptr<const ScopedFile>> OpenFolder(const std::string& path);

// The folder `below` (names separated by '/' or the system's separator) inside the open folder
// `root`, each missing part made; a part is entered only when it is a real folder. Fails with
// kCannotWrite and the reason: `a link is in the way` where a part is a link, on Windows `a
// device name` for a part named like a device, else the system's text. An empty `below` is
// `root` itself.
Result<std::shared_ptr<const ScopedFile>> EnterFolders(const std::shared_ptr<const ScopedFile>& root,
                                                       std::string_view below);

}  // namespace tarnvick
