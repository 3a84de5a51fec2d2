// The one way an operation fails, in every layer: a kind, for the caller to decide on, and a
// detail text (an errno text, a size, a version) for the message the program makes of it.
// Operations that can fail return Result<T>: the value, or the Error. It lives in io/, the lowest
// layer, so that every layer can use it; ErrorKind holds the kinds of all of them.
//
// Memory that runs out is not returned but thrown (std::bad_alloc) up to the boundaries of the
// program's steps (each source file of a walk, reading the palette, making it, writing it or the
// preview), where CatchOutOfMemory turns it into the step's Error; app/main.cpp catches the rest.
//
// io/ holds everything that touches files besides the directory walk: this error type, the
// scoped stream, whole-file reads with their size checked first, and atomic writes. It uses
// nothing of the project.
#pragma once

#include <cerrno>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace tarnvick {

enum class ErrorKind {
  kCannotOpen,          // detail: the system's reason
  kNotRegularFile,
  kReadError,           // detail: the system's reason, or empty
  kEmptyFile,
  kTruncated,           // detail: "N of M bytes"
  kTooLarge,
  kUnsupportedVersion,  // detail: the version
  kNotATexture,         // no reader for the file's extension
  kBadPalette,          // detail: why the file is not the palette it looks like
  kNoFourthLevel,
  kEmptyFourthLevel,    // the fourth mip level would hold no pixel
  kTooFewPixels,
  kMipLevelMismatch,    // detail: "mip level N is AxB, expected CxD"
  kCannotWrite,         // detail: the system's reason
  kCannotList,          // detail: the system's reason
  kOutOfMemory,
  kCannotCount,         // detail: "PATH while counting colours: REASON"
  kBadArchive,          // detail: why the archive as a whole cannot be read
  kBadEntry,            // detail: why an archive's entry is not read (its name, its place)
  kBadPicture,          // detail: why a picture is not converted (its size, the decoder's reason)
  kBadMetadata,         // detail: what is wrong in a .wal_json (its line, or a key and its value)
  // The command line.
  kNoStartDirectory,
  kInvalidParameter,    // detail: the argument
  kTwoPaletteOptions,
  kMethodWithReadPalette,  // detail: the --palette-method argument, given with -p
};

struct Error {
  ErrorKind kind;
  std::string detail;
  int system_error = 0;  // the errno it came from, if any
};

// Whether an error is the run's own want of resources (descriptors, memory, a failing device)
// rather than a fault of the file at hand.
inline bool IsResourceFailure(const Error& error) {
  const int code = error.system_error;
  return error.kind == ErrorKind::kOutOfMemory || code == EMFILE || code == ENFILE || code == ENOMEM || code == EIO;
}

// A failure on its way back: converts to a Result of any type.
struct Failure {
  Error error;
};

// The value of an operation that can fail, or its Error. (The standard's expected type is not
// available to every compiler this project is built with, the fuzzing one included.)
template <typename T>
class [[nodiscard]] Result {
 public:
  template <typename U = T>
    requires(std::is_constructible_v<T, U &&> &&
             !std::is_same_v<std::remove_cvref_t<U>, Result> &&
             !std::is_same_v<std::remove_cvref_t<U>, Failure>)
  Result(U&& value) : state_(std::in_place_index<0>, std::forward<U>(value)) {}
  Result(Failure failure) : state_(std::in_place_index<1>, std::move(failure.error)) {}

  explicit operator bool() const { return state_.index() == 0; }
  T& operator*() { return std::get<0>(state_); }
  const T& operator*() const { return std::get<0>(state_); }
  T* operator->() { return &std::get<0>(state_); }
  const T* operator->() const { return &std::get<0>(state_); }
  const Error& error() const { return std::get<1>(state_); }

 private:
  std::variant<T, Error> state_;
};

template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Failure failure) : error_(std::move(failure.error)) {}

  explicit operator bool() const { return !error_.has_value(); }
  const Error& error() const { return *error_; }

 private:
  std::optional<Error> error_;
};

inline Failure Fail(ErrorKind kind, std::string detail = {}) {
  return Failure{Error{kind, std::move(detail)}};
}

// A failure whose detail is the text of `error_number` (errno by default).
inline Failure FailErrno(ErrorKind kind, int error_number = errno) {
  return Failure{Error{kind, std::strerror(error_number), error_number}};
}

// The Result of `step()`, or `failure` when memory runs out in it: the one place the program
// catches std::bad_alloc besides main.
template <typename Step>
auto CatchOutOfMemory(Step&& step, const Failure& failure = Fail(ErrorKind::kOutOfMemory)) -> decltype(step()) {
  try {
    return step();
  } catch (const std::bad_alloc&) {
    return failure;
  }
}

}  // namespace tarnvick
