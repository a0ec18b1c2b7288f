#include "simulate/basic_board.h"

#include <charconv>

namespace simulate {

namespace {

// The fields of "a:b:c" split at the colons.
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

BasicBoard::BasicBoard(const Serial& serial) : serial_(serial) {
  if (serial.transmit) {
    decoder_.emplace(serial.format, serial.cyclesPerBit);
    // The output latches are 0 at reset: the line starts at 0, or at 1 where the board inverts.
    decoder_->Line(serial.invertTransmit, 0);
  }
  if (serial.receiveOnTest) {
    feeder_.emplace(serial.format, serial.cyclesPerBit);
  }
}

void BasicBoard::SendInput(std::string_view bytes) {
  if (feeder_) {
    feeder_->Queue(bytes);
  }
}

bool BasicBoard::Test(std::uint64_t cycle) {
  if (feeder_) {
    return feeder_->Poll(cycle) != serial_.invertReceive;
  }
  return test_;
}

bool BasicBoard::TestLevel(std::uint64_t cycle) const {
  if (feeder_) {
    return feeder_->Level(cycle) != serial_.invertReceive;
  }
  return test_;
}

std::uint8_t BasicBoard::RomInput(std::uint8_t port, std::uint64_t) {
  return romInputs_[port & 0xF];
}

void BasicBoard::RomOutput(std::uint8_t port, std::uint8_t value, std::uint64_t cycle) {
  if (decoder_ && serial_.transmit->kind == OutputPin::Kind::Rom &&
      port == serial_.transmit->chip) {
    Transmit(value, cycle);
  }
}

void BasicBoard::RamOutput(std::uint8_t line, std::uint8_t chip, std::uint8_t value,
                           std::uint64_t cycle) {
  if (decoder_ && serial_.transmit->kind == OutputPin::Kind::Ram &&
      line == serial_.transmit->line && chip == serial_.transmit->chip) {
    Transmit(value, cycle);
  }
}

void BasicBoard::Transmit(std::uint8_t value, std::uint64_t cycle) {
  const bool level = (((value >> serial_.transmit->bit) & 1) != 0) != serial_.invertTransmit;
  // The port changes at the end of the instruction cycle that writes it.
  const std::size_t before = decoder_->Received().size();
  decoder_->Line(level, cycle + 1);
  outputArrived_ = outputArrived_ || decoder_->Received().size() != before;
}

SerialDecoder* BasicBoard::Output(std::uint64_t cycle) {
  if (!decoder_) {
    return nullptr;
  }
  const std::size_t before = decoder_->Received().size();
  decoder_->Advance(cycle);
  outputArrived_ = outputArrived_ || decoder_->Received().size() != before;
  return &*decoder_;
}

} // namespace simulate
