#pragma once

#include "debugger/session.h"
#include "debugger/window/widgets.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <vector>

class QLabel;
class QTableWidget;

namespace debugger {

// The processor dock: the accumulator, carry, program counter and the other single values, the
// registers and pairs of both banks, and the return addresses, with what changed marked; the
// accumulator, the carry and the registers take new values after a double click. Below the
// values, the stopwatch.
class ProcessorDock final : public QWidget {
public:
  ProcessorDock(QWidget* parent, Act act);

  // Shows the machine of `session`, marking what differs from `shown`, and the stopwatch.
  void Show(const Session& session, const simulate::Machine& shown, std::uint64_t stopwatchCycles);

private:
  Act act_;
  std::array<ValueEdit*, 2> edits_{}; // the accumulator, the carry
  std::vector<QLabel*> labels_;       // the other values, in order
  QLabel* stopwatch_ = nullptr;
  QTableWidget* registers_ = nullptr;
  QTableWidget* stack_ = nullptr;
};

} // namespace debugger
