#pragma once

#include "debugger/session.h"

#include <QTableWidget>

#include <bitset>

namespace debugger {

// The listing in the middle of the debugger window: each source line (or disassembled
// instruction) with its address and bytes, a breakpoint mark in the first column, and the next
// instruction highlighted and kept in view.
class ListingView final : public QTableWidget {
public:
  explicit ListingView(QWidget* parent);

  // Fills the rows from `program`.
  void Rebuild(const Program& program);
  // Marks the breakpoints where they changed, and the next instruction.
  void Show(const Session& session, bool rebuilt);

private:
  int highlightedRow_ = -1;
  std::bitset<simulate::kBanks * simulate::kBankSize> shownBreakpoints_;
};

} // namespace debugger
