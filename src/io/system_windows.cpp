#include "io/system.h"

#include <windows.h>

#include <io.h>

#include "io/wide_path.h"

namespace tarnvick {

int ProcessorsAvailable() {
  DWORD_PTR process = 0;
  DWORD_PTR system = 0;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system) || process == 0) return 1;
  int count = 0;
  for (; process != 0; process &= process - 1) ++count;
  return count;
}

bool IsTerminal(std::FILE* stream) {
  DWORD mode = 0;
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

PathKind KindOfPath(const std::string& path) {
  if (path.empty() || IsDeviceName(path)) return path.empty() ? PathKind::kMissing : PathKind::kOther;
  const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::kMissing;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::kDirectory : PathKind::kOther;
}

std::string CurrentFolder() {
  const DWORD size = GetCurrentDirectoryW(0, nullptr);
  if (size == 0) return {};
  std::wstring folder(size, L'\0');
  const DWORD length = GetCurrentDirectoryW(size, folder.data());
  if (length == 0 || length >= size) return {};
  folder.resize(length);
  return Utf8Of(folder);
}

bool IsAbsolutePath(const std::string& path) {
  return (!path.empty() && IsSeparator(path.front())) || (path.size() >= 2 && path[1] == ':');
}

void* MapZeroedMemory(std::size_t bytes, MemoryUse) {
  // Committed pages are mapped when first touched; large pages need a privilege users lack.
  return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void UnmapZeroedMemory(void* memory, std::size_t) { VirtualFree(memory, 0, MEM_RELEASE); }

}  // namespace tarnvick
