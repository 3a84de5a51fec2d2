#include "app/process_setup.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>

#include "io/temporary_files.h"
#include "io/wide_path.h"

namespace tarnvick {
namespace {

// Ctrl-C, Ctrl-Break, closing the console, logging off or shutting down: the temporary file
// being written goes first, then the process ends as it would have without the handler.
BOOL WINAPI EndByConsoleEvent(DWORD) {
  RemoveTemporaryFiles();
  return FALSE;
}

}  // namespace

std::vector<std::string> SetUpProcess(int argc, char** argv) {
  SetConsoleCtrlHandler(EndByConsoleEvent, TRUE);
  // Messages are UTF-8 bytes: the console shows them as such, and files and pipes get them
  // unchanged, with the same line ends as on every other system.
  SetConsoleOutputCP(CP_UTF8);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  // The arguments as the user typed them: the wide command line, whatever the code page.
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return {argv, argv + argc};
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(Utf8Of(wide[i]));
  LocalFree(wide);
  return arguments;
}

}  // namespace tarnvick
