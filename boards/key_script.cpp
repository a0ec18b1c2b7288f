#include "boards/key_script.h"

#include <algorithm>

namespace boards {

namespace {

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

} // namespace

KeyScript ParseKeys(std::string_view keys, const Board& board) {
  KeyScript script;
  std::size_t at = 0;
  while (at < keys.size()) {
    if (keys[at] == ' ') {
      ++at;
      continue;
    }
    std::string_view name;
    std::string shown;
    if (keys[at] == '[') {
      const std::size_t close = keys.find(']', at);
      if (close == std::string_view::npos) {
        script.error.append("\"").append(keys.substr(at)).append("\" has no closing ]");
        return script;
      }
      name = keys.substr(at + 1, close - at - 1);
      shown = std::string(keys.substr(at, close - at + 1));
      at = close + 1;
      // A switch setting, unless a key has the name ("[M=+]").
      if (const std::size_t equals = name.find('=');
          equals != std::string_view::npos && !board.FindKey(name)) {
        const std::optional<std::size_t> index = board.FindSwitch(name.substr(0, equals));
        if (!index) {
          script.error = "unknown switch in \"" + shown + "\"";
          return script;
        }
        const std::optional<std::size_t> position =
            board.FindPosition(*index, name.substr(equals + 1));
        if (!position) {
          std::string known;
          for (const std::string& each : board.Switches()[*index].positions) {
            known += (known.empty() ? "" : ", ") + each;
          }
          script.error = "switch " + board.Switches()[*index].name + " has no position \"" +
                         std::string(name.substr(equals + 1)) + "\" (it has " + known + ")";
          return script;
        }
        script.actions.push_back({KeyAction::Kind::Switch, *index, *position});
        continue;
      }
    } else {
      std::size_t end = at + 1;
      if (IsLetter(keys[at])) {
        while (end < keys.size() && IsLetter(keys[end])) {
          ++end;
        }
      }
      name = keys.substr(at, end - at);
      shown = std::string(name);
      at = end;
    }
    const std::optional<std::size_t> key = board.FindKey(name);
    if (!key) {
      script.error = "unknown key \"" + shown + "\"";
      return script;
    }
    script.actions.push_back({KeyAction::Kind::Press, *key, 0});
  }
  return script;
}

std::uint64_t ScheduleKeys(Board& board, const std::vector<KeyAction>& actions, std::uint64_t start,
                           std::uint64_t hold, std::uint64_t gap) {
  std::uint64_t time = start;
  std::uint64_t end = start;
  for (const KeyAction& action : actions) {
    if (action.kind == KeyAction::Kind::Switch) {
      board.SetSwitch(action.index, action.position, time);
      end = time;
      continue;
    }
    board.PressKey(action.index, time, time + hold);
    end = time + hold;
    time += hold + gap;
  }
  return end;
}

void KeyPacer::Queue(const std::vector<KeyAction>& actions) {
  actions_.insert(actions_.end(), actions.begin(), actions.end());
}

std::optional<std::uint64_t> KeyPacer::Advance(Board& board, std::uint64_t cycle) {
  while (Waiting()) {
    std::uint64_t due = pressedAny_ ? lastRelease_ + release_ : 0;
    if (const DrumPrinter* printer = board.Printer();
        printer != nullptr && printer->LastActivity() > 0) {
      due = std::max(due, printer->LastActivity() + release_);
    }
    if (due > cycle) {
      return due;
    }
    const KeyAction& action = actions_[next_++];
    if (action.kind == KeyAction::Kind::Switch) {
      board.SetSwitch(action.index, action.position, cycle);
      continue;
    }
    board.PressKey(action.index, cycle, cycle + hold_);
    lastRelease_ = cycle + hold_;
    pressedAny_ = true;
  }
  return std::nullopt;
}

} // namespace boards
