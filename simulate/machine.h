#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// A 4004 or 4040 system as a plain value: the processor, program memory, the 4002 RAMs and the
// 4001 ROM ports. A copy is a snapshot; two machines compare equal when every part agrees.
namespace simulate {

enum class Processor : std::uint8_t { I4004, I4040 };

// "4004" or "4040", as the programs write and read the processors' names.
[[nodiscard]] constexpr std::string_view ProcessorName(Processor cpu) {
  return cpu == Processor::I4004 ? "4004" : "4040";
}
[[nodiscard]] constexpr std::optional<Processor> ParseProcessor(std::string_view name) {
  if (name == ProcessorName(Processor::I4004)) {
    return Processor::I4004;
  }
  if (name == ProcessorName(Processor::I4040)) {
    return Processor::I4040;
  }
  return std::nullopt;
}

// Program memory: one 4 KB bank on the 4004, two on the 4040 (DB0/DB1 choose).
inline constexpr std::size_t kBankSize = 4096;
inline constexpr std::size_t kBanks = 2;

// The 4002 RAMs: four CM-RAM lines of four chips, each of four registers of 16 main characters
// and 4 status characters, and one 4-bit output port per chip.
inline constexpr std::size_t kRamLines = 4;
inline constexpr std::size_t kRamChips = 4;
inline constexpr std::size_t kRamRegisters = 4;
inline constexpr std::size_t kMainCharacters = 16;
inline constexpr std::size_t kStatusCharacters = 4;
inline constexpr std::size_t kRomPorts = 16;

struct Machine {
  Processor cpu = Processor::I4004;
  std::array<std::uint8_t, kBanks * kBankSize> rom{}; // bank 0, then bank 1; unwritten bytes are 00
  std::uint64_t cycles = 0; // instruction cycles run, 8 clock periods each

  // The address stack as the processor has it: four address registers on the 4004 (eight on the
  // 4040), one of them the program counter, chosen by `pointer`. JMS moves the pointer up, BBL
  // down; nothing is ever cleared, and the oldest address is overwritten when the stack wraps.
  std::array<std::uint16_t, 8> addresses{};
  std::uint8_t pointer = 0;

  std::uint8_t acc = 0;
  std::uint8_t carry = 0;
  // R0-R15; on the 4040 R0-R7 of register bank 1 follow at 16-23.
  std::array<std::uint8_t, 24> registers{};
  std::uint8_t registerBank = 0; // 4040: chosen by SB0/SB1, for R0-R7

  std::uint8_t romBank = 0;          // 4040: the bank DB0/DB1 designated last
  std::uint8_t fetchBank = 0;        // the bank instructions came from until `bankSwitchCycle`
  std::uint64_t bankSwitchCycle = 0; // from this cycle on, fetches come from `romBank`

  std::uint8_t src = 0; // the last address sent by SRC
  std::uint8_t dcl = 0; // the CM-RAM selection set by DCL, 0-7

  std::array<std::uint8_t, kRamLines * kRamChips * kRamRegisters * kMainCharacters> ram{};
  std::array<std::uint8_t, kRamLines * kRamChips * kRamRegisters * kStatusCharacters> status{};
  std::array<std::uint8_t, kRamLines * kRamChips> ramPorts{};
  std::array<std::uint8_t, kRomPorts> romPorts{}; // output latches

  bool halted = false;            // 4040: stopped by HLT until an interrupt
  bool interruptsEnabled = false; // 4040: EIN (SEI) and DIN (CLI)
  bool servingInterrupt = false;  // 4040: an interrupt was taken and BBS has not returned yet
  // 4040: the SRC register, the last address SRC sent outside an interrupt routine (SRC within
  // one leaves it), which BBS sends again.
  std::uint8_t savedSrc = 0;
  std::uint8_t savedRegisterBank = 0; // 4040: the register bank when the interrupt was taken

  friend bool operator==(const Machine&, const Machine&) = default;
};

// A machine just reset, for `cpu`.
[[nodiscard]] Machine MakeMachine(Processor cpu);

// The number of address registers: the program counter and 3 (4004) or 7 (4040) levels.
[[nodiscard]] constexpr std::size_t AddressRegisters(Processor cpu) {
  return cpu == Processor::I4004 ? 4 : 8;
}

[[nodiscard]] inline std::uint16_t ProgramCounter(const Machine& machine) {
  return machine.addresses[machine.pointer];
}

// The index in `Machine::registers` of register `r` (0-15) as the program sees it now.
[[nodiscard]] inline std::size_t RegisterIndex(const Machine& machine, unsigned r) {
  return r < 8 && machine.registerBank != 0 ? 16 + r : r;
}

[[nodiscard]] constexpr std::size_t RamIndex(std::size_t line, std::size_t chip, std::size_t reg,
                                             std::size_t character) {
  return ((line * kRamChips + chip) * kRamRegisters + reg) * kMainCharacters + character;
}

[[nodiscard]] constexpr std::size_t StatusIndex(std::size_t line, std::size_t chip, std::size_t reg,
                                                std::size_t character) {
  return ((line * kRamChips + chip) * kRamRegisters + reg) * kStatusCharacters + character;
}

// The CM-RAM lines that a DCL value selects, one bit each: 0 selects line 0; otherwise bit 0
// of the value selects line 1, bit 1 line 2 and bit 2 line 3, so 3, 5, 6 and 7 select two or
// three lines at once.
[[nodiscard]] constexpr std::uint8_t SelectedLines(std::uint8_t dcl) {
  dcl &= 7;
  return dcl == 0 ? std::uint8_t{1} : static_cast<std::uint8_t>(dcl << 1);
}

// Puts `image` into program memory from address 000 of bank 0 (and on into bank 1 on the
// 4040). Returns the reason when it does not fit, and an empty text when it did.
[[nodiscard]] std::string LoadImage(Machine& machine, std::span<const std::uint8_t> image);

} // namespace simulate
