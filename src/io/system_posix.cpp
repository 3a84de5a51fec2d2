#include "io/system.h"

#include <sched.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>

namespace tarnvick {

int ProcessorsAvailable() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) != 0) return 1;
  return CPU_COUNT(&set) > 0 ? CPU_COUNT(&set) : 1;
}

bool IsTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)) == 1; }

PathKind KindOfPath(const std::string& path) {
  struct stat info {};
  if (path.empty() || ::stat(path.c_str(), &info) != 0) return PathKind::kMissing;
  return S_ISDIR(info.st_mode) ? PathKind::kDirectory : PathKind::kOther;
}

std::string CurrentFolder() {
  std::string folder(256, '\0');
  while (::getcwd(folder.data(), folder.size()) == nullptr) {
    if (errno != ERANGE || folder.size() > (1u << 20)) return {};
    folder.resize(folder.size() * 2);
  }
  folder.resize(std::char_traits<char>::length(folder.c_str()));
  return folder;
}

bool IsAbsolutePath(const std::string& path) { return !path.empty() && path.front() == '/'; }

void* MapZeroedMemory(std::size_t bytes, MemoryUse use) {
  if (use == MemoryUse::kWrittenWhole) {
    // All pages mapped for writing at once: a page first read and then written would be mapped
    // twice, and with several threads each remapping stops every other core.
    void* mapping = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    return mapping == MAP_FAILED ? nullptr : mapping;
  }
  // Huge pages cover only whole aligned 2 MiB spans: the mapping is made that much larger, and
  // the parts before and after an aligned span of `bytes` given back.
  constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
  void* mapping = ::mmap(nullptr, bytes + kHuge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapping == MAP_FAILED) return nullptr;
  const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(mapping);
  const std::uintptr_t aligned = (start + kHuge - 1) & ~(kHuge - 1);
  if (aligned != start) ::munmap(mapping, aligned - start);
  ::munmap(reinterpret_cast<void*>(aligned + bytes), kHuge - (aligned - start));
#if defined(MADV_HUGEPAGE)
  ::madvise(reinterpret_cast<void*>(aligned), bytes, MADV_HUGEPAGE);
#endif
  return reinterpret_cast<void*>(aligned);
}

void UnmapZeroedMemory(void* memory, std::size_t bytes) { ::munmap(memory, bytes); }

}  // namespace tarnvick
