#include "debugger/window/ram_dock.h"

#include "debugger/commands.h"
#include "debugger/views.h"
#include "debugger/window/widgets.h"

namespace debugger {

RamDock::RamDock(QWidget* parent, Act act) : QTableWidget(64, 20, parent) {
  setObjectName(QStringLiteral("Ram"));
  FixCells(this, 2);
  setToolTip(QStringLiteral("Double-click a character to set it"));
  // Row: line, chip and register, as MakeRamView orders them; column: the character.
  EditOnDoubleClick(this, [act](int row, int column, const QString& text) {
    const auto value = ParseValue(text);
    if (!value) {
      return;
    }
    const auto line =
        static_cast<std::size_t>(row) / (simulate::kRamChips * simulate::kRamRegisters);
    const auto chip = static_cast<std::size_t>(row) / simulate::kRamRegisters % simulate::kRamChips;
    const auto reg = static_cast<std::size_t>(row) % simulate::kRamRegisters;
    const auto c = static_cast<std::size_t>(column);
    act([=, v = *value](DebuggerCommands& commands) {
      if (c < simulate::kMainCharacters) {
        commands.SetRamCharacter(simulate::RamIndex(line, chip, reg, c), v);
      } else {
        commands.SetStatusCharacter(
            simulate::StatusIndex(line, chip, reg, c - simulate::kMainCharacters), v);
      }
    });
  });
  QStringList columns;
  for (int c = 0; c < 16; ++c) {
    columns << QString::number(c, 16).toUpper();
  }
  columns << QStringLiteral("S0") << QStringLiteral("S1") << QStringLiteral("S2")
          << QStringLiteral("S3");
  setHorizontalHeaderLabels(columns);
}

void RamDock::Show(const simulate::Machine& machine, const simulate::Machine& shown) {
  const std::vector<RamRow> rows = MakeRamView(machine, shown);
  if (verticalHeaderItem(0) == nullptr) {
    QStringList names;
    for (const RamRow& row : rows) {
      names << Text(row.name);
    }
    setVerticalHeaderLabels(names);
  }
  for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
    for (int c = 0; c < 20; ++c) {
      SetCell(this, row, c,
              rows[static_cast<std::size_t>(row)].characters[static_cast<std::size_t>(c)]);
    }
  }
}

} // namespace debugger
