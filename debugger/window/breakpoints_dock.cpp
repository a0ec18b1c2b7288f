#include "debugger/window/breakpoints_dock.h"

#include "debugger/commands.h"
#include "translate/hex_text.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace debugger {

namespace {

// What a breakpoint is on, as the list shows it.
QString What(const Watch& watch) {
  if (const int* address = std::get_if<int>(&watch.on)) {
    QString text = QStringLiteral("at ") +
                   Text(translate::FormatAddress(static_cast<std::int16_t>(*address & 0xFFF)));
    if (*address >= static_cast<int>(simulate::kBankSize)) {
      text += QStringLiteral(" (bank 1)");
    }
    return text;
  }
  // A watch's text without the condition and count, which have their own column.
  QString text = Text(watch.text);
  for (const QString& word : {QStringLiteral(" if "), QStringLiteral(" after ")}) {
    const qsizetype at = text.indexOf(word, 0, Qt::CaseInsensitive);
    if (at >= 0) {
      text.truncate(at);
    }
  }
  return text;
}

QString Extras(const Watch& watch) {
  QString text;
  if (watch.condition) {
    text = QStringLiteral("if ") + Text(watch.condition->text());
  }
  if (watch.skip > 0) {
    text += (text.isEmpty() ? QString() : QStringLiteral(" ")) +
            QStringLiteral("after %1").arg(watch.skip);
  }
  return text;
}

} // namespace

BreakpointsDock::BreakpointsDock(QWidget* parent, Act act) : QWidget(parent), act_(std::move(act)) {
  auto* layout = new QVBoxLayout(this);
  auto* adding = new QHBoxLayout;
  add_ = new QLineEdit(this);
  add_->setObjectName(QStringLiteral("AddWatch"));
  add_->setPlaceholderText(QStringLiteral("io rom 3 | io ram 0:1 | watch r5 = 7 | watch ram "
                                          "0:0:1:2 ... [if acc = 5 and carry = 1] [after 2]"));
  add_->setToolTip(QStringLiteral(
      "A breakpoint on what the program does, then Enter:\n"
      "  io rom P             WRR or RDR to ROM port P\n"
      "  io ram L:C[:R[:N]]   an I/O instruction to RAM line L, chip C (register R, character N)\n"
      "  watch acc, carry, rN, pN, ram L:C:R:N, status L:C:R:N, rom-port P, ram-port L:C\n"
      "                       stops when the value changes, or with = V when it becomes V\n"
      "  if CONDITION         only when it holds: acc, carry, pc, src, dcl, rN, pN, cycles\n"
      "                       compared with numbers, joined by and, or\n"
      "  after N              let N hits pass first"));
  auto* addButton = new QPushButton(QStringLiteral("Add"), this);
  auto* remove = new QPushButton(QStringLiteral("Remove"), this);
  remove->setObjectName(QStringLiteral("RemoveWatch"));
  adding->addWidget(add_, 1);
  adding->addWidget(addButton);
  adding->addWidget(remove);
  layout->addLayout(adding);
  list_ = new QTableWidget(0, 3, this);
  list_->setObjectName(QStringLiteral("Breakpoints"));
  list_->setHorizontalHeaderLabels(
      {QStringLiteral("Breakpoint"), QStringLiteral("Condition"), QStringLiteral("Hits")});
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->verticalHeader()->hide();
  list_->horizontalHeader()->setStretchLastSection(true);
  list_->setColumnWidth(0, 200);
  list_->setColumnWidth(1, 220);
  list_->setToolTip(QStringLiteral("Double-click a condition to change it: if ... after N"));
  layout->addWidget(list_, 1);
  // Only the condition column takes typing.
  EditOnDoubleClick(list_, [this](int row, int column, const QString& text) {
    if (column == 1) {
      act_([row, typed = text.toStdString()](DebuggerCommands& c) {
        c.SetWatchCondition(static_cast<std::size_t>(row), typed);
      });
    }
  });
  const auto addTyped = [this] {
    const std::string text = add_->text().trimmed().toStdString();
    if (text.empty()) {
      return;
    }
    bool added = false;
    act_([&text, &added](DebuggerCommands& c) { added = c.AddWatch(text); });
    if (added) {
      add_->clear();
    }
  };
  connect(add_, &QLineEdit::returnPressed, this, addTyped);
  connect(addButton, &QPushButton::clicked, this, addTyped);
  connect(remove, &QPushButton::clicked, this, [this] {
    const int row = list_->currentRow();
    if (row >= 0) {
      act_([row](DebuggerCommands& c) { c.RemoveWatch(static_cast<std::size_t>(row)); });
    }
  });
}

void BreakpointsDock::Show(const Session& session) {
  const std::vector<Watch>& watches = session.watches();
  // Not while the user types a condition into it.
  if (QWidget* focus = QApplication::focusWidget();
      focus != nullptr && focus != list_ && list_->isAncestorOf(focus)) {
    return;
  }
  list_->setRowCount(static_cast<int>(watches.size()));
  for (int row = 0; row < static_cast<int>(watches.size()); ++row) {
    const Watch& watch = watches[static_cast<std::size_t>(row)];
    const QString texts[] = {What(watch), Extras(watch), QString::number(watch.hits)};
    for (int column = 0; column < 3; ++column) {
      QTableWidgetItem* item = list_->item(row, column);
      if (item == nullptr) {
        item = new QTableWidgetItem;
        if (column != 1) {
          item->setFlags(item->flags() & ~Qt::ItemIsEditable);
        }
        list_->setItem(row, column, item);
      }
      if (item->text() != texts[column]) {
        item->setText(texts[column]);
      }
    }
  }
}

} // namespace debugger
