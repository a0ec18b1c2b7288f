#pragma once

#include "debugger/commands.h"
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
  // Marks the breakpoints where they changed, the lines that have run, the next instruction,
  // and the line where a changed source fails to assemble.
  void Show(const Session& session, bool rebuilt,
            const std::optional<DebuggerCommands::LoadProblem>& problem);

private:
  // The row's header in the macro-assembler syntax: its line, with the file's name for an
  // included one and M for a macro's.
  static QString RowHeader(const ListingRow& line);
  // Tints and explains a row that an include or a macro gave.
  void MarkOrigin(int row, const ListingRow& line);

  // Marks the addresses of the rows that have run since the coverage was cleared.
  void ShowCoverage(const Session& session, bool rebuilt);

  static constexpr int kTintRole = Qt::UserRole + 1;
  int highlightedRow_ = -1;
  int problemRow_ = -1;
  std::bitset<simulate::kBanks * simulate::kBankSize> shownExecuted_;
  std::bitset<simulate::kBanks * simulate::kBankSize> shownBreakpoints_;
};

} // namespace debugger
