#include "debugger/window/widgets.h"

#include <QFontDatabase>
#include <QHeaderView>
#include <QKeyEvent>
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

namespace {

// Hands what was typed in a cell to the commands instead of to the table.
class CommitDelegate final : public QStyledItemDelegate {
public:
  CommitDelegate(QObject* parent, CellCommit commit)
      : QStyledItemDelegate(parent), commit_(std::move(commit)) {}
  void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
    if (const auto* line = qobject_cast<QLineEdit*>(editor)) {
      commit_(index.row(), index.column(), line->text());
    }
  }

private:
  CellCommit commit_;
};

} // namespace

void EditOnDoubleClick(QTableWidget* table, CellCommit commit) {
  table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
  table->setItemDelegate(new CommitDelegate(table, std::move(commit)));
}

ValueEdit::ValueEdit(QWidget* parent, std::function<void(const QString&)> commit)
    : QLineEdit(parent), commit_(std::move(commit)) {
  setReadOnly(true);
  setFrame(false);
  setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  setToolTip(QStringLiteral("Double-click to set a new value (Ctrl+Z takes it back)"));
}

void ValueEdit::Show(const Cell& cell) {
  if (!isReadOnly()) {
    return;
  }
  if (text() != Text(cell.text)) {
    setText(Text(cell.text));
  }
  setStyleSheet(cell.changed ? QStringLiteral("background: #ffd68c; font-weight: bold")
                             : QStringLiteral("background: transparent"));
}

void ValueEdit::mouseDoubleClickEvent(QMouseEvent* event) {
  setReadOnly(false);
  setFrame(true);
  setStyleSheet(QString());
  selectAll();
  QLineEdit::mouseDoubleClickEvent(event);
}

void ValueEdit::keyPressEvent(QKeyEvent* event) {
  if (!isReadOnly() && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
    Finish(true);
    return;
  }
  if (!isReadOnly() && event->key() == Qt::Key_Escape) {
    Finish(false);
    return;
  }
  QLineEdit::keyPressEvent(event);
}

void ValueEdit::focusOutEvent(QFocusEvent* event) {
  if (!isReadOnly()) {
    Finish(false);
  }
  QLineEdit::focusOutEvent(event);
}

void ValueEdit::Finish(bool commit) {
  const QString typed = text();
  setReadOnly(true);
  setFrame(false);
  if (commit) {
    commit_(typed);
  }
}

ClickLamp::ClickLamp(QWidget* parent, std::function<void()> clicked)
    : QLabel(parent), clicked_(std::move(clicked)) {
  setFixedSize(14, 14);
  setCursor(Qt::PointingHandCursor);
}

void ClickLamp::mousePressEvent(QMouseEvent* event) {
  clicked_();
  QLabel::mousePressEvent(event);
}

std::optional<std::uint8_t> ParseValue(const QString& text, int bits) {
  bool ok = false;
  const unsigned value = text.trimmed().toUInt(&ok, 16);
  if (!ok || value >= (1u << bits)) {
    return std::nullopt;
  }
  return static_cast<std::uint8_t>(value);
}

} // namespace debugger
