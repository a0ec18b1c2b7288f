#include "simulate/parts/serial_line.h"

#include <bit>
#include <cmath>

namespace simulate {

namespace {

// The parity bit that makes the count of 1 bits even (E) or odd (O).
unsigned ParityBit(unsigned data, char parity) {
  const unsigned ones = static_cast<unsigned>(std::popcount(data)) & 1;
  return parity == 'E' ? ones : ones ^ 1;
}

} // namespace

std::optional<SerialFormat> ParseSerialFormat(std::string_view text) {
  if (text.size() != 3 || text[0] < '5' || text[0] > '8' || text[2] < '1' || text[2] > '2') {
    return std::nullopt;
  }
  const char parity = text[1] >= 'a' ? static_cast<char>(text[1] - 'a' + 'A') : text[1];
  if (parity != 'N' && parity != 'E' && parity != 'O') {
    return std::nullopt;
  }
  return SerialFormat{text[0] - '0', parity, text[2] - '0'};
}

double CyclesPerBit(double clockHz, double baud) { return clockHz / 8.0 / baud; }

SerialDecoder::SerialDecoder(SerialFormat format, double cyclesPerBit)
    : format_(format), cyclesPerBit_(cyclesPerBit) {}

void SerialDecoder::Line(bool level, std::uint64_t cycle) {
  Advance(cycle);
  if (level == level_) {
    return;
  }
  level_ = level;
  if (state_ == State::WaitingForIdle && level) {
    state_ = State::Idle;
  } else if (state_ == State::Idle && !level) {
    state_ = State::InCharacter;
    start_ = static_cast<double>(cycle);
    nextBit_ = 0;
    bits_ = 0;
    stopError_ = false;
  }
}

void SerialDecoder::Advance(std::uint64_t cycle) {
  while (state_ == State::InCharacter) {
    const double at = start_ + (nextBit_ + 0.5) * cyclesPerBit_;
    if (at >= static_cast<double>(cycle)) {
      return;
    }
    Sample(level_, static_cast<std::uint64_t>(std::ceil(at)));
  }
}

void SerialDecoder::Sample(bool level, std::uint64_t cycle) {
  const int parityBits = format_.parity == 'N' ? 0 : 1;
  const int bit = nextBit_++;
  if (bit == 0) {
    // A start bit that is gone again by its middle was a glitch.
    if (level) {
      state_ = State::Idle;
    }
    return;
  }
  if (bit <= format_.dataBits + parityBits) {
    bits_ |= (level ? 1u : 0u) << (bit - 1);
    return;
  }
  stopError_ = stopError_ || !level;
  if (bit < format_.FrameBits() - 1) {
    return;
  }
  const unsigned data = bits_ & ((1u << format_.dataBits) - 1);
  SerialCharacter character;
  character.value = static_cast<std::uint8_t>(data);
  character.cycle = cycle;
  character.framingError = stopError_;
  character.parityError =
      parityBits != 0 && ((bits_ >> format_.dataBits) & 1) != ParityBit(data, format_.parity);
  received_.push_back(character);
  // After a broken stop bit the line has to rest at 1 before a new start bit counts.
  state_ = level_ ? State::Idle : State::WaitingForIdle;
}

SerialFeeder::SerialFeeder(SerialFormat format, double cyclesPerBit)
    : format_(format), cyclesPerBit_(cyclesPerBit) {}

void SerialFeeder::Queue(std::string_view bytes) {
  for (const char c : bytes) {
    waiting_.push_back(static_cast<std::uint8_t>(c));
  }
}

bool SerialFeeder::Poll(std::uint64_t cycle) {
  const auto now = static_cast<double>(cycle);
  if (sending_ && now >= start_ + format_.FrameBits() * cyclesPerBit_) {
    sending_ = false;
  }
  if (!sending_) {
    if (waiting_.empty()) {
      return true;
    }
    // The program is looking at a resting line: the next byte starts now.
    const unsigned data = waiting_.front() & ((1u << format_.dataBits) - 1);
    waiting_.pop_front();
    frame_ = data;
    int bits = format_.dataBits;
    if (format_.parity != 'N') {
      frame_ |= ParityBit(data, format_.parity) << bits++;
    }
    frame_ |= ((1u << format_.stopBits) - 1) << bits;
    sending_ = true;
    start_ = now;
  }
  return Level(cycle);
}

bool SerialFeeder::Level(std::uint64_t cycle) const {
  const auto now = static_cast<double>(cycle);
  if (!sending_ || now >= start_ + format_.FrameBits() * cyclesPerBit_) {
    return true;
  }
  const auto bit = static_cast<int>((now - start_) / cyclesPerBit_);
  return bit == 0 ? false : ((frame_ >> (bit - 1)) & 1) != 0;
}

bool SerialFeeder::Finished(std::uint64_t cycle) const {
  return waiting_.empty() &&
         (!sending_ || static_cast<double>(cycle) >= start_ + format_.FrameBits() * cyclesPerBit_);
}

} // namespace simulate
