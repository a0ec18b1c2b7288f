#include "debugger/window/ram_dock.h"

#include "debugger/views.h"
#include "debugger/window/widgets.h"

namespace debugger {

RamDock::RamDock(QWidget* parent) : QTableWidget(64, 20, parent) {
  setObjectName(QStringLiteral("Ram"));
  FixCells(this, 2);
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
