#pragma once

#include "debugger/session.h"

#include <QTableWidget>

namespace debugger {

// Program memory around the next instruction, disassembled, for when the program counter is
// where the program has no source: it ran into empty memory or jumped into data.
class DisassemblyView final : public QTableWidget {
public:
  explicit DisassemblyView(QWidget* parent);

  // Shows the instructions around the next one; returns true when the source has no line for
  // it, so that the window brings the view forward.
  bool Show(const Session& session);

private:
  int firstShown_ = -1; // the address of the first row shown, with the bank
  int lastShown_ = -1;
  std::uint64_t shownCycles_ = UINT64_MAX;
};

} // namespace debugger
