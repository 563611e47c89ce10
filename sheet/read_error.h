// The base of every reader's error: a description a person at the window can act on, and
// the byte offset (or part position) where the reader stopped. Each reader derives its own
// type with its own code enum and builds it in one place.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

namespace cw::sheet {

struct ReadError : std::runtime_error {
  ReadError(const std::string& description, std::size_t at) : std::runtime_error(description), offset(at) {}
  std::size_t offset;
};

}  // namespace cw::sheet
