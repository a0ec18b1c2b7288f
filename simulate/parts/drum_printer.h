#pragma once

#include "simulate/parts/pulse_train.h"
#include "simulate/parts/shift_register.h"

#include <cstdint>
#include <string>
#include <vector>

namespace simulate {

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
  // Bit i of the hammers' shift register drives the hammer of column `hammerColumns[i]` (0: no
  // hammer).
  DrumPrinter(std::vector<unsigned> hammerColumns, std::vector<PrinterColumns> columns);

  // The fire input at `cycle`: a rise strikes the hammers that `hammers` chooses with the
  // symbols of the position of `drum`.
  void Fire(bool level, std::uint64_t cycle, const ShiftRegister& hammers, const PulseTrain& drum);
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
  static constexpr std::size_t kNoGroup = static_cast<std::size_t>(-1);

  std::vector<unsigned> hammerColumns_;
  std::vector<PrinterColumns> columns_;
  std::vector<std::size_t> groupOf_; // by column - 1: the index in columns_, or kNoGroup
  PaperLine current_;
  std::vector<PaperLine> fed_;
  bool fire_ = false;
  bool advance_ = false;
  bool ribbon_ = false;
  bool red_ = false;
  std::uint64_t lastActivity_ = 0;
};

} // namespace simulate
