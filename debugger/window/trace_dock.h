#pragma once

#include "debugger/window/widgets.h"

#include <QWidget>

#include <cstdint>

class QPlainTextEdit;
class QSpinBox;

namespace debugger {

// The trace dock: the last instructions run, each with its cycle, address, bytes, instruction,
// the accumulator and carry after it and what else it changed; worked out again from the
// history whenever the program stops, and saved to a file on request.
class TraceDock final : public QWidget {
public:
  TraceDock(QWidget* parent, DebuggerCommands& commands, Act act);

  // Brings the trace up to the machine's state when the program stands still and the dock is in
  // view.
  void Show(bool running);

private:
  DebuggerCommands& commands_;
  QPlainTextEdit* lines_ = nullptr;
  QSpinBox* count_ = nullptr;
  std::uint64_t shownCycles_ = UINT64_MAX;
  int shownCount_ = 0;
};

} // namespace debugger
