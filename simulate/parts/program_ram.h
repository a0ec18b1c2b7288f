#pragma once

#include "simulate/machine.h"

#include <cstdint>
#include <vector>

namespace simulate {

// Read/write program memory in place of one page of ROM, as boards build it from a static RAM
// (the job of Intel's 4008/4009 pair): WPM writes the accumulator into it, RPM reads it, and the
// processor fetches instructions from it like from ROM. A byte takes two WPMs (or RPMs); the
// SRC address chooses the byte in the page. A counter that every WPM and RPM flips chooses the
// half: Intel's pair writes the upper half first and sets the counter back only at RESET, while
// a board of one's own may write the lower half first, or start a byte at every SRC.
// Boards with more RAM than a page switch banks of it into the page from an output port.
class ProgramRam {
public:
  struct Wiring {
    bool lowHalfFirst = false;
    bool srcStartsByte = false;
  };

  ProgramRam(std::uint8_t page, unsigned banks, Wiring wiring);

  // SRC sent an address: where the board starts a byte at every SRC, the next WPM or RPM
  // reaches its first half.
  void Designate() {
    if (wiring_.srcStartsByte) {
      secondHalf_ = false;
    }
  }
  // WPM: writes the half byte `value` at the SRC address of `machine`.
  void Write(Machine& machine, std::uint8_t value);
  // RPM: the half byte at the SRC address.
  [[nodiscard]] std::uint8_t Read(Machine& machine);
  // Chooses the bank that the page shows from now on (taken modulo the number of banks).
  void SelectBank(std::uint8_t bank) { wanted_ = bank % banks_; }
  // Puts the chosen bank into the program memory of `machine`, if it is not there yet.
  void Sync(Machine& machine);
  [[nodiscard]] std::uint8_t Page() const { return page_; }
  [[nodiscard]] unsigned Bank() const { return wanted_; }

private:
  // Whether the half being reached is the high one, and moves on to the other half.
  bool NextHalfIsHigh();

  std::uint8_t page_;
  unsigned banks_;
  Wiring wiring_;
  std::vector<std::uint8_t> bytes_; // bank 0, bank 1, ... of 256 bytes each
  unsigned wanted_ = 0;
  int shown_ = -1; // the bank in the machine's program memory
  bool secondHalf_ = false;
};

} // namespace simulate
