#include "debugger/window/listing_view.h"

#include "debugger/window/widgets.h"
#include "translate/hex_text.h"

#include <QFontDatabase>
#include <QHeaderView>

namespace debugger {

ListingView::ListingView(QWidget* parent) : QTableWidget(0, 4, parent) {
  setObjectName(QStringLiteral("Listing"));
  setHorizontalHeaderLabels(
      {QString(), QStringLiteral("Address"), QStringLiteral("Bytes"), QStringLiteral("Source")});
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  setWordWrap(false);
  horizontalHeader()->setStretchLastSection(true);
  setColumnWidth(0, 24);
  setColumnWidth(1, 64);
  setColumnWidth(2, 64);
  setShowGrid(false);
}

void ListingView::Rebuild(const Program& program) {
  setUpdatesEnabled(false);
  clearContents();
  setRowCount(static_cast<int>(program.rows.size()));
  for (int row = 0; row < static_cast<int>(program.rows.size()); ++row) {
    const ListingRow& line = program.rows[static_cast<std::size_t>(row)];
    std::string bytes;
    for (const std::uint8_t byte : line.bytes) {
      if (!bytes.empty()) {
        bytes += ' ';
      }
      bytes += translate::FormatByte(byte);
    }
    const QString address =
        line.address < 0
            ? QString()
            : Text(translate::FormatAddress(static_cast<std::int16_t>(line.address & 0xFFF)));
    setItem(row, 0, new QTableWidgetItem);
    setItem(row, 1, new QTableWidgetItem(address));
    setItem(row, 2, new QTableWidgetItem(Text(bytes)));
    setItem(row, 3, new QTableWidgetItem(Text(line.text)));
  }
  setUpdatesEnabled(true);
  highlightedRow_ = -1;
}

void ListingView::Show(const Session& session, bool rebuilt) {
  const Program& program = session.program();
  if (shownBreakpoints_ != session.breakpoints() || rebuilt) {
    shownBreakpoints_ = session.breakpoints();
    for (int row = 0; row < rowCount(); ++row) {
      QTableWidgetItem* mark = item(row, 0);
      const int address = program.rows[static_cast<std::size_t>(row)].address;
      const QString text = session.HasBreakpoint(address) ? QStringLiteral("\u25CF") : QString();
      if (mark != nullptr && mark->text() != text) {
        mark->setText(text);
        mark->setForeground(QBrush(Qt::red));
      }
    }
  }
  const int next = program.RowOf(session.NextAddress());
  if (next == highlightedRow_) {
    return;
  }
  for (const int row : {highlightedRow_, next}) {
    if (row < 0 || row >= rowCount()) {
      continue;
    }
    for (int column = 1; column < 4; ++column) {
      item(row, column)->setBackground(row == next ? QBrush(kNext) : QBrush());
    }
  }
  highlightedRow_ = next;
  if (next >= 0) {
    scrollToItem(item(next, 3));
  }
}

} // namespace debugger
