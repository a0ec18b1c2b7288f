#pragma once

#include "debugger/views.h"

#include <QColor>
#include <QString>

#include <functional>
#include <string>

class QLabel;
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

} // namespace debugger
