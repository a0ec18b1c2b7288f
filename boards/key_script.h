#pragma once

#include "boards/board.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace boards {

// One step of a key script: press a key, or set a switch.
struct KeyAction {
  enum class Kind : std::uint8_t { Press, Switch };
  Kind kind = Kind::Press;
  std::size_t index = 0;    // of the key or the switch on the board
  std::size_t position = 0; // of a switch

  friend bool operator==(const KeyAction&, const KeyAction&) = default;
};

struct KeyScript {
  std::vector<KeyAction> actions;
  std::string error; // empty when the script is good
};

// Reads a key script for `board`. Outside brackets each character is a key (digits, + - x / =
// . and the like) except that letters written together name one key ("C", "CE"); inside
// brackets stands any key's name ("[M+]", "[000]") or a switch setting "[NAME=POSITION]". Names
// match in any case; spaces are ignored.
[[nodiscard]] KeyScript ParseKeys(std::string_view keys, const Board& board);

// Puts `actions` on `board` from cycle `start`: each key is held `hold` cycles and then let go for
// `gap` cycles before the next; a switch setting takes effect where it stands. Returns the cycle
// at which the last key is let go (or the last switch is set).
std::uint64_t ScheduleKeys(Board& board, const std::vector<KeyAction>& actions, std::uint64_t start,
                           std::uint64_t hold, std::uint64_t gap);

} // namespace boards
