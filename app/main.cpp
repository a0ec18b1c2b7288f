#include "app/command_line.h"
#include "window/form1.h"

#include <QApplication>
#include <QTimer>

#include <csignal>

namespace {

constexpr char kUsage[] = R"(Usage: brindlewick [options] [FILE]
Opens the Brindlewick assembler window for Intel 4004 and 4040 source, with FILE in its source
area when one is given.

  -h, --help     show this help and exit
      --version  show the version and exit

Qt's own options, such as -platform NAME, are accepted too.
)";

} // namespace

int main(int argc, char** argv) {
  if (AnswerInformationOptions(argc, argv, "brindlewick", kUsage)) {
    return 0;
  }
  // With a file-size limit, a save that goes past it then fails with an error that is shown,
  // instead of ending the program.
  std::signal(SIGXFSZ, SIG_IGN);
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Brindlewick"));
  QApplication::setDesktopFileName(QStringLiteral("brindlewick"));
  window::Form1 form;
  form.show();
  // A file named on the command line (the desktop entry passes one) opens as "Open" would open
  // it, once the window is up, so that a message about it has the window to stand on.
  const QStringList arguments = QApplication::arguments();
  if (arguments.size() > 1) {
    const std::string path = arguments.at(1).toStdString();
    QTimer::singleShot(0, &form, [&form, path] { form.OpenFile(path); });
  }
  return QApplication::exec();
}
