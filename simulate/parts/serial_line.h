#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// An asynchronous serial line as 4004 boards bit-bang it: a start bit (0), 5 to 8 data bits,
// least significant first, an optional parity bit, and 1 or 2 stop bits (1). The line rests at
// 1 between characters. Times are instruction cycles.
namespace simulate {

struct SerialFormat {
  int dataBits = 8;
  char parity = 'N'; // N, E or O
  int stopBits = 1;

  [[nodiscard]] int FrameBits() const { return 1 + dataBits + (parity == 'N' ? 0 : 1) + stopBits; }
  friend bool operator==(const SerialFormat&, const SerialFormat&) = default;
};

// "8N1" and the like; nothing for a text that is not one.
[[nodiscard]] std::optional<SerialFormat> ParseSerialFormat(std::string_view text);

// Instruction cycles per bit at a processor clock of `clockHz` (8 clock periods a cycle).
[[nodiscard]] double CyclesPerBit(double clockHz, double baud);

// One character taken off the line.
struct SerialCharacter {
  std::uint8_t value = 0;
  std::uint64_t cycle = 0;   // when its stop bit was sampled
  bool framingError = false; // a stop bit read 0
  bool parityError = false;

  friend bool operator==(const SerialCharacter&, const SerialCharacter&) = default;
};

// Decodes what a program sends on an output pin, as a receiving UART would: a falling edge
// starts a character, and each bit is sampled in its middle. The line must have been seen at 1
// before the first character, so the 0 of an output latch at reset is not taken for a start bit.
class SerialDecoder {
public:
  SerialDecoder(SerialFormat format, double cyclesPerBit);

  // The line is at `level` from `cycle` on. Calls come in time order.
  void Line(bool level, std::uint64_t cycle);
  // Time has gone on to `cycle` without a change: completes the bits sampled before it.
  void Advance(std::uint64_t cycle);

  // The characters decoded so far, oldest first; the caller may clear it.
  std::vector<SerialCharacter>& Received() { return received_; }
  [[nodiscard]] bool Busy() const { return state_ == State::InCharacter; }

private:
  enum class State : std::uint8_t { WaitingForIdle, Idle, InCharacter };

  void Sample(bool level, std::uint64_t cycle);

  SerialFormat format_;
  double cyclesPerBit_;
  State state_ = State::WaitingForIdle;
  bool level_ = false;
  double start_ = 0;  // the cycle of the falling edge
  int nextBit_ = 0;   // 0 is the start bit
  unsigned bits_ = 0; // data and parity bits so far, least significant first
  bool stopError_ = false;
  std::vector<SerialCharacter> received_;
};

// Sends bytes to a program that polls an input line (the TEST input). A character starts only
// when the program looks at the line while it rests at 1 and a byte is waiting, so a program that
// reads between its outputs receives every byte; its bits then follow at the bit rate.
class SerialFeeder {
public:
  SerialFeeder(SerialFormat format, double cyclesPerBit);

  void Queue(std::string_view bytes);
  // The line level that the program reads at `cycle`.
  bool Poll(std::uint64_t cycle);
  // The line level at `cycle`, as it is without a program looking at it.
  [[nodiscard]] bool Level(std::uint64_t cycle) const;
  // True when every byte has been sent to its last stop bit, as of `cycle`.
  [[nodiscard]] bool Finished(std::uint64_t cycle) const;
  [[nodiscard]] std::size_t Waiting() const { return waiting_.size(); }

private:
  SerialFormat format_;
  double cyclesPerBit_;
  std::deque<std::uint8_t> waiting_;
  bool sending_ = false;
  double start_ = 0;
  unsigned frame_ = 0; // the character's bits after the start bit, least significant first
};

} // namespace simulate
