#pragma once

#include "debugger/views.h"

#include <QColor>
#include <QLabel>
#include <QLineEdit>
#include <QString>
#include <QStyledItemDelegate>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class QTableWidget;
class QWidget;

// What the debugger window's docks have in common: how they hand the user's actions to the
// commands, and how they show values, lamps and tables.
namespace debugger {

class DebuggerCommands;

// Runs an action of the user on the commands, then shows what it did.
using Act = std::function<void(const std::function<void(DebuggerCommands&)>&)>;

// The background of a value that the last step changed, and of the next instruction.
inline const QColor kChanged(255, 214, 140);
inline const QColor kNext(255, 245, 160);
// The listing's rows that came from an included file, and from a macro's expansion.
inline const QColor kIncluded(232, 240, 255);
inline const QColor kMacro(234, 248, 234);
// The address of a line that has run.
inline const QColor kRan(0, 110, 40);

[[nodiscard]] QString Text(const std::string& text);

// Shows `cell` in a table cell or a label, marked where it changed.
void SetCell(QTableWidget* table, int row, int column, const Cell& cell);
void SetValue(QLabel* label, const Cell& cell);

// A round lamp, lit red or dark.
[[nodiscard]] QLabel* Lamp(QWidget* parent);
void Light(QLabel* lamp, bool on);

// Makes `table` a table of short values in fixed cells `characters` wide, read only: fixed
// sizes, because sizing every section to its contents on each change costs more than everything
// else the window does.
void FixCells(QTableWidget* table, int characters);
[[nodiscard]] QTableWidget* Table(QWidget* parent, int rows, int columns, int characters);

// Lets the user type a new value into a cell of `table` after a double click; what was typed
// goes to `commit` (row, column, text) and not into the table, which shows the machine as the
// commands have it.
using CellCommit = std::function<void(int, int, const QString&)>;
void EditOnDoubleClick(QTableWidget* table, CellCommit commit);

// A value that shows like a label and takes a new one after a double click (Enter sets it,
// Escape or leaving it keeps the old one).
class ValueEdit final : public QLineEdit {
public:
  ValueEdit(QWidget* parent, std::function<void(const QString&)> commit);
  // Shows `cell` unless the user is typing.
  void Show(const Cell& cell);

protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

private:
  void Finish(bool commit);
  std::function<void(const QString&)> commit_;
};

// A lamp that a click toggles, as a port latch's bit is set by hand.
class ClickLamp final : public QLabel {
public:
  ClickLamp(QWidget* parent, std::function<void()> clicked);

protected:
  void mousePressEvent(QMouseEvent* event) override;

private:
  std::function<void()> clicked_;
};

// A hexadecimal digit (or, with `bits` above 4, a number of that many bits) as typed; nothing
// when it is none.
[[nodiscard]] std::optional<std::uint8_t> ParseValue(const QString& text, int bits = 4);

} // namespace debugger
