#include "debugger/window/board_panel.h"

#include "debugger/commands.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QVBoxLayout>

namespace debugger {

namespace {

// The paper's note that a line is printed in red, which the panel shows by its colour instead.
const QString kRedNote = QStringLiteral("  [red]");

QString PaperLine(const PaperText& line) {
  QString text = Text(line.text);
  if (line.red && text.endsWith(kRedNote)) {
    text.chop(kRedNote.size());
  }
  return text;
}

// A line of paper as the panel shows it: red lines in red.
void AppendPaper(QPlainTextEdit* paper, const PaperText& line) {
  QTextCursor cursor(paper->document());
  cursor.movePosition(QTextCursor::End);
  if (paper->document()->characterCount() > 1 || paper->property("lines").toInt() > 0) {
    cursor.insertBlock();
  }
  QTextCharFormat format;
  format.setForeground(line.red ? QBrush(QColor(200, 20, 20)) : QBrush(Qt::black));
  cursor.insertText(PaperLine(line), format);
  paper->setProperty("lines", paper->property("lines").toInt() + 1);
}

} // namespace

BoardPanel::BoardPanel(QWidget* parent, DebuggerCommands& commands, Act act)
    : QWidget(parent), commands_(commands), act_(std::move(act)) {
  setObjectName(QStringLiteral("BoardPanel"));
  setFocusPolicy(Qt::StrongFocus);
  auto* layout = new QVBoxLayout(this);
  const boards::Board& board = commands.session().board();
  AddLamps(board);
  AddSwitches(board);
  AddKeys(board);
  if (board.Printer() != nullptr) {
    AddPaper();
  } else {
    layout->addStretch();
  }
}

bool BoardPanel::Shows(const boards::Board& board) {
  return !board.Keys().empty() || !board.Lamps().empty() || board.Printer() != nullptr ||
         !board.Switches().empty();
}

void BoardPanel::AddLamps(const boards::Board& board) {
  if (board.Lamps().empty()) {
    return;
  }
  auto* lamps = new QHBoxLayout;
  for (const boards::Board::Lamp& lamp : board.Lamps()) {
    auto* light = Lamp(this);
    light->setObjectName(QStringLiteral("Lamp ") + Text(lamp.name));
    lamps_.push_back(light);
    lamps->addWidget(light);
    lamps->addWidget(new QLabel(Text(lamp.label.empty() ? lamp.name : lamp.label), this));
    lamps->addSpacing(8);
  }
  lamps->addStretch();
  static_cast<QVBoxLayout*>(layout())->addLayout(lamps);
}

void BoardPanel::AddSwitches(const boards::Board& board) {
  if (board.Switches().empty()) {
    return;
  }
  auto* switches = new QHBoxLayout;
  for (std::size_t index = 0; index < board.Switches().size(); ++index) {
    const boards::Board::Switch& each = board.Switches()[index];
    switches->addWidget(new QLabel(Text(each.label.empty() ? each.name : each.label), this));
    auto* box = new QComboBox(this);
    box->setObjectName(QStringLiteral("Switch ") + Text(each.name));
    box->setFocusPolicy(Qt::NoFocus);
    for (const std::string& position : each.positions) {
      box->addItem(Text(position));
    }
    connect(box, &QComboBox::currentIndexChanged, this, [this, index](int position) {
      if (position >= 0) {
        act_([index, position](DebuggerCommands& c) {
          c.SetSwitch(index, static_cast<std::size_t>(position));
        });
      }
    });
    switchBoxes_.push_back(box);
    switches->addWidget(box);
    switches->addSpacing(8);
  }
  switches->addStretch();
  static_cast<QVBoxLayout*>(layout())->addLayout(switches);
}

void BoardPanel::AddKeys(const boards::Board& board) {
  if (board.Keys().empty()) {
    return;
  }
  // Keys where the board puts them; the rest in rows below.
  auto* keys = new QGridLayout;
  keys->setSpacing(3);
  int lastRow = -1;
  for (const boards::Board::Key& key : board.Keys()) {
    lastRow = std::max(lastRow, key.place.row);
  }
  int spare = 0;
  for (std::size_t index = 0; index < board.Keys().size(); ++index) {
    const boards::Board::Key& key = board.Keys()[index];
    auto* button =
        new QPushButton(Text(key.place.label.empty() ? key.name : key.place.label), this);
    button->setObjectName(QStringLiteral("Key ") + Text(key.name));
    button->setFocusPolicy(Qt::NoFocus);
    // Keys as narrow as their labels allow, so that a whole keyboard fits a small screen.
    button->setMinimumSize(
        std::max(44, button->fontMetrics().horizontalAdvance(button->text()) + 16), 34);
    button->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    button->setToolTip(Text(key.name));
    connect(button, &QPushButton::clicked, this, [this, index] {
      act_([index](DebuggerCommands& c) { c.PressKey(index); });
      setFocus();
    });
    keyButtons_.push_back(button);
    if (key.place.row >= 0 && key.place.column >= 0) {
      keys->addWidget(button, key.place.row, key.place.column);
    } else {
      keys->addWidget(button, lastRow + 1 + spare / 8, spare % 8);
      ++spare;
    }
  }
  auto* keyRow = new QHBoxLayout;
  keyRow->addLayout(keys);
  keyRow->addStretch();
  static_cast<QVBoxLayout*>(layout())->addLayout(keyRow);
}

void BoardPanel::AddPaper() {
  auto* layout = static_cast<QVBoxLayout*>(this->layout());
  layout->addWidget(new QLabel(QStringLiteral("Paper"), this));
  paper_ = new QPlainTextEdit(this);
  paper_->setObjectName(QStringLiteral("Paper"));
  paper_->setReadOnly(true);
  paper_->setFocusPolicy(Qt::NoFocus);
  paper_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  paper_->setLineWrapMode(QPlainTextEdit::NoWrap);
  paper_->setStyleSheet(QStringLiteral("background: #fffdf3; color: black"));
  paper_->setMinimumHeight(paper_->fontMetrics().height() * 10);
  // As wide as the printer's widest line, like the roll of paper.
  const int paperWidth = paper_->fontMetrics().horizontalAdvance(QString(28, QLatin1Char('0'))) +
                         2 * paper_->frameWidth() + 12 +
                         paper_->verticalScrollBar()->sizeHint().width();
  paper_->setFixedWidth(paperWidth);
  layout->addWidget(paper_, 1, Qt::AlignHCenter);
  printing_ = new QLabel(this);
  printing_->setObjectName(QStringLiteral("Printing"));
  printing_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  printing_->setStyleSheet(QStringLiteral("background: #fffdf3; color: black; padding: 2px"));
  printing_->setToolTip(QStringLiteral("The line at the hammers"));
  printing_->setFixedWidth(paperWidth);
  layout->addWidget(printing_, 0, Qt::AlignHCenter);
}

void BoardPanel::keyPressEvent(QKeyEvent* event) {
  QString text = event->text();
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    text = QStringLiteral("\r");
  } else if (event->key() == Qt::Key_Escape) {
    text = QStringLiteral("\x1B");
  }
  const QByteArray bytes = text.toUtf8();
  if (text.isEmpty() || (event->modifiers() & Qt::ControlModifier) != 0 ||
      !commands_.TypeKey(
          std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())))) {
    QWidget::keyPressEvent(event);
  }
}

