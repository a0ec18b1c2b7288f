#include "boards/description.h"

#include "translate/hex_text.h"

#include <charconv>

namespace boards {

namespace {

// The fields of "a:b:c" split at the colons, the first in base `firstBase`, the rest decimal.
std::optional<std::array<unsigned, 3>> Numbers(std::string_view text, std::size_t count,
                                               int firstBase) {
  std::array<unsigned, 3> numbers{};
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t colon = text.find(':');
    const std::string_view field = text.substr(0, colon);
    const int base = i == 0 ? firstBase : 10;
    const auto [end, error] =
        std::from_chars(field.data(), field.data() + field.size(), numbers[i], base);
    if (field.empty() || error != std::errc() || end != field.data() + field.size()) {
      return std::nullopt;
    }
    if ((colon == std::string_view::npos) != (i + 1 == count)) {
      return std::nullopt;
    }
    text.remove_prefix(colon == std::string_view::npos ? text.size() : colon + 1);
  }
  return numbers;
}

} // namespace

std::optional<OutputPin> ParseOutputPin(std::string_view text) {
  if (text.starts_with("rom:")) {
    const auto numbers = Numbers(text.substr(4), 2, 16);
    if (!numbers || (*numbers)[0] > 15 || (*numbers)[1] > 3) {
      return std::nullopt;
    }
    return OutputPin{OutputPin::Kind::Rom, 0, static_cast<std::uint8_t>((*numbers)[0]),
                     static_cast<std::uint8_t>((*numbers)[1])};
  }
  if (text.starts_with("ram:")) {
    const auto numbers = Numbers(text.substr(4), 3, 10);
    if (!numbers || (*numbers)[0] > 3 || (*numbers)[1] > 3 || (*numbers)[2] > 3) {
      return std::nullopt;
    }
    return OutputPin{OutputPin::Kind::Ram, static_cast<std::uint8_t>((*numbers)[0]),
                     static_cast<std::uint8_t>((*numbers)[1]),
                     static_cast<std::uint8_t>((*numbers)[2])};
  }
  return std::nullopt;
}

std::string PinText(const OutputPin& pin) {
  if (pin.kind == OutputPin::Kind::Rom) {
    return std::string("rom:") + translate::kHexDigits[pin.chip & 0xF] + ":" +
           std::to_string(pin.bit);
  }
  return "ram:" + std::to_string(pin.line) + ":" + std::to_string(pin.chip) + ":" +
         std::to_string(pin.bit);
}

std::optional<InputPin> ParseInputPin(std::string_view text) {
  if (text == "test") {
    return InputPin{};
  }
  if (text == "int") {
    return InputPin{InputPin::Kind::Interrupt, 0, 0};
  }
  if (text.starts_with("rom:")) {
    const auto numbers = Numbers(text.substr(4), 2, 16);
    if (!numbers || (*numbers)[0] > 15 || (*numbers)[1] > 3) {
      return std::nullopt;
    }
    return InputPin{InputPin::Kind::Rom, static_cast<std::uint8_t>((*numbers)[0]),
                    static_cast<std::uint8_t>((*numbers)[1])};
  }
  return std::nullopt;
}

std::string PinText(const InputPin& pin) {
  if (pin.kind == InputPin::Kind::Test) {
    return "test";
  }
  if (pin.kind == InputPin::Kind::Interrupt) {
    return "int";
  }
  return std::string("rom:") + translate::kHexDigits[pin.port & 0xF] + ":" +
         std::to_string(pin.bit);
}

std::optional<RamPort> ParseRamPort(std::string_view text) {
  if (!text.starts_with("ram:")) {
    return std::nullopt;
  }
  const auto numbers = Numbers(text.substr(4), 2, 10);
  if (!numbers || (*numbers)[0] > 3 || (*numbers)[1] > 3) {
    return std::nullopt;
  }
  return RamPort{static_cast<std::uint8_t>((*numbers)[0]),
                 static_cast<std::uint8_t>((*numbers)[1])};
}

BoardDescription SerialBoard(const SerialLine& line) {
  BoardDescription board;
  board.name = "serial";
  if (line.transmit) {
    board.parts.push_back(
        {"serial-out", SerialOutPart{*line.transmit, line.format, line.baud, line.invertTransmit}});
  }
  if (line.receiveOnTest) {
    board.parts.push_back(
        {"serial-in", SerialInPart{InputPin{}, line.format, line.baud, line.invertReceive}});
  }
  return board;
}

} // namespace boards
