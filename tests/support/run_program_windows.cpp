// The Windows runner: the program as a child process with its standard output and error in
// files. Of the settings it makes only the working folder; the others (limits, users, pipes,
// terminals) are POSIX's, and the tests that ask for them run on Linux only.
#include "support/run_program.h"

#include <windows.h>

#include <algorithm>
#include <stdexcept>

#include "io/wide_path.h"
#include "support/temp_dir.h"

namespace tarnvick::testing {
namespace {

// `argument` quoted so that the child's command-line parser gives it back unchanged: a run of
// backslashes is doubled before a quote (escaped too) and before the closing quote.
std::wstring Quoted(const std::wstring& argument) {
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(2 * backslashes, L'\\');
  return quoted + L"\"";
}

// TARNVICK_BINARY names the program relative to the test program's folder.
std::wstring ProgramPath(const std::string& program) {
  if (!program.empty()) return WideOf(program);
  std::wstring own(MAX_PATH, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, own.data(), static_cast<DWORD>(own.size()));
  if (length == 0 || length >= own.size()) throw std::runtime_error("cannot tell the test program's path");
  own.resize(own.find_last_of(L'\\', length) + 1);
  return own + WideOf(TARNVICK_BINARY);
}

HANDLE InheritedFile(const std::string& path) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  const HANDLE file = CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot make " + path);
  return file;
}

}  // namespace

std::string AsPrinted(std::string text) {
  std::replace(text.begin(), text.end(), '\\', '/');
  return text;
}

ProgramResult RunTarnvick(const std::vector<std::string>& arguments, const ProgramSettings& settings) {
  if (settings.file_size_limit >= 0 || settings.address_space_limit >= 0 || settings.open_files_limit >= 0 ||
      settings.process_limit >= 0 || settings.unprivileged || !settings.stdout_path.empty() ||
      settings.stdout_closed_pipe || settings.merge_stderr || settings.stderr_terminal || settings.while_running) {
    throw std::logic_error("a setting the Windows runner cannot make");
  }
  TempDir capture;
  const HANDLE out = InheritedFile(capture / "out");
  const HANDLE err = InheritedFile(capture / "err");
  const std::wstring program = ProgramPath(settings.program);
  std::wstring command = Quoted(program);
  for (const std::string& argument : arguments) command += L" " + Quoted(WideOf(argument));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION child{};
  const std::wstring folder = settings.working_directory.empty() ? std::wstring() : WideOf(settings.working_directory);
  const BOOL started = CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      folder.empty() ? nullptr : folder.c_str(), &startup, &child);
  CloseHandle(out);
  CloseHandle(err);
  if (!started) throw std::runtime_error("cannot start the program");
  WaitForSingleObject(child.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(child.hProcess, &code);
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  ProgramResult result;
  result.out = AsPrinted(ReadText(capture / "out"));
  result.err = AsPrinted(ReadText(capture / "err"));
  result.exit_code = static_cast<int>(code);
  return result;
}

}  // namespace tarnvick::testing
