#pragma once

#include "debugger/session.h"
#include "debugger/window/widgets.h"

#include <QWidget>

class QLineEdit;
class QTableWidget;

namespace debugger {

// The breakpoints dock: every breakpoint, those at addresses and the watches on I/O and values,
// each with its condition and hits; a line to add a watch, and a button to remove one. The
// condition of any breakpoint takes a new text after a double click.
class BreakpointsDock final : public QWidget {
public:
  BreakpointsDock(QWidget* parent, Act act);

  // Shows the breakpoints of `session` where they changed.
  void Show(const Session& session);

private:
  Act act_;
  QTableWidget* list_ = nullptr;
  QLineEdit* add_ = nullptr;
};

} // namespace debugger
