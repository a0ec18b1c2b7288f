#include "app/command_line.h"
#include "debugger/window/debugger_window.h"

#include <QApplication>
#include <QTimer>

namespace {

constexpr char kUsage[] = R"(Usage: brindlewick-debugger [options] [FILE]
Steps through an Intel 4004 or 4040 program on a simulated board. FILE is a source, or a binary
image (.bin, .rom, .img).

  -h, --help     show this help and exit
      --version  show the version and exit

Qt's own options, such as -platform NAME, are accepted too.
)";

} // namespace

int main(int argc, char** argv) {
  if (AnswerInformationOptions(argc, argv, "brindlewick-debugger", kUsage)) {
    return 0;
  }
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
