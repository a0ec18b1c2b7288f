#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// The generic parts that boards are built from, each on its own: what a part does with the levels
// it is given and what it presents at a given instruction cycle. A board wires them to the
// processor's pins. Times are instruction cycles.
namespace simulate {

// A chain of 4003 shift registers, 10 bits each. A rising edge on the clock input moves every
// bit one place on and takes the data input into bit 0; the last bit of each chip goes on into
// the first of the next through its serial output, so a chain is one register of 10 bits a chip.
class ShiftRegister {
public:
  static constexpr unsigned kBitsPerChip = 10;
  static constexpr unsigned kMostChips = 6;

  explicit ShiftRegister(unsigned chips);

  // The clock and data inputs are at these levels now.
  void Inputs(bool clock, bool data);
  [[nodiscard]] bool Bit(unsigned index) const { return ((bits_ >> index) & 1) != 0; }
  [[nodiscard]] std::uint64_t Bits() const { return bits_; }
  [[nodiscard]] unsigned Length() const { return length_; }

private:
  unsigned length_;
  std::uint64_t bits_ = 0;
  bool clock_ = false;
};

// A level that changes at given cycles: a key held from one cycle to another, a switch set to a
// position from a cycle on. Changes are kept in time order; a change at or before an earlier
// one replaces what was planned from then on.
class Timeline {
public:
  explicit Timeline(std::uint8_t initial = 0) : initial_(initial) {}

  // From `cycle` on the value is `value` (until a later change).
  void Set(std::uint64_t cycle, std::uint8_t value);
  // `value` from `from` until `until`, then back to what it was before `from`.
  void Pulse(std::uint64_t from, std::uint64_t until, std::uint8_t value);
  [[nodiscard]] std::uint8_t At(std::uint64_t cycle) const;
  // Forgets the changes before `cycle`, keeping the value at `cycle`.
  void Forget(std::uint64_t cycle);

private:
  std::uint8_t initial_;
  std::vector<std::pair<std::uint64_t, std::uint8_t>> changes_;
};

// Keys and switch contacts between column lines, driven by the outputs of a shift register, and
// row lines, read on an input port. A column is selected while its shift-register bit is at the
// active level; a contact that is closed joins its column to its rows, and the rows read 1.
class KeyMatrix {
public:
  KeyMatrix(const ShiftRegister& columns, bool activeLow)
      : columns_(columns), activeLow_(activeLow) {}

  // A set of contacts on `column`; returns its number. Its timeline gives the rows it closes.
  std::size_t AddContact(unsigned column);
  [[nodiscard]] Timeline& Contact(std::size_t contact) { return contacts_[contact].second; }
  [[nodiscard]] const Timeline& Contact(std::size_t contact) const {
    return contacts_[contact].second;
  }
  // The row lines at `cycle`: bit r for row r.
  [[nodiscard]] std::uint8_t Rows(std::uint64_t cycle) const;

private:
  const ShiftRegister& columns_;
  bool activeLow_;
  std::vector<std::pair<unsigned, Timeline>> contacts_; // column, closed rows over time
};

// A train of pulses, such as the sector marks of a turning printer drum: pulse n starts at
// phase + n * period and lasts `width`; the index marks every `indexEvery`-th pulse (pulse 0,
// then indexEvery, ...), during that pulse.
class PulseTrain {
public:
  PulseTrain(double periodCycles, double widthCycles, double phaseCycles, unsigned indexEvery);

  // The number of the pulse that started last at `cycle` (-1 before the first).
  [[nodiscard]] std::int64_t Pulse(std::uint64_t cycle) const;
  [[nodiscard]] bool Level(std::uint64_t cycle) const;
  [[nodiscard]] bool Index(std::uint64_t cycle) const;
  // Where the train stands in its index period: 0 from the index pulse on, then 1, ...
  [[nodiscard]] unsigned Position(std::uint64_t cycle) const;
  [[nodiscard]] double Period() const { return period_; }

private:
  double period_;
  double width_;
  double phase_;
  unsigned indexEvery_;
};

// The printer columns that share one set of symbols on the drum, one symbol per drum position.
struct PrinterColumns {
  unsigned first = 1; // columns first..last, counted from 1
  unsigned last = 1;
  unsigned width = 1; // characters each column takes on the paper
  unsigned gap = 0;   // spaces on the paper before the first of them
  std::vector<std::string> symbols;

  friend bool operator==(const PrinterColumns&, const PrinterColumns&) = default;
};

// One line of paper: what each column printed (empty where it printed nothing).
struct PaperLine {
  std::vector<std::string> columns; // column 1 first
  bool red = false;                 // something on it was printed with the red ribbon

  [[nodiscard]] bool Blank() const;
  friend bool operator==(const PaperLine&, const PaperLine&) = default;
};

// A drum printer: hammers chosen by shift-register bits strike, when the fire input rises, the
// symbols of the drum position under them; the paper advance input moves to the next line when it
// rises. A rise of the ribbon input shifts the ribbon to red until the paper advances: the
// calculator raises it once before the first strike of a line.
class DrumPrinter {
public:
  // Bit i of `hammers` drives the hammer of column `hammerColumns[i]` (0: no hammer).
  DrumPrinter(const ShiftRegister& hammers, std::vector<unsigned> hammerColumns,
              const PulseTrain& drum, std::vector<PrinterColumns> columns);

  void Fire(bool level, std::uint64_t cycle);
  void Ribbon(bool level);
  void Advance(bool level, std::uint64_t cycle);

  // Lines fed out of the printer, oldest first; the caller may take them.
  [[nodiscard]] std::vector<PaperLine>& Fed() { return fed_; }
  [[nodiscard]] const PaperLine& Current() const { return current_; }
  // The last cycle at which the hammers struck or the paper moved.
  [[nodiscard]] std::uint64_t LastActivity() const { return lastActivity_; }
  // The line as the paper shows it: each column's symbol padded to the column's width, with the
  // gaps between groups; blanks at the end dropped; "  [red]" after a line printed in red.
  [[nodiscard]] std::string Text(const PaperLine& line) const;

private:
  const ShiftRegister& hammers_;
  std::vector<unsigned> hammerColumns_;
  const PulseTrain& drum_;
  std::vector<PrinterColumns> columns_;
  std::vector<const PrinterColumns*> groupOf_; // by column - 1
  PaperLine current_;
  std::vector<PaperLine> fed_;
  bool fire_ = false;
  bool advance_ = false;
  bool ribbon_ = false;
  bool red_ = false;
  std::uint64_t lastActivity_ = 0;
};

} // namespace simulate
