#include "simulate/parts/drum_printer.h"

#include <algorithm>

namespace simulate {

bool PaperLine::Blank() const {
  return std::all_of(columns.begin(), columns.end(),
                     [](const std::string& column) { return column.empty(); });
}

DrumPrinter::DrumPrinter(std::vector<unsigned> hammerColumns, std::vector<PrinterColumns> columns)
    : hammerColumns_(std::move(hammerColumns)), columns_(std::move(columns)) {
  std::sort(columns_.begin(), columns_.end(),
            [](const PrinterColumns& a, const PrinterColumns& b) { return a.first < b.first; });
  unsigned count = 0;
  for (const PrinterColumns& group : columns_) {
    count = std::max(count, group.last);
  }
  groupOf_.assign(count, kNoGroup);
  for (std::size_t index = 0; index < columns_.size(); ++index) {
    for (unsigned column = columns_[index].first; column <= columns_[index].last; ++column) {
      groupOf_[column - 1] = index;
    }
  }
  current_.columns.assign(count, {});
}

void DrumPrinter::Ribbon(bool level) {
  red_ = red_ || (level && !ribbon_);
  ribbon_ = level;
}

void DrumPrinter::Fire(bool level, std::uint64_t cycle, const ShiftRegister& hammers,
                       const PulseTrain& drum) {
  if (level && !fire_) {
    const unsigned position = drum.Position(cycle);
    bool struck = false;
    for (std::size_t bit = 0; bit < hammerColumns_.size(); ++bit) {
      const unsigned column = hammerColumns_[bit];
      if (column == 0 || column > groupOf_.size() || !hammers.Bit(static_cast<unsigned>(bit)) ||
          groupOf_[column - 1] == kNoGroup) {
        continue;
      }
      const PrinterColumns& group = columns_[groupOf_[column - 1]];
      if (position < group.symbols.size()) {
        current_.columns[column - 1] = group.symbols[position];
        struck = true;
      }
    }
    current_.red = current_.red || (struck && red_);
    lastActivity_ = cycle;
  }
  fire_ = level;
}

void DrumPrinter::Advance(bool level, std::uint64_t cycle) {
  if (level && !advance_) {
    fed_.push_back(current_);
    std::fill(current_.columns.begin(), current_.columns.end(), std::string());
    current_.red = false;
    red_ = false;
    lastActivity_ = cycle;
  }
  advance_ = level;
}

std::string DrumPrinter::Text(const PaperLine& line) const {
  std::string text;
  for (const PrinterColumns& group : columns_) {
    text.append(group.gap, ' ');
    for (unsigned column = group.first; column <= group.last; ++column) {
      const std::string& symbol =
          column <= line.columns.size() ? line.columns[column - 1] : std::string();
      text += symbol;
      if (symbol.size() < group.width) {
        text.append(group.width - symbol.size(), ' ');
      }
    }
  }
  text.erase(text.find_last_not_of(' ') + 1);
  if (line.red) {
    text += "  [red]";
  }
  return text;
}

} // namespace simulate
