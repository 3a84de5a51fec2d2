#include "io/same_file.h"

#include <windows.h>

#include <filesystem>
#include <system_error>

#include "io/wide_path.h"

namespace tarnvick {
namespace {

// The volume and file index of the file at `path`, links followed; false when it cannot be read.
bool IdentityOf(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
  if (IsDeviceName(path)) return false;
  const HANDLE handle = CreateFileW(WidePath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool read = GetFileInformationByHandle(handle, &info) != 0;
  CloseHandle(handle);
  return read;
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  BY_HANDLE_FILE_INFORMATION first{};
  BY_HANDLE_FILE_INFORMATION second{};
  if (IdentityOf(a, first) && IdentityOf(b, second)) {
    return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
  }
  // Names are compared as the file system does: without regard to case.
  std::error_code error;
  const std::wstring resolved_a = std::filesystem::weakly_canonical(WidePath(a), error).wstring();
  if (error) return false;
  const std::wstring resolved_b = std::filesystem::weakly_canonical(WidePath(b), error).wstring();
  return !error && CompareStringOrdinal(resolved_a.c_str(), -1, resolved_b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

std::string PathKey(const std::string& path) {
  std::wstring wide = WideOf(path);
  if (!wide.empty()) CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
  return Utf8Of(wide);
}

}  // namespace tarnvick
