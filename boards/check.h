#pragma once

#include "boards/description.h"

#include <string>

namespace boards {

// What is wrong with the wiring of `board`: a name used twice, a reference to no part or to a
// part of the wrong kind, an input driven by two parts, a key on a row or column the matrix
// does not have, and the like. Empty when nothing is.
[[nodiscard]] std::string CheckBoard(const BoardDescription& board);

} // namespace boards
