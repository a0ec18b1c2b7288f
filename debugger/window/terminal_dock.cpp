#include "debugger/window/terminal_dock.h"

#include "debugger/commands.h"

#include <QCheckBox>
#include <QClipboard>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QVBoxLayout>

namespace debugger {

namespace {

std::string FormatText(const simulate::SerialFormat& format) {
  return std::to_string(format.dataBits) + format.parity + std::to_string(format.stopBits);
}

// The terminal: what the program sends, and every key typed goes to its serial input, as on a
// terminal: Ctrl and a letter send the control character (Ctrl+C is 03, for a monitor's "^C
// exits"); Ctrl+Shift+C copies and Ctrl+Shift+V pastes, as terminals do.
class Terminal final : public QPlainTextEdit {
public:
  Terminal(QWidget* parent, DebuggerCommands& commands)
      : QPlainTextEdit(parent), commands_(commands) {
    setReadOnly(true);
    setFocusPolicy(Qt::StrongFocus);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setPlaceholderText(QStringLiteral("Serial output appears here; type to send (Ctrl+letter "
                                      "sends a control character, Ctrl+Shift+C copies)."));
    setUndoRedoEnabled(false);
  }

  // Shows what the program sent: a backspace moves back over the last character, a bell and
  // the other control characters are not drawn, an escape sequence is left out, and CR LF or CR
  // alone ends a line.
  void Receive(const std::string& bytes) {
    QString text;
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    const auto flush = [&] {
      if (!text.isEmpty()) {
        cursor.insertText(text);
        text.clear();
      }
    };
    for (const char c : bytes) {
      const auto byte = static_cast<unsigned char>(c);
      if (escape_ != Escape::None) {
        // ESC [ parameters final: the final byte is 40-7E.
        if (escape_ == Escape::Start) {
          escape_ = c == '[' ? Escape::Sequence : Escape::None;
        } else if (byte >= 0x40 && byte <= 0x7E) {
          escape_ = Escape::None;
        }
        continue;
      }
      if (c == '\r') {
        text += QLatin1Char('\n');
        lastWasCr_ = true;
        continue;
      }
      if (c == '\n' && lastWasCr_) {
        lastWasCr_ = false;
        continue;
      }
      lastWasCr_ = false;
      if (c == '\b') {
        flush();
        if (cursor.positionInBlock() > 0) {
          cursor.deletePreviousChar();
        }
      } else if (c == '\x1B') {
        escape_ = Escape::Start;
      } else if (c == '\n' || c == '\t' || byte >= 0x20) {
        text += QChar(byte);
      }
    }
    flush();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
  }
  void Clear() {
    clear();
    lastWasCr_ = false;
    escape_ = Escape::None;
  }

protected:
  void keyPressEvent(QKeyEvent* event) override {
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    const bool control = (modifiers & Qt::ControlModifier) != 0;
    const bool shift = (modifiers & Qt::ShiftModifier) != 0;
    if (control && shift && event->key() == Qt::Key_C) {
      copy();
      return;
    }
    if (control && shift && event->key() == Qt::Key_V) {
      const QByteArray bytes = QGuiApplication::clipboard()->text().toLatin1();
      Send(bytes);
      return;
    }
    if (control && !shift && event->key() >= Qt::Key_A && event->key() <= Qt::Key_Z) {
      Send(QByteArray(1, static_cast<char>(event->key() - Qt::Key_A + 1)));
      return;
    }
    QString text = event->text();
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
      text = QStringLiteral("\r");
    } else if (event->key() == Qt::Key_Backspace) {
      text = QStringLiteral("\b");
    }
    if (text.isEmpty() || control) {
      QPlainTextEdit::keyPressEvent(event);
      return;
    }
    Send(text.toLatin1());
  }

private:
  void Send(const QByteArray& bytes) {
    commands_.Type(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  }

  enum class Escape : std::uint8_t { None, Start, Sequence };
  DebuggerCommands& commands_;
  bool lastWasCr_ = false;
  Escape escape_ = Escape::None;
};

} // namespace

TerminalDock::TerminalDock(QWidget* parent, DebuggerCommands& commands, Act act)
    : QWidget(parent), act_(std::move(act)) {
  auto* layout = new QVBoxLayout(this);
  settings_ = new QWidget(this);
  // Two rows, so that the settings fit beside the other docks on a small screen.
  auto* settings = new QGridLayout(settings_);
  settings->setContentsMargins(0, 0, 0, 0);
  on_ = new QCheckBox(QStringLiteral("Serial line on"), this);
  on_->setObjectName(QStringLiteral("SerialOn"));
  pin_ = new QLineEdit(this);
  pin_->setObjectName(QStringLiteral("SerialPin"));
  pin_->setToolTip(QStringLiteral("Output pin: rom:P:B or ram:L:C:B"));
  pin_->setMinimumWidth(90);
  format_ = new QLineEdit(this);
  format_->setObjectName(QStringLiteral("SerialFormat"));
  format_->setToolTip(QStringLiteral("Data bits, parity (N, E, O) and stop bits, like 8N1"));
  format_->setMaximumWidth(50);
  baud_ = new QSpinBox(this);
  baud_->setObjectName(QStringLiteral("SerialBaud"));
  baud_->setRange(1, 1000000);
  baud_->setSuffix(QStringLiteral(" baud"));
  receive_ = new QCheckBox(QStringLiteral("Input on TEST"), this);
  invertTransmit_ = new QCheckBox(QStringLiteral("Invert output"), this);
  invertReceive_ = new QCheckBox(QStringLiteral("Invert input"), this);
  auto* apply = new QPushButton(QStringLiteral("Apply"), this);
  apply->setObjectName(QStringLiteral("SerialApply"));
  settings->addWidget(on_, 0, 0);
  settings->addWidget(new QLabel(QStringLiteral("Pin"), this), 0, 1);
  settings->addWidget(pin_, 0, 2);
  settings->addWidget(format_, 0, 3);
  settings->addWidget(baud_, 0, 4);
  settings->addWidget(apply, 0, 5);
  settings->addWidget(receive_, 1, 0);
  settings->addWidget(invertTransmit_, 1, 2);
  settings->addWidget(invertReceive_, 1, 3, 1, 2);
  settings->setColumnStretch(2, 1);
  layout->addWidget(settings_);
  terminal_ = new Terminal(this, commands);
  terminal_->setObjectName(QStringLiteral("Terminal"));
  layout->addWidget(terminal_, 1);
  auto* below = new QHBoxLayout;
  keep_ = new QCheckBox(QStringLiteral("Keep the text on Reset and Open"), this);
  keep_->setObjectName(QStringLiteral("KeepTerminal"));
  keep_->setToolTip(QStringLiteral("Without it, Reset and opening another file start the "
                                   "terminal empty"));
  auto* clear = new QPushButton(QStringLiteral("Clear"), this);
  clear->setObjectName(QStringLiteral("ClearTerminal"));
  below->addWidget(keep_);
  below->addStretch(1);
  below->addWidget(clear);
  layout->addLayout(below);
  connect(apply, &QPushButton::clicked, this, [this] { Apply(); });
  connect(clear, &QPushButton::clicked, this, [this] { Clear(); });
}

void TerminalDock::Apply() {
  SerialSettings settings;
  settings.enabled = on_->isChecked();
  settings.pin = pin_->text().trimmed().toStdString();
  settings.format = format_->text().trimmed().toUpper().toStdString();
  settings.baud = baud_->value();
  settings.receive = receive_->isChecked();
  settings.invertTransmit = invertTransmit_->isChecked();
  settings.invertReceive = invertReceive_->isChecked();
  act_([&settings](DebuggerCommands& c) { c.SetSerial(settings); });
}

void TerminalDock::ShowSettings(const Session& session) {
  // Under a board the fields show the board's serial line, greyed: the board file sets it.
  SerialSettings shown = session.serial();
  if (const auto& board = session.boardDescription()) {
    shown = SerialSettings{};
    shown.receive = false;
    for (const boards::Part& part : board->parts) {
      if (const auto* out = std::get_if<boards::SerialOutPart>(&part.kind)) {
        shown.enabled = true;
        shown.pin = boards::PinText(out->pin);
        shown.format = FormatText(out->format);
        shown.baud = out->baud;
        shown.invertTransmit = out->invert;
      } else if (const auto* in = std::get_if<boards::SerialInPart>(&part.kind)) {
        shown.enabled = true;
        shown.receive = true;
        shown.format = FormatText(in->format);
        shown.baud = in->baud;
        shown.invertReceive = in->invert;
      }
    }
  }
  on_->setChecked(shown.enabled);
  pin_->setText(Text(shown.pin));
  format_->setText(Text(shown.format));
  baud_->setValue(static_cast<int>(shown.baud));
  receive_->setChecked(shown.receive);
  invertTransmit_->setChecked(shown.invertTransmit);
  invertReceive_->setChecked(shown.invertReceive);
  settings_->setEnabled(!session.boardDescription().has_value());
  settings_->setToolTip(session.boardDescription()
                            ? QStringLiteral("The board file sets the serial line")
                            : QString());
}

void TerminalDock::Append(const std::string& output) {
  if (!output.empty()) {
    static_cast<Terminal*>(terminal_)->Receive(output);
  }
}

void TerminalDock::Clear() { static_cast<Terminal*>(terminal_)->Clear(); }

bool TerminalDock::KeepsText() const { return keep_->isChecked(); }

} // namespace debugger
