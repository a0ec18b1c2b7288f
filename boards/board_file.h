#pragma once

#include "boards/description.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Board files: a board described in JSON, checked field by field, and the boards that come with
// the program.
namespace boards {

struct LoadedBoard {
  std::optional<BoardDescription> board;
  std::string error; // what is wrong, when there is no board
};

// Reads the board file text `text`; `origin` (its name) begins every message.
[[nodiscard]] LoadedBoard ParseBoard(std::string_view text, std::string_view origin);

// The names of the boards that come with the program, and the text of one of them.
[[nodiscard]] std::vector<std::string> BuiltInBoardNames();
[[nodiscard]] std::optional<std::string_view> BuiltInBoard(std::string_view name);

// Whether `argument` names a board file rather than a board that comes with the program.
[[nodiscard]] bool LooksLikeBoardFile(std::string_view argument);

} // namespace boards
