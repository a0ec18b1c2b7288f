#include "simulate/parts/drum_printer.h"

#include <algorithm>

namespace simulate {

bool PaperLine::Blank() const {
  return std::all_of(columns.begin(), columns.end(),
                     [](const std::string& column) { return column.empty(); });
}

DrumPrinter::DrumPrinter(const ShiftRegister& hammers, std::vector<unsigned> hammerColumns,
                         const PulseTrain& drum, std::vector<PrinterColumns> columns)
    : hammers_(hammers), hammerColumns_(std::move(hammerColumns)), drum_(drum),
      columns_(std::move(columns)) {
  std::sort(columns_.begin(), columns_.end(),
            [](const PrinterColumns& a, const PrinterColumns& b) { return a.first < b.first; });
  unsigned count = 0;
  for (const PrinterColumns& group : columns_) {
    count = std::max(count, group.last);
  }
  groupOf_.assign(count, nullptr);
  for (const PrinterColumns& group : columns_) {
    for (unsigned column = group.first; column <= group.last; ++column) {
      groupOf_[column - 1] = &group;
    }
  }
  current_.columns.assign(count, {});
}

void DrumPrinter::Ribbon(bool level) {
  red_ = red_ || (level && !ribbon_);
  ribbon_ = level;
}

void DrumPrinter::Fire(bool level, std::uint64_t cycle) {
  if (level && !fire_) {
    const unsigned position = drum_.Position(cycle);
    bool struck = false;
    for (std::size_t bit = 0; bit < hammerColumns_.size(); ++bit) {
      const unsigned column = hammerColumns_[bit];
      if (column == 0 || column > groupOf_.size() || !hammers_.Bit(static_cast<unsigned>(bit))) {
        continue;
      }
      const PrinterColumns* group = groupOf_[column - 1];
      if (group != nullptr && position < group->symbols.size()) {
        current_.columns[column - 1] = group->symbols[position];
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
