// Windows paths: UTF-8 inside the program, UTF-16 at the system. Paths handed to the system are
// made absolute with the "\\?\" prefix, so that they may be longer than 260 characters and
// reach exactly the file named (no device is reached through a name like "con.m8").
#pragma once

#include <string>

#include "io/error.h"
#include "io/file_ref.h"

namespace tarnvick {

std::string Utf8Of(const std::wstring& wide);
std::wstring WideOf(const std::string& utf8);

// `path`, absolute and prefixed, with '\' as its separator.
std::wstring WidePath(const std::string& path);

// The path of `file`: its name below the folder its directory descriptor holds open; empty when
// that folder's path cannot be told.
std::wstring WidePath(const FileRef& file);

// Records `path` as the folder the directory descriptor `directory` holds open, for WidePath.
// (The system's own answer, GetFinalPathNameByHandleW, fails on long paths on some systems.)
void NameFolder(int directory, const std::wstring& path);

// Whether the last part of `path` is a reserved device name (CON, PRN, AUX, NUL, COM0 to COM9,
// LPT0 to LPT9, COM and LPT with a superscript 1, 2 or 3, CONIN$, CONOUT$), with any extension,
// in any case.
bool IsDeviceName(const std::string& path);

// The failure of the last Windows call, with the errno that stands for it and its text.
Failure FailSystem(ErrorKind kind);

}  // namespace tarnvick
