#pragma once

#include "simulate/machine.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// Breakpoints on what the program does rather than only where it is: an I/O instruction to a
// port or RAM chip, a value that changes or takes a value, and a condition on the machine for
// any breakpoint. No Qt here.
namespace debugger {

// A condition on the machine: comparisons of acc, carry, pc, src, dcl, r0-r15 (ra-rf), p0-p7 and
// cycles with numbers, joined by "and" (binding tighter) and "or": "acc = 5 and carry = 1".
class Condition {
public:
  // The condition that `text` writes, or what is wrong with it.
  static std::variant<Condition, std::string> Parse(std::string_view text);
  [[nodiscard]] bool Holds(const simulate::Machine& machine) const;
  [[nodiscard]] const std::string& text() const { return text_; }

  struct Comparison {
    enum class Operand : std::uint8_t { Acc, Carry, Pc, Src, Dcl, Register, Pair, Cycles };
    enum class Relation : std::uint8_t {
      Equal,
      NotEqual,
      Less,
      Greater,
      LessOrEqual,
      GreaterOrEqual
    };
    Operand operand = Operand::Acc;
    unsigned index = 0; // of the register or pair
    Relation relation = Relation::Equal;
    std::uint64_t value = 0;
  };

private:
  std::vector<std::vector<Comparison>> anyOf_; // "or" of "and"s
  std::string text_;
};

// What a watch is on.
struct IoTarget {
  bool rom = false;   // a ROM port (WRR, RDR); else a RAM chip
  unsigned port = 0;  // ROM port 0-15
  unsigned line = 0;  // CM-RAM line 0-3
  unsigned chip = 0;  // 0-3
  int reg = -1;       // register 0-3, or -1 for any
  int character = -1; // main character 0-15, or -1 for any

  friend bool operator==(const IoTarget&, const IoTarget&) = default;
};

struct ValueTarget {
  enum class Kind : std::uint8_t {
    Acc,
    Carry,
    Register,
    Pair,
    RamCharacter,
    StatusCharacter,
    RomPort,
    RamPort
  };
  Kind kind = Kind::Acc;
  unsigned index = 0;             // register 0-15, pair 0-7, ROM port 0-15, or a RAM index
  std::optional<unsigned> equals; // stop when it takes this value; without, when it changes

  friend bool operator==(const ValueTarget&, const ValueTarget&) = default;
};

// One breakpoint: at an address (the listing's first column), on I/O, or on a value; with an
// optional condition, and a count of hits before which it does not stop.
struct Watch {
  std::variant<int, IoTarget, ValueTarget> on; // int: the address, with the bank in bit 12
  std::optional<Condition> condition;
  unsigned skip = 0; // hits to let pass before it stops
  unsigned hits = 0; // counted since it was set
  std::string text;  // as the user wrote it, for the list

  [[nodiscard]] bool IsAddress() const { return std::holds_alternative<int>(on); }
};

// The watch that `text` writes, or what is wrong with it:
//   io rom P                       WRR/RDR to ROM port P (hex digit)
//   io ram L:C[:R[:N]]             an I/O instruction to RAM line L chip C (register R, char N)
//   watch acc|carry|rN|pN          the value changes
//   watch ram L:C:R:N | status L:C:R:N | rom-port P | ram-port L:C
//   ... = V                        the value takes V instead (decimal, or hex with h)
// followed by "if CONDITION" and "after N" (let N hits pass) in any order.
[[nodiscard]] std::variant<Watch, std::string> ParseWatch(std::string_view text);

// The condition and count part of a breakpoint at an address: "if acc = 5 after 2", or empty.
[[nodiscard]] std::variant<Watch, std::string> ParseAddressWatch(int address,
                                                                 std::string_view text);

// Whether the instruction about to run at the machine's counter is an I/O instruction to
// `target`, as SRC and DCL have chosen.
[[nodiscard]] bool IoHits(const IoTarget& target, const simulate::Machine& machine);

// The value a value watch looks at.
[[nodiscard]] unsigned ValueOf(const ValueTarget& target, const simulate::Machine& machine);

} // namespace debugger
