#include "debugger/window/terminal_dock.h"

#include "debugger/commands.h"

#include <QCheckBox>
#include <QFontDatabase>
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

// The terminal: what the program sends, and every key typed goes to its serial input.
class Terminal final : public QPlainTextEdit {
public:
  Terminal(QWidget* parent, DebuggerCommands& commands)
      : QPlainTextEdit(parent), commands_(commands) {
    setReadOnly(true);
    setFocusPolicy(Qt::StrongFocus);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setPlaceholderText(QStringLiteral("Serial output appears here; type to send."));
  }

protected:
  void keyPressEvent(QKeyEvent* event) override {
    QString text = event->text();
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
      text = QStringLiteral("\r");
    }
    if (text.isEmpty() || (event->modifiers() & Qt::ControlModifier) != 0) {
      QPlainTextEdit::keyPressEvent(event);
      return;
    }
    const QByteArray bytes = text.toLatin1();
    commands_.Type(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  }

private:
  DebuggerCommands& commands_;
};

} // namespace

TerminalDock::TerminalDock(QWidget* parent, DebuggerCommands& commands, Act act)
    : QWidget(parent), act_(std::move(act)) {
  auto* layout = new QVBoxLayout(this);
  settings_ = new QWidget(this);
  auto* settings = new QHBoxLayout(settings_);
  settings->setContentsMargins(0, 0, 0, 0);
  on_ = new QCheckBox(QStringLiteral("Serial line on"), this);
  on_->setObjectName(QStringLiteral("SerialOn"));
  pin_ = new QLineEdit(this);
  pin_->setObjectName(QStringLiteral("SerialPin"));
  pin_->setToolTip(QStringLiteral("Output pin: rom:P:B or ram:L:C:B"));
  format_ = new QLineEdit(this);
  format_->setObjectName(QStringLiteral("SerialFormat"));
  format_->setMaximumWidth(50);
  baud_ = new QSpinBox(this);
  baud_->setObjectName(QStringLiteral("SerialBaud"));
  baud_->setRange(1, 1000000);
  receive_ = new QCheckBox(QStringLiteral("Input on TEST"), this);
  invertTransmit_ = new QCheckBox(QStringLiteral("Invert output"), this);
  invertReceive_ = new QCheckBox(QStringLiteral("Invert input"), this);
  auto* apply = new QPushButton(QStringLiteral("Apply"), this);
  apply->setObjectName(QStringLiteral("SerialApply"));
  settings->addWidget(on_);
  settings->addWidget(new QLabel(QStringLiteral("Pin"), this));
  settings->addWidget(pin_);
  settings->addWidget(format_);
  settings->addWidget(baud_);
  settings->addWidget(new QLabel(QStringLiteral("baud"), this));
  settings->addWidget(receive_);
  settings->addWidget(invertTransmit_);
  settings->addWidget(invertReceive_);
  settings->addWidget(apply);
  layout->addWidget(settings_);
  terminal_ = new Terminal(this, commands);
  terminal_->setObjectName(QStringLiteral("Terminal"));
  layout->addWidget(terminal_);
  connect(apply, &QPushButton::clicked, this, [this] { Apply(); });
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
  const SerialSettings& serial = session.serial();
  on_->setChecked(serial.enabled);
  pin_->setText(Text(serial.pin));
  format_->setText(Text(serial.format));
  baud_->setValue(static_cast<int>(serial.baud));
  receive_->setChecked(serial.receive);
  invertTransmit_->setChecked(serial.invertTransmit);
  invertReceive_->setChecked(serial.invertReceive);
  settings_->setEnabled(!session.boardDescription().has_value());
}

void TerminalDock::Append(const std::string& output) {
  if (output.empty()) {
    return;
  }
  terminal_->moveCursor(QTextCursor::End);
  terminal_->insertPlainText(
      QString::fromLatin1(output.data(), static_cast<qsizetype>(output.size())));
  terminal_->verticalScrollBar()->setValue(terminal_->verticalScrollBar()->maximum());
}

} // namespace debugger
