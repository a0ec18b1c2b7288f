#include "simulate/parts.h"

#include <algorithm>
#include <cmath>

namespace simulate {

ShiftRegister::ShiftRegister(unsigned chips)
    : length_(std::clamp(chips, 1u, kMostChips) * kBitsPerChip) {}

void ShiftRegister::Inputs(bool clock, bool data) {
  if (clock && !clock_) {
    const std::uint64_t mask = (std::uint64_t{1} << length_) - 1;
    bits_ = ((bits_ << 1) | (data ? 1 : 0)) & mask;
  }
  clock_ = clock;
}

void Timeline::Set(std::uint64_t cycle, std::uint8_t value) {
  while (!changes_.empty() && changes_.back().first >= cycle) {
    changes_.pop_back();
  }
  changes_.emplace_back(cycle, value);
}

void Timeline::Pulse(std::uint64_t from, std::uint64_t until, std::uint8_t value) {
  const std::uint8_t after = At(from);
  Set(from, value);
  if (until > from) {
    changes_.emplace_back(until, after);
  }
}

std::uint8_t Timeline::At(std::uint64_t cycle) const {
  // The last change at or before `cycle`; there are few, and the newest are asked for most.
  for (auto change = changes_.rbegin(); change != changes_.rend(); ++change) {
    if (change->first <= cycle) {
      return change->second;
    }
  }
  return initial_;
}

void Timeline::Forget(std::uint64_t cycle) {
  std::size_t kept = 0;
  while (kept < changes_.size() && changes_[kept].first <= cycle) {
    ++kept;
  }
  if (kept > 0) {
    initial_ = changes_[kept - 1].second;
    changes_.erase(changes_.begin(), changes_.begin() + static_cast<std::ptrdiff_t>(kept));
  }
}

std::size_t KeyMatrix::AddContact(unsigned column) {
  contacts_.emplace_back(column, Timeline());
  return contacts_.size() - 1;
}

std::uint8_t KeyMatrix::Rows(std::uint64_t cycle) const {
  std::uint8_t rows = 0;
  for (const auto& [column, closed] : contacts_) {
    if (columns_.Bit(column) != activeLow_) {
      rows |= closed.At(cycle);
    }
  }
  return rows;
}

PulseTrain::PulseTrain(double periodCycles, double widthCycles, double phaseCycles,
                       unsigned indexEvery)
    : period_(periodCycles), width_(widthCycles), phase_(phaseCycles),
      indexEvery_(std::max(indexEvery, 1u)) {}

std::int64_t PulseTrain::Pulse(std::uint64_t cycle) const {
  return static_cast<std::int64_t>(std::floor((static_cast<double>(cycle) - phase_) / period_));
}

bool PulseTrain::Level(std::uint64_t cycle) const {
  const std::int64_t pulse = Pulse(cycle);
  return pulse >= 0 &&
         static_cast<double>(cycle) - phase_ - static_cast<double>(pulse) * period_ < width_;
}

bool PulseTrain::Index(std::uint64_t cycle) const {
  return Level(cycle) && Pulse(cycle) % indexEvery_ == 0;
}

unsigned PulseTrain::Position(std::uint64_t cycle) const {
  const std::int64_t pulse = Pulse(cycle);
  const std::int64_t every = indexEvery_;
  return static_cast<unsigned>(((pulse % every) + every) % every);
}

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
