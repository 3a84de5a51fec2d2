// Everything the program prints, in one place: the banner, the usage, progress on standard
// output, and problems on standard error as "tarnvick: MESSAGE", each made from an Error.
//
// app/ holds the command line, the run, every message and every exit code; it is the only code
// that writes to standard output or standard error. It uses every layer below it.
#pragma once

#include <cstdio>
#include <string>

#include "io/error.h"

namespace tarnvick {

// The reason text of an error, as the skipped lines print it. `target` names the file a
// kCannotWrite failed to write.
std::string Describe(const Error& error, const std::string& target = {});

class Console {
 public:
  Console(std::FILE* out, std::FILE* err) : out_(out), err_(err) {}

  void Banner();
  void Usage();
  // The usage and the message of a command-line error.
  void CommandLineError(const Error& error);
  // Progress text on standard output, exactly as given.
  void Progress(const std::string& text);
  // "tarnvick: MESSAGE" on standard error, after the progress so far, so that the two appear in
  // order on a terminal. Control characters print as \xHH.
  void Problem(const std::string& message);
  // Whether anything printed so far could not be written (a full disk, a closed pipe).
  bool Failed();

 private:
  std::FILE* out_;
  std::FILE* err_;
};

}  // namespace tarnvick
