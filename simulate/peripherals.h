#pragma once

#include <cstdint>

namespace simulate {

class ProgramRam;

// What lies outside the processor and its memories: the TEST and INT inputs, the input lines of
// the ROM ports, and whatever listens to the output ports. Step calls it only on instructions
// that reach it, at the instruction cycle `cycle` in which the processor does so.
class Peripherals {
public:
  virtual ~Peripherals() = default;

  // The level of the TEST input that the program reads: true for 1.
  virtual bool Test(std::uint64_t cycle) = 0;
  // The 4-bit value that the input lines of ROM port `port` present to RDR.
  virtual std::uint8_t RomInput(std::uint8_t port, std::uint64_t cycle) = 0;
  // WRR wrote `value` to the output latch of ROM port `port`.
  virtual void RomOutput(std::uint8_t port, std::uint8_t value, std::uint64_t cycle) = 0;
  // WMP wrote `value` to the output port of RAM chip `chip` on CM-RAM line `line`.
  virtual void RamOutput(std::uint8_t line, std::uint8_t chip, std::uint8_t value,
                         std::uint64_t cycle) = 0;
  // The 4040's INT input: true while a device asks for an interrupt.
  virtual bool Interrupt(std::uint64_t /*cycle*/) { return false; }
  // The program RAM that WPM and RPM reach; null on a board without any, where they stop.
  virtual ProgramRam* ProgramMemory() { return nullptr; }
};

// Peripherals with nothing attached: TEST at a fixed level, all input lines 0.
class NoPeripherals final : public Peripherals {
public:
  explicit NoPeripherals(bool test = false) : test_(test) {}
  bool Test(std::uint64_t) override { return test_; }
  std::uint8_t RomInput(std::uint8_t, std::uint64_t) override { return 0; }
  void RomOutput(std::uint8_t, std::uint8_t, std::uint64_t) override {}
  void RamOutput(std::uint8_t, std::uint8_t, std::uint8_t, std::uint64_t) override {}

private:
  bool test_;
};

} // namespace simulate
