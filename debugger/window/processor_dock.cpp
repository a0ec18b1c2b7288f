#include "debugger/window/processor_dock.h"

#include "debugger/window/widgets.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace debugger {

ProcessorDock::ProcessorDock(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  auto* form = new QGridLayout;
  const char* names[] = {"A",   "Carry", "PC",        "Stack depth", "Cycles", "Time",
                         "SRC", "DCL",   "Reg. bank", "ROM bank",    "Halted", "Interrupts"};
  int index = 0;
  for (const char* name : names) {
    auto* label = new QLabel(QString::fromLatin1(name), this);
    auto* value = new QLabel(this);
    value->setObjectName(QStringLiteral("Value ") + QString::fromLatin1(name));
    value->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    form->addWidget(label, index / 2, (index % 2) * 2);
    form->addWidget(value, index / 2, (index % 2) * 2 + 1);
    fields_.emplace_back(label, value);
    ++index;
  }
  layout->addLayout(form);
  registers_ = Table(this, 8, 6, 4);
  registers_->setObjectName(QStringLiteral("Registers"));
  registers_->setHorizontalHeaderLabels({QStringLiteral("R"), QStringLiteral("R"),
                                         QStringLiteral("Pair"), QStringLiteral("R'"),
                                         QStringLiteral("R'"), QStringLiteral("Pair'")});
  registers_->setMinimumHeight(registers_->horizontalHeader()->sizeHint().height() +
                               9 * registers_->fontMetrics().height() + 24);
  layout->addWidget(registers_);
  stack_ = Table(this, 7, 1, 16);
  stack_->setMinimumHeight(stack_->horizontalHeader()->sizeHint().height() +
                           4 * stack_->fontMetrics().height() + 12);
  stack_->setObjectName(QStringLiteral("Stack"));
  stack_->setHorizontalHeaderLabels({QStringLiteral("Return addresses")});
  layout->addWidget(stack_);
}

void ProcessorDock::Show(const Session& session, const simulate::Machine& shown) {
  const ProcessorView view = MakeProcessorView(session.machine(), shown, session.clock());
  // In the order of the names beside them.
  const Cell* values[] = {&view.acc,          &view.carry,   &view.pc,     &view.depth,
                          &view.cycles,       &view.time,    &view.src,    &view.dcl,
                          &view.registerBank, &view.romBank, &view.halted, &view.interrupts};
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    SetValue(fields_[i].second, *values[i]);
  }
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
