#include "io/open_files.h"

#include <windows.h>

#include "io/wide_path.h"

namespace tarnvick {

// The C runtime's table of descriptors: every file and folder this program holds open is one.
std::uint64_t OpenFileLimit() { return 2048; }

std::uint64_t FileSizeOf(const FileRef& file) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (IsDeviceName(file.name) || !GetFileAttributesExW(WidePath(file).c_str(), GetFileExInfoStandard, &data)) return 0;
  return static_cast<std::uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

bool SomethingIsAt(const FileRef& file) {
  // A device's name reaches the device from every folder: no file of the folder's is there.
  if (IsDeviceName(file.name)) return false;
  if (GetFileAttributesW(WidePath(file).c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  const DWORD error = GetLastError();
  return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

}  // namespace tarnvick
