// Everything the program prints, in one place: the banner, the usage, progress on standard
// output, and problems on standard error as "tarnvick: MESSAGE", each made from an Error.
//
// app/ holds the command line, the run, every message and every exit code; it is the only code
// that writes to standard output or standard error. It uses every layer below it.
#pragma once

#include <cstdio>
#include <set>
#include <string>

#include "convert/conversion_error.h"
#include "io/error.h"

namespace tarnvick {

// The reason text of an error, as the skipped lines print it. `target` names the file a
// kCannotWrite failed to write.
std::string Describe(const Error& error, const std::string& target = {});

// The reason an archive cannot be read, as its line prints it.
std::string ArchiveReason(const Error& error);

// The reason as the lines about a file that cannot be written print it: the system's text alone
// for a file that cannot be opened or written, else as Describe says.
std::string Reason(const Error& error);

// `text` as the messages print it: control characters (bytes 0x01 to 0x1f and 0x7f) as \xHH.
std::string Printable(const std::string& text);

// The PSNR of an error over 8-bit values in dB with two decimals, as the messages print it:
// "inf" for none.
std::string PsnrText(const ConversionError& error);

// The same for its blurred error.
std::string BlurredPsnrText(const ConversionError& error);

class Console {
 public:
  Console(std::FILE* out, std::FILE* err);

  void Banner();
  void Usage();
  // The help text (after the banner) and the version line.
  void Help();
  void Version();
  // The usage and the message of a command-line error on standard output, as they always were,
  // and what to do about it on standard error.
  void CommandLineError(const Error& error);
  // Progress text on standard output, exactly as given, shown at once.
  void Progress(const std::string& text);
  // Draws `text` as the live line on standard error (only when it is a terminal), replacing the
  // one drawn before; any other output erases it first.
  void Live(const std::string& text);
  bool ErrorIsTerminal() const { return error_is_terminal_; }
  // "tarnvick: MESSAGE" on standard error, after the progress so far, so that the two appear in
  // order on a terminal. Control characters print as \xHH.
  void Problem(const std::string& message);
  // The same, only the first time in the run that `key` is given.
  void ProblemOnce(const std::string& key, const std::string& message);
  // Whether anything printed so far could not be written (a full disk, a closed pipe). The first
  // time standard output is found failed, standard error says why.
  bool Failed();

 private:
  void EraseLive();
  // Tells, once, that standard output could not be written; true when it could not.
  bool OutputFailed();

  std::FILE* out_;
  std::FILE* err_;
  bool error_is_terminal_ = false;
  bool live_ = false;
  std::set<std::string> told_;  // the keys of ProblemOnce
  bool output_failure_told_ = false;
};

}  // namespace tarnvick
