#pragma once

#include "debugger/window/widgets.h"
#include "simulate/machine.h"

#include <QTableWidget>

namespace debugger {

// The 4002 RAM dock: a row for each register of each chip, its 16 main characters and 4 status
// characters, with what changed marked; a character takes a new value after a double click.
class RamDock final : public QTableWidget {
public:
  RamDock(QWidget* parent, Act act);

  // Shows `machine`'s RAM, marking what differs from `shown`.
  void Show(const simulate::Machine& machine, const simulate::Machine& shown);
};

} // namespace debugger
