#pragma once

#include "debugger/window/widgets.h"
#include "simulate/machine.h"

#include <QWidget>

#include <array>
#include <cstdint>

class QCheckBox;
class QLabel;
class QPushButton;

namespace debugger {

// The ports dock: each ROM port's output latch as lamps and its input lines as switches, and
// each RAM chip's output port as lamps.
class PortsDock final : public QWidget {
public:
  PortsDock(QWidget* parent, Act act);

  // Shows the ports of `machine`, and whether a device holds INT.
  void Show(const simulate::Machine& machine, bool interruptRequested);

private:
  std::array<std::array<QLabel*, 4>, 16> romLamps_{};
  std::array<std::array<QCheckBox*, 4>, 16> romSwitches_{};
  std::array<std::array<QLabel*, 4>, 16> ramLamps_{};
  std::array<std::uint8_t, 16> romLatches_{}; // as last shown
  std::array<std::uint8_t, 16> ramLatches_{};
  QPushButton* interrupt_ = nullptr;
  QLabel* interruptLamp_ = nullptr;
};

} // namespace debugger
