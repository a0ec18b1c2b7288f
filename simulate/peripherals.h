#pragma once

#include "simulate/machine.h"

#include <cstdint>

namespace simulate {

// What lies outside the processor and its memories: the TEST and INT inputs, the input lines of
// the ROM ports, whatever listens to the output ports, and program memory that a board puts in
// place of ROM. Step calls it only on instructions that reach it, at the instruction cycle
// `cycle` in which the processor does so.
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
  // The 4040 took the interrupt (INTA): a device that holds INT until then lets it go.
  virtual void InterruptTaken(std::uint64_t /*cycle*/) {}
  // SRC sent `address` to the RAMs and ROMs.
  virtual void SentAddress(std::uint8_t /*address*/, std::uint64_t /*cycle*/) {}

  // Program memory that can be written, such as program RAM: WPM writes the half byte `value`
  // into it and RPM reads one. The processor fetches from the program memory of `machine`,
  // which the peripherals keep showing what the RAM holds. Without any, WPM and RPM stop.
  [[nodiscard]] virtual bool HasProgramMemory() const { return false; }
  virtual void WriteProgramMemory(Machine& /*machine*/, std::uint8_t /*value*/,
                                  std::uint64_t /*cycle*/) {}
  [[nodiscard]] virtual std::uint8_t ReadProgramMemory(Machine& /*machine*/,
                                                       std::uint64_t /*cycle*/) {
    return 0;
  }
  // An output port changed: where a port chooses which bank of program RAM the processor
  // fetches from, the peripherals put that bank in place in `machine`.
  virtual void MapProgramMemory(Machine& /*machine*/) {}
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
