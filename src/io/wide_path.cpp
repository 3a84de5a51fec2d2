#include "io/wide_path.h"

#include <windows.h>

#include <io.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tarnvick {
namespace {

constexpr std::wstring_view kLongPrefix = L"\\\\?\\";

std::mutex folders_lock;
std::unordered_map<int, std::wstring> folders;  // guarded by folders_lock

// The folder held open by a directory "descriptor", a C runtime descriptor over its handle: the
// path it was opened by, else the one the system tells; empty when neither is known.
std::wstring FolderOf(int directory) {
  {
    const std::lock_guard lock(folders_lock);
    const auto known = folders.find(directory);
    if (known != folders.end()) return known->second;
  }
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(directory));
  std::vector<wchar_t> buffer(MAX_PATH);
  while (true) {
    const DWORD length = GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()), 0);
    if (length == 0) return {};
    if (length < buffer.size()) return {buffer.data(), length};
    buffer.resize(length + 1);
  }
}

int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_TOO_MANY_OPEN_FILES:
      return EMFILE;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_DIRECTORY:
      return ENOTDIR;
    case ERROR_WRITE_PROTECT:
      return EROFS;
    default:
      return EIO;
  }
}

}  // namespace

std::string Utf8Of(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), size, nullptr, nullptr);
  return utf8;
}

std::wstring WideOf(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
  return wide;
}

std::wstring WidePath(const std::string& path) {
  std::wstring wide = WideOf(path);
  std::replace(wide.begin(), wide.end(), L'/', L'\\');
  if (wide.empty() || wide.starts_with(kLongPrefix)) return wide;
  const DWORD length = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (length == 0) return wide;
  std::wstring full(length, L'\0');
  const DWORD written = GetFullPathNameW(wide.c_str(), length, full.data(), nullptr);
  if (written == 0 || written >= length) return wide;
  full.resize(written);
  if (full.starts_with(L"\\\\")) return std::wstring(kLongPrefix) + L"UNC" + full.substr(1);
  return std::wstring(kLongPrefix) + full;
}

void NameFolder(int directory, const std::wstring& path) {
  const std::lock_guard lock(folders_lock);
  folders[directory] = path;
}

std::wstring WidePath(const FileRef& file) {
  if (file.directory == kWorkingDirectory) return WidePath(file.name);
  const std::wstring folder = FolderOf(file.directory);
  if (folder.empty() || file.name == ".") return folder;
  std::wstring name = WideOf(file.name);
  std::replace(name.begin(), name.end(), L'/', L'\\');
  return folder + L"\\" + name;
}

bool IsDeviceName(const std::string& path) {
  const auto last = std::find_if(path.rbegin(), path.rend(), IsSeparator);
  std::string base(last.base(), path.end());
  base = base.substr(0, base.find('.'));
  while (!base.empty() && (base.back() == ' ' || base.back() == ':')) base.pop_back();
  for (char& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  static constexpr std::array<std::string_view, 6> kNames = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  if (std::find(kNames.begin(), kNames.end(), base) != kNames.end()) return true;
  if (!base.starts_with("COM") && !base.starts_with("LPT")) return false;
  // A digit, or a superscript one, two or three (U+00B9, U+00B2, U+00B3 in UTF-8).
  const std::string_view number = std::string_view(base).substr(3);
  return (number.size() == 1 && number[0] >= '0' && number[0] <= '9') || number == "\xC2\xB9" || number == "\xC2\xB2" ||
         number == "\xC2\xB3";
}

Failure FailSystem(ErrorKind kind) {
  const int code = ErrnoOf(GetLastError());
  return FailErrno(kind, code);
}

}  // namespace tarnvick
