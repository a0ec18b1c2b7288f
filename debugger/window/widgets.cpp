#include "debugger/window/widgets.h"

#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>

namespace debugger {

QString Text(const std::string& text) { return QString::fromStdString(text); }

void SetCell(QTableWidget* table, int row, int column, const Cell& cell) {
  QTableWidgetItem* item = table->item(row, column);
  if (item == nullptr) {
    item = new QTableWidgetItem;
    item->setTextAlignment(Qt::AlignCenter);
    table->setItem(row, column, item);
  }
  const QString text = Text(cell.text);
  if (item->text() != text) {
    item->setText(text);
  }
  const QBrush background = cell.changed ? QBrush(kChanged) : QBrush();
  if (item->background() != background) {
    item->setBackground(background);
  }
}

void SetValue(QLabel* label, const Cell& cell) {
  label->setText(Text(cell.text));
  label->setStyleSheet(cell.changed ? QStringLiteral("background: #ffd68c; font-weight: bold")
                                    : QString());
}

QLabel* Lamp(QWidget* parent) {
  auto* lamp = new QLabel(parent);
  lamp->setFixedSize(14, 14);
  return lamp;
}

void Light(QLabel* lamp, bool on) {
  lamp->setStyleSheet(on ? QStringLiteral("background: #e03020; border-radius: 7px")
                         : QStringLiteral("background: #c8c8c8; border-radius: 7px"));
  lamp->setProperty("on", on);
}

void FixCells(QTableWidget* table, int characters) {
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setSelectionMode(QAbstractItemView::NoSelection);
  table->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  const QFontMetrics metrics(table->font());
  table->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table->horizontalHeader()->setDefaultSectionSize(
      metrics.horizontalAdvance(QLatin1Char('0')) * characters + 10);
  table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table->verticalHeader()->setDefaultSectionSize(metrics.height() + 4);
}

QTableWidget* Table(QWidget* parent, int rows, int columns, int characters) {
  auto* table = new QTableWidget(rows, columns, parent);
  FixCells(table, characters);
  return table;
}

} // namespace debugger
