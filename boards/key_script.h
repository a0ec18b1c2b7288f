#pragma once

#include "boards/board.h"

#include <cstddef>
#include <cstdint>
#include <optional>
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

// Presses keys as a person does: a key goes down only once the one before has been let go for
// `release` cycles and the board's printer has been still for as long, so that no key comes
// while the firmware is still busy with the last one (a calculator that is printing may miss
// it). Each key is held `hold` cycles. A switch setting takes effect when its turn comes.
class KeyPacer {
public:
  KeyPacer(std::uint64_t hold, std::uint64_t release) : hold_(hold), release_(release) {}

  void Queue(const std::vector<KeyAction>& actions);
  // Presses the keys (and sets the switches) whose turn has come at `cycle`. Returns the cycle
  // at which the next key is due if the printer stays still until then; nothing when no key is
  // waiting.
  std::optional<std::uint64_t> Advance(Board& board, std::uint64_t cycle);
  [[nodiscard]] bool Waiting() const { return next_ < actions_.size(); }
  [[nodiscard]] std::size_t Remaining() const { return actions_.size() - next_; }
  // Forgets the keys not pressed yet.
  void Clear() {
    actions_.erase(actions_.begin() + static_cast<std::ptrdiff_t>(next_), actions_.end());
  }
  // The cycle at which the last key pressed is let go, 0 before the first.
  [[nodiscard]] std::uint64_t LastRelease() const { return lastRelease_; }

private:
  std::uint64_t hold_;
  std::uint64_t release_;
  std::vector<KeyAction> actions_;
  std::size_t next_ = 0;
  std::uint64_t lastRelease_ = 0;
  bool pressedAny_ = false;
};

} // namespace boards
