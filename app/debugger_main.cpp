#include "debugger/debugger_window.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("Brindlewick"));
  QApplication::setApplicationName(QStringLiteral("Brindlewick Debugger"));
  QApplication::setDesktopFileName(QStringLiteral("brindlewick-debugger"));
  debugger::DebuggerWindow window;
  window.show();
  // A file named on the command line (the desktop entry passes one) opens once the window is up,
  // so that a message about it has the window to stand on.
  const QStringList arguments = QApplication::arguments();
  if (arguments.size() > 1) {
    const std::string path = arguments.at(1).toStdString();
    QTimer::singleShot(0, &window, [&window, path] {
      window.commands().Open(path);
      window.Refresh();
    });
  }
  return QApplication::exec();
}