void BoardPanel::Show(const Session& session) {
  const boards::Board& board = session.board();
  const std::uint64_t now = session.machine().cycles;
  for (std::size_t index = 0; index < lamps_.size() && index < board.Lamps().size(); ++index) {
    Light(lamps_[index], board.LampLit(index));
  }
  for (std::size_t index = 0; index < switchBoxes_.size(); ++index) {
    const QSignalBlocker block(switchBoxes_[index]);
    switchBoxes_[index]->setCurrentIndex(static_cast<int>(board.SwitchPosition(index, now)));
  }
  for (std::size_t index = 0; index < keyButtons_.size(); ++index) {
    const bool down = board.KeyDown(index, now);
    if (keyButtons_[index]->isDown() != down) {
      keyButtons_[index]->setDown(down);
    }
  }
  if (paper_ != nullptr) {
    ShowPaper(session);
  }
}

void BoardPanel::ShowPaper(const Session& session) {
  const std::vector<PaperText>& paper = session.paper();
  if (shownPaper_ > paper.size()) {
    paper_->clear();
    paper_->setProperty("lines", 0);
    shownPaper_ = 0;
  }
  if (shownPaper_ < paper.size()) {
    for (; shownPaper_ < paper.size(); ++shownPaper_) {
      AppendPaper(paper_, paper[shownPaper_]);
    }
    paper_->verticalScrollBar()->setValue(paper_->verticalScrollBar()->maximum());
  }
  const PaperText printing = session.PrintingLine();
  const QString text = PaperLine(printing);
  printing_->setText(text.isEmpty() ? QStringLiteral(" ") : text);
  printing_->setStyleSheet(printing.red
                               ? QStringLiteral("background: #fffdf3; color: #c81414; padding: 2px")
                               : QStringLiteral("background: #fffdf3; color: black; padding: 2px"));
}

} // namespace debugger
