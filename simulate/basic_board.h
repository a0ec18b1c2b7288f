#pragma once

#include "simulate/peripherals.h"
#include "simulate/serial.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace simulate {

// An output bit that a serial line can be taken from: bit `bit` of ROM port `port`'s output
// latch, or of the output port of RAM chip `chip` on CM-RAM line `line`.
struct OutputPin {
  enum class Kind : std::uint8_t { Rom, Ram };
  Kind kind = Kind::Rom;
  std::uint8_t line = 0;
  std::uint8_t chip = 0; // or the ROM port
  std::uint8_t bit = 0;

  friend bool operator==(const OutputPin&, const OutputPin&) = default;
};

// "rom:P:B" or "ram:L:C:B" (hexadecimal port P, decimal line, chip and bit); nothing for a text
// that is not one.
[[nodiscard]] std::optional<OutputPin> ParseOutputPin(std::string_view text);

// A board with fixed inputs and, where set, a serial output decoded from one pin and a serial
// input driven into TEST: the board most single-board computers are.
class BasicBoard final : public Peripherals {
public:
  struct Serial {
    SerialFormat format;
    double cyclesPerBit = 0;
    std::optional<OutputPin> transmit; // the pin the program sends on
    bool receiveOnTest = false;        // the program receives on TEST
    bool invertTransmit = false;       // the board inverts the output line: it rests at 0
    bool invertReceive = false;        // the board inverts the input line: TEST reads 0 at rest
  };

  BasicBoard() = default;
  explicit BasicBoard(const Serial& serial);

  void SetTest(bool level) { test_ = level; }
  void SetRomInput(std::uint8_t port, std::uint8_t value) { romInputs_[port & 0xF] = value & 0xF; }
  // Bytes to send to the program on TEST, after those already waiting.
  void SendInput(std::string_view bytes);

  bool Test(std::uint64_t cycle) override;
  // The level of TEST at `cycle`, without the program looking at it (which starts a waiting
  // byte).
  [[nodiscard]] bool TestLevel(std::uint64_t cycle) const;
  std::uint8_t RomInput(std::uint8_t port, std::uint64_t cycle) override;
  void RomOutput(std::uint8_t port, std::uint8_t value, std::uint64_t cycle) override;
  void RamOutput(std::uint8_t line, std::uint8_t chip, std::uint8_t value,
                 std::uint64_t cycle) override;

  // The serial output decoded up to `cycle`; nothing without a transmit pin.
  SerialDecoder* Output(std::uint64_t cycle);
  [[nodiscard]] const SerialFeeder* Input() const { return feeder_ ? &*feeder_ : nullptr; }
  // Set when a character has been decoded since it was last cleared.
  bool& OutputArrived() { return outputArrived_; }

private:
  void Transmit(std::uint8_t value, std::uint64_t cycle);

  bool test_ = false;
  std::array<std::uint8_t, 16> romInputs_{};
  Serial serial_;
  std::optional<SerialDecoder> decoder_;
  std::optional<SerialFeeder> feeder_;
  bool outputArrived_ = false;
};

} // namespace simulate
