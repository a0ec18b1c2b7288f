#include "simulate/parts/key_matrix.h"

namespace simulate {

std::size_t KeyMatrix::AddContact(unsigned column) {
  contacts_.emplace_back(column, Timeline());
  return contacts_.size() - 1;
}

std::uint8_t KeyMatrix::Rows(const ShiftRegister& columns, std::uint64_t cycle) const {
  std::uint8_t rows = 0;
  for (const auto& [column, closed] : contacts_) {
    if (columns.Bit(column) != activeLow_) {
      rows |= closed.At(cycle);
    }
  }
  return rows;
}

} // namespace simulate
