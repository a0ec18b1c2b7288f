#include "debugger/window/ports_dock.h"

#include "debugger/commands.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace debugger {

PortsDock::PortsDock(QWidget* parent, Act act) : QWidget(parent) {
  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(QStringLiteral("ROM port"), this), 0, 0);
  grid->addWidget(new QLabel(QStringLiteral("Output 3-0"), this), 0, 1, 1, 4);
  grid->addWidget(new QLabel(QStringLiteral("Input 3-0"), this), 0, 5, 1, 4);
  grid->addWidget(new QLabel(QStringLiteral("RAM port (line:chip)"), this), 0, 9);
  grid->addWidget(new QLabel(QStringLiteral("Output 3-0"), this), 0, 10, 1, 4);
  for (int port = 0; port < 16; ++port) {
    const auto p = static_cast<std::size_t>(port);
    grid->addWidget(new QLabel(QString::number(port, 16).toUpper(), this), port + 1, 0);
    grid->addWidget(new QLabel(QStringLiteral("%1:%2").arg(port / 4).arg(port % 4), this), port + 1,
                    9);
    for (int bit = 0; bit < 4; ++bit) {
      const auto b = static_cast<std::size_t>(bit);
      // A click on a latch's lamp flips the bit, as if the program had written it.
      romLamps_[p][b] = new ClickLamp(this, [this, act, port, bit] {
        const auto value =
            static_cast<std::uint8_t>(romLatches_[static_cast<std::size_t>(port)] ^ (1u << bit));
        act([port, value](DebuggerCommands& c) {
          c.SetRomPort(static_cast<std::uint8_t>(port), value);
        });
      });
      romLamps_[p][b]->setToolTip(QStringLiteral("ROM port %1, bit %2: click to flip it")
                                      .arg(QString::number(port, 16).toUpper())
                                      .arg(bit));
      grid->addWidget(romLamps_[p][b], port + 1, 4 - bit);
      auto* input = new QCheckBox(this);
      input->setObjectName(QStringLiteral("RomInput %1.%2").arg(port).arg(bit));
      romSwitches_[p][b] = input;
      grid->addWidget(input, port + 1, 8 - bit);
      connect(input, &QCheckBox::toggled, this, [act, port, bit](bool on) {
        act([port, bit, on](DebuggerCommands& c) {
          c.SetRomInputBit(static_cast<std::uint8_t>(port), bit, on);
        });
      });
      ramLamps_[p][b] = new ClickLamp(this, [this, act, port, bit] {
        const auto value =
            static_cast<std::uint8_t>(ramLatches_[static_cast<std::size_t>(port)] ^ (1u << bit));
        act([port, value](DebuggerCommands& c) {
          c.SetRamPort(static_cast<std::size_t>(port), value);
        });
      });
      ramLamps_[p][b]->setToolTip(QStringLiteral("RAM port %1:%2, bit %3: click to flip it")
                                      .arg(port / 4)
                                      .arg(port % 4)
                                      .arg(bit));
      grid->addWidget(ramLamps_[p][b], port + 1, 13 - bit);
    }
  }
  // The 4040's INT input: a button that raises it until the processor takes the interrupt.
  interrupt_ = new QPushButton(QStringLiteral("Raise INT"), this);
  interrupt_->setObjectName(QStringLiteral("Interrupt"));
  interrupt_->setToolTip(
      QStringLiteral("4040: ask for an interrupt; INT stays raised until the processor takes it"));
  interruptLamp_ = Lamp(this);
  interruptLamp_->setToolTip(QStringLiteral("INT raised, not taken yet"));
  grid->addWidget(interrupt_, 17, 0, 1, 5);
  grid->addWidget(interruptLamp_, 17, 5);
  // The lamps and switches stay together; the room left over goes to the right.
  grid->setColumnStretch(14, 1);
  connect(interrupt_, &QPushButton::clicked, this,
          [act] { act([](DebuggerCommands& c) { c.RequestInterrupt(); }); });
}

void PortsDock::Show(const simulate::Machine& machine, bool interruptRequested) {
  interrupt_->setEnabled(machine.cpu == simulate::Processor::I4040);
  Light(interruptLamp_, interruptRequested);
  romLatches_ = machine.romPorts;
  std::copy(machine.ramPorts.begin(), machine.ramPorts.end(), ramLatches_.begin());
  for (std::size_t port = 0; port < 16; ++port) {
    for (std::size_t bit = 0; bit < 4; ++bit) {
      Light(romLamps_[port][bit], ((machine.romPorts[port] >> bit) & 1) != 0);
      Light(ramLamps_[port][bit], ((machine.ramPorts[port] >> bit) & 1) != 0);
    }
  }
}

} // namespace debugger
