#pragma once

#include "debugger/session.h"

#include <QWidget>

#include <utility>
#include <vector>

class QLabel;
class QTableWidget;

namespace debugger {

// The processor dock: the accumulator, carry, program counter and the other single values, the
// registers and pairs of both banks, and the return addresses, with what changed marked.
class ProcessorDock final : public QWidget {
public:
  explicit ProcessorDock(QWidget* parent);

  // Shows the machine of `session`, marking what differs from `shown`.
  void Show(const Session& session, const simulate::Machine& shown);

private:
  std::vector<std::pair<QLabel*, QLabel*>> fields_; // name, value
  QTableWidget* registers_ = nullptr;
  QTableWidget* stack_ = nullptr;
};

} // namespace debugger
