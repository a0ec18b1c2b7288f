#include "debugger/window/disassembly_dock.h"

#include "debugger/views.h"
#include "debugger/window/widgets.h"
#include "translate/hex_text.h"

#include <QFontDatabase>
#include <QHeaderView>

namespace debugger {

DisassemblyView::DisassemblyView(QWidget* parent) : QTableWidget(0, 3, parent) {
  setObjectName(QStringLiteral("Disassembly"));
  setHorizontalHeaderLabels(
      {QStringLiteral("Address"), QStringLiteral("Bytes"), QStringLiteral("Instruction")});
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::NoSelection);
  setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  horizontalHeader()->setStretchLastSection(true);
  setColumnWidth(0, 64);
  setColumnWidth(1, 64);
  setShowGrid(false);
  setToolTip(QStringLiteral("Program memory where the program has no source, disassembled"));
}

bool DisassemblyView::Show(const Session& session) {
  const int next = session.NextAddress();
  const bool outside = session.HasProgram() && session.program().RowOf(next) < 0;
  const std::uint64_t cycles = session.machine().cycles;
  if (cycles == shownCycles_ || (!outside && !isVisible())) {
    return outside;
  }
  shownCycles_ = cycles;
  if (next < firstShown_ || next > lastShown_ || outside) {
    // Program RAM may have changed what is there: the rows are made again.
    const std::vector<DisassembledRow> rows = DisassembleAround(session.machine(), next, 48);
    setRowCount(static_cast<int>(rows.size()));
    for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
      const DisassembledRow& line = rows[static_cast<std::size_t>(row)];
      std::string bytes;
      for (const std::uint8_t byte : line.bytes) {
        if (!bytes.empty()) {
          bytes.push_back(' ');
        }
        bytes.append(translate::FormatByte(byte));
      }
      std::string text = line.label;
      if (!text.empty()) {
        text.push_back(':');
      }
      text.resize(std::max<std::size_t>(text.size() + 1, 8), ' ');
      text.append(line.text);
      const QString cells[] = {
          Text(translate::FormatAddress(static_cast<std::int16_t>(line.address & 0xFFF))),
          Text(bytes), Text(text)};
      for (int column = 0; column < 3; ++column) {
        setItem(row, column, new QTableWidgetItem(cells[column]));
      }
    }
    firstShown_ = rows.empty() ? -1 : rows.front().address;
    lastShown_ = rows.empty() ? -1 : rows.back().address;
  }
  for (int row = 0; row < rowCount(); ++row) {
    const bool isNext = item(row, 0)->text() ==
                        Text(translate::FormatAddress(static_cast<std::int16_t>(next & 0xFFF)));
    for (int column = 0; column < 3; ++column) {
      item(row, column)->setBackground(isNext ? QBrush(kNext) : QBrush());
    }
    if (isNext) {
      scrollToItem(item(row, 0));
    }
  }
  return outside;
}

} // namespace debugger
