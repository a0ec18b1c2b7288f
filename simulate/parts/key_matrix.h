#pragma once

#include "simulate/parts/shift_register.h"
#include "simulate/parts/timeline.h"

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace simulate {

// Keys and switch contacts between column lines, driven by the outputs of a shift register, and
// row lines, read on an input port. A column is selected while its shift-register bit is at the
// active level; a contact that is closed joins its column to its rows, and the rows read 1.
class KeyMatrix {
public:
  explicit KeyMatrix(bool activeLow) : activeLow_(activeLow) {}

  // A set of contacts on `column`; returns its number. Its timeline gives the rows it closes.
  std::size_t AddContact(unsigned column);
  [[nodiscard]] Timeline& Contact(std::size_t contact) { return contacts_[contact].second; }
  [[nodiscard]] const Timeline& Contact(std::size_t contact) const {
    return contacts_[contact].second;
  }
  // The row lines at `cycle`, with the column lines driven by `columns`: bit r for row r.
  [[nodiscard]] std::uint8_t Rows(const ShiftRegister& columns, std::uint64_t cycle) const;

private:
  bool activeLow_;
  std::vector<std::pair<unsigned, Timeline>> contacts_; // column, closed rows over time
};

} // namespace simulate
