#include "debugger/window/processor_dock.h"

#include "debugger/commands.h"
#include "debugger/window/widgets.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace debugger {

ProcessorDock::ProcessorDock(QWidget* parent, Act act) : QWidget(parent), act_(std::move(act)) {
  auto* layout = new QVBoxLayout(this);
  auto* form = new QGridLayout;
  const char* names[] = {"A",   "Carry", "PC",        "Stack depth", "Cycles", "Time",
                         "SRC", "DCL",   "Reg. bank", "ROM bank",    "Halted", "Interrupts"};
  int index = 0;
  for (const char* name : names) {
    auto* label = new QLabel(QString::fromLatin1(name), this);
    QWidget* value = nullptr;
    if (index < 2) {
      // The accumulator and the carry take a new value after a double click.
      const bool carry = index == 1;
      auto* edit = new ValueEdit(this, [this, carry](const QString& text) {
        const auto value = ParseValue(text, carry ? 1 : 4);
        if (!value) {
          return;
        }
        act_([carry, v = *value](DebuggerCommands& c) {
          if (carry) {
            c.SetCarry(v != 0);
          } else {
            c.SetAccumulator(v);
          }
        });
      });
      edits_[static_cast<std::size_t>(index)] = edit;
      value = edit;
    } else {
      auto* shown = new QLabel(this);
      shown->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
      labels_.push_back(shown);
      value = shown;
    }
    value->setObjectName(QStringLiteral("Value ") + QString::fromLatin1(name));
    form->addWidget(label, index / 2, (index % 2) * 2);
    form->addWidget(value, index / 2, (index % 2) * 2 + 1);
    ++index;
  }
  // The stopwatch: cycles and time since its last reset, for timing loops and bit times.
  form->addWidget(new QLabel(QStringLiteral("Stopwatch"), this), 6, 0);
  stopwatch_ = new QLabel(this);
  stopwatch_->setObjectName(QStringLiteral("Stopwatch"));
  stopwatch_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  form->addWidget(stopwatch_, 6, 1, 1, 2);
  auto* reset = new QPushButton(QStringLiteral("Reset"), this);
  reset->setObjectName(QStringLiteral("ResetStopwatch"));
  reset->setToolTip(QStringLiteral("Start the stopwatch again from here"));
  form->addWidget(reset, 6, 3);
  connect(reset, &QPushButton::clicked, this,
          [this] { act_([](DebuggerCommands& c) { c.ResetStopwatch(); }); });
  layout->addLayout(form);

  registers_ = Table(this, 8, 6, 4);
  registers_->setObjectName(QStringLiteral("Registers"));
  registers_->setHorizontalHeaderLabels({QStringLiteral("Rn"), QStringLiteral("Rn+1"),
                                         QStringLiteral("Pair"), QStringLiteral("Rn'"),
                                         QStringLiteral("Rn+1'"), QStringLiteral("Pair'")});
  registers_->horizontalHeaderItem(0)->setToolTip(QStringLiteral("The even register of the row"));
  registers_->horizontalHeaderItem(1)->setToolTip(QStringLiteral("The odd register of the row"));
  registers_->horizontalHeaderItem(3)->setToolTip(
      QStringLiteral("4040: the even register in register bank 1"));
  registers_->horizontalHeaderItem(4)->setToolTip(
      QStringLiteral("4040: the odd register in register bank 1"));
  registers_->setMinimumHeight(registers_->horizontalHeader()->sizeHint().height() +
                               8 * registers_->verticalHeader()->defaultSectionSize() + 4);
  registers_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  registers_->setToolTip(QStringLiteral("Double-click a register to set it"));
  // The registers of the bank in use take a new value after a double click.
  EditOnDoubleClick(registers_, [this](int row, int column, const QString& text) {
    if (column > 1) {
      return;
    }
    const auto value = ParseValue(text);
    if (value) {
      act_([r = static_cast<unsigned>(2 * row + column), v = *value](DebuggerCommands& c) {
        c.SetRegister(r, v);
      });
    }
  });
  layout->addWidget(registers_);
  stack_ = Table(this, 7, 1, 16);
  stack_->setMinimumHeight(stack_->horizontalHeader()->sizeHint().height() +
                           3 * stack_->verticalHeader()->defaultSectionSize() + 4);
  stack_->setObjectName(QStringLiteral("Stack"));
  stack_->setHorizontalHeaderLabels({QStringLiteral("Return addresses")});
  layout->addWidget(stack_, 1);
}

void ProcessorDock::Show(const Session& session, const simulate::Machine& shown,
                         std::uint64_t stopwatchCycles) {
  const ProcessorView view = MakeProcessorView(session.machine(), shown, session.clock());
  edits_[0]->Show(view.acc);
  edits_[1]->Show(view.carry);
  // In the order of the names beside them.
  const Cell* values[] = {&view.pc,     &view.depth,     &view.cycles,       &view.time,
                          &view.src,    &view.dcl,       &view.registerBank, &view.romBank,
                          &view.halted, &view.interrupts};
  for (std::size_t i = 0; i < labels_.size(); ++i) {
    SetValue(labels_[i], *values[i]);
  }
  stopwatch_->setText(
      QStringLiteral("%1 cycles, %2")
          .arg(stopwatchCycles)
          .arg(Text(FormatSeconds(static_cast<double>(stopwatchCycles) * 8 / session.clock()))));
  const bool is4040 = session.cpu() == simulate::Processor::I4040;
  registers_->setColumnHidden(3, !is4040);
  registers_->setColumnHidden(4, !is4040);
  registers_->setColumnHidden(5, !is4040);
  QStringList rows;
  for (int pair = 0; pair < 8; ++pair) {
    rows << QStringLiteral("R%1 R%2").arg(2 * pair, 0, 16).arg(2 * pair + 1, 0, 16).toUpper();
    SetCell(registers_, pair, 0, view.registers[static_cast<std::size_t>(2 * pair)]);
    SetCell(registers_, pair, 1, view.registers[static_cast<std::size_t>(2 * pair + 1)]);
    SetCell(registers_, pair, 2, view.pairs[static_cast<std::size_t>(pair)]);
    if (is4040 && pair < 4) {
      SetCell(registers_, pair, 3, view.registers[static_cast<std::size_t>(16 + 2 * pair)]);
      SetCell(registers_, pair, 4, view.registers[static_cast<std::size_t>(17 + 2 * pair)]);
      SetCell(registers_, pair, 5, view.pairs[static_cast<std::size_t>(8 + pair)]);
    } else {
      for (int column = 3; column < 6; ++column) {
        SetCell(registers_, pair, column, Cell{});
      }
    }
  }
  if (registers_->verticalHeaderItem(0) == nullptr) {
    registers_->setVerticalHeaderLabels(rows);
  }
  stack_->setRowCount(static_cast<int>(view.stack.size()));
  for (int i = 0; i < static_cast<int>(view.stack.size()); ++i) {
    SetCell(stack_, i, 0, view.stack[static_cast<std::size_t>(i)]);
  }
}

} // namespace debugger
