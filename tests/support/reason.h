// The message text of a failed result, as the program would print it; empty for a success.
#pragma once

#include <string>

#include "app/console.h"
#include "io/error.h"

namespace tarnvick::testing {

template <typename T>
std::string ReasonOf(const Result<T>& result) {
  return result ? std::string() : Describe(result.error());
}

}  // namespace tarnvick::testing
