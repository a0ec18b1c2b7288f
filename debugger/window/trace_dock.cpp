#include "debugger/window/trace_dock.h"

#include "debugger/commands.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QVBoxLayout>

namespace debugger {

TraceDock::TraceDock(QWidget* parent, DebuggerCommands& commands, Act act)
    : QWidget(parent), commands_(commands) {
  auto* layout = new QVBoxLayout(this);
  auto* tools = new QHBoxLayout;
  count_ = new QSpinBox(this);
  count_->setObjectName(QStringLiteral("TraceCount"));
  count_->setRange(1, 100000);
  count_->setValue(200);
  auto* save = new QPushButton(QStringLiteral("Save..."), this);
  save->setObjectName(QStringLiteral("SaveTrace"));
  save->setToolTip(QStringLiteral("Save these instructions to a text file"));
  auto* coverage = new QPushButton(QStringLiteral("Clear coverage"), this);
  coverage->setObjectName(QStringLiteral("ClearCoverage"));
  coverage->setToolTip(QStringLiteral(
      "The listing marks the address of every line that has run; start the marks afresh"));
  tools->addWidget(new QLabel(QStringLiteral("The last"), this));
  tools->addWidget(count_);
  tools->addWidget(new QLabel(QStringLiteral("instructions run"), this));
  tools->addStretch(1);
  tools->addWidget(save);
  tools->addWidget(coverage);
  layout->addLayout(tools);
  lines_ = new QPlainTextEdit(this);
  lines_->setObjectName(QStringLiteral("Trace"));
  lines_->setReadOnly(true);
  lines_->setLineWrapMode(QPlainTextEdit::NoWrap);
  lines_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  lines_->setPlaceholderText(QStringLiteral("Step or run the program: the instructions it ran "
                                            "show here when it stops."));
  layout->addWidget(lines_, 1);
  connect(save, &QPushButton::clicked, this, [this, act] {
    const auto count = static_cast<std::size_t>(count_->value());
    act([count](DebuggerCommands& c) { c.SaveTrace(count); });
  });
  connect(coverage, &QPushButton::clicked, this,
          [act] { act([](DebuggerCommands& c) { c.ClearCoverage(); }); });
  connect(count_, &QSpinBox::valueChanged, this, [this] { Show(commands_.Running()); });
}

void TraceDock::Show(bool running) {
  const std::uint64_t cycles = commands_.session().machine().cycles;
  if (running || !isVisible() || (cycles == shownCycles_ && count_->value() == shownCount_)) {
    return;
  }
  shownCycles_ = cycles;
  shownCount_ = count_->value();
  QString text;
  for (const std::string& line : commands_.Trace(static_cast<std::size_t>(shownCount_))) {
    text += Text(line) + QLatin1Char('\n');
  }
  lines_->setPlainText(text);
  lines_->verticalScrollBar()->setValue(lines_->verticalScrollBar()->maximum());
}

} // namespace debugger
