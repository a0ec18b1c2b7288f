#include "debugger/window/listing_view.h"

#include "debugger/window/widgets.h"
#include "translate/hex_text.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QHeaderView>

#include <algorithm>

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
  // In the macro-assembler syntax a row is a line of some file, or of a macro's expansion: the
  // row headers give the line and, for an included file, its name.
  const bool asl = program.syntax == Syntax::Asl;
  verticalHeader()->setVisible(asl);
  QStringList lines;
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
    auto* text = new QTableWidgetItem(Text(line.text));
    setItem(row, 3, text);
    if (asl) {
      lines << RowHeader(line);
      MarkOrigin(row, line);
    }
  }
  if (asl) {
    setVerticalHeaderLabels(lines);
    // Wide enough for the longest label: the header measures only some of its sections.
    int widest = 0;
    for (const QString& line : lines) {
      widest = std::max(widest, verticalHeader()->fontMetrics().horizontalAdvance(line));
    }
    verticalHeader()->setFixedWidth(widest + 12);
  }
  setUpdatesEnabled(true);
  highlightedRow_ = -1;
}

QString ListingView::RowHeader(const ListingRow& line) {
  const QString number = QString::number(line.line);
  switch (line.origin) {
  case asl::ListingRow::Origin::Included:
    return QFileInfo(Text(line.file)).fileName() + QLatin1Char(':') + number;
  case asl::ListingRow::Origin::Macro:
    return QStringLiteral("M ") + number;
  case asl::ListingRow::Origin::Source:
    break;
  }
  return number;
}

void ListingView::MarkOrigin(int row, const ListingRow& line) {
  // Included lines on a blue tint, a macro's lines on a green one, each with a word on where it
  // comes from; lines that conditional assembly left out in grey.
  QString where;
  QBrush tint;
  switch (line.origin) {
  case asl::ListingRow::Origin::Included:
    where = QStringLiteral("Line %1 of the included file %2").arg(line.line).arg(Text(line.file));
    tint = QBrush(kIncluded);
    break;
  case asl::ListingRow::Origin::Macro:
    where = QStringLiteral("Line %1 of a macro%2, with its arguments in place")
                .arg(line.line)
                .arg(line.file.empty() ? QString() : QStringLiteral(" in ") + Text(line.file));
    tint = QBrush(kMacro);
    break;
  case asl::ListingRow::Origin::Source:
    break;
  }
  if (line.skipped) {
    where += (where.isEmpty() ? QString() : QStringLiteral("; ")) +
             QStringLiteral("left out by conditional assembly");
  }
  for (int column = 1; column < 4; ++column) {
    QTableWidgetItem* cell = item(row, column);
    cell->setToolTip(where);
    if (line.origin != asl::ListingRow::Origin::Source) {
      cell->setData(kTintRole, QVariant::fromValue(tint));
      cell->setBackground(tint);
    }
    if (line.skipped) {
      cell->setForeground(QBrush(Qt::gray));
    }
  }
}

void ListingView::ShowCoverage(const Session& session, bool rebuilt) {
  const auto& executed = session.executed();
  if (!rebuilt && executed == shownExecuted_) {
    return;
  }
  shownExecuted_ = executed;
  const Program& program = session.program();
  QFont bold = font();
  bold.setBold(true);
  for (int row = 0; row < rowCount(); ++row) {
    const int address = program.rows[static_cast<std::size_t>(row)].address;
    const bool ran = address >= 0 && executed.test(static_cast<std::size_t>(address));
    QTableWidgetItem* cell = item(row, 1);
    if (cell->font().bold() != ran) {
      cell->setFont(ran ? bold : font());
      cell->setForeground(ran ? QBrush(kRan) : QBrush());
    }
  }
}

void ListingView::Show(const Session& session, bool rebuilt,
                       const std::optional<DebuggerCommands::LoadProblem>& problem) {
  const Program& program = session.program();
  ShowCoverage(session, rebuilt);
  // The line of a changed source that does not assemble: red, with the message.
  const int problemRow =
      problem && problem->line > 0 && problem->line <= program.rows.size() && !program.image
          ? static_cast<int>(problem->line - 1)
          : -1;
  if (problemRow != problemRow_ || rebuilt) {
    if (problemRow_ >= 0 && problemRow_ < rowCount()) {
      item(problemRow_, 3)->setForeground(QBrush());
      item(problemRow_, 3)->setToolTip(QString());
    }
    problemRow_ = problemRow;
    if (problemRow_ >= 0) {
      item(problemRow_, 3)->setForeground(QBrush(Qt::red));
      item(problemRow_, 3)
          ->setToolTip(QStringLiteral("The source on disk does not assemble here: %1")
                           .arg(Text(problem->message)));
      scrollToItem(item(problemRow_, 3));
    }
  }
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
      QTableWidgetItem* cell = item(row, column);
      // Back to the row's own tint, if it has one, when the next instruction moves on.
      cell->setBackground(row == next ? QBrush(kNext) : cell->data(kTintRole).value<QBrush>());
    }
  }
  highlightedRow_ = next;
  if (next >= 0) {
    scrollToItem(item(next, 3));
  }
}

} // namespace debugger
