#include "app/command_line.h"
#include "window/form1.h"

#include <QApplication>

#include <csignal>

namespace {

constexpr char kUsage[] = R"(Usage: brindlewick [options]
Opens the Brindlewick assembler window for Intel 4004 and 4040 source.

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
  return QApplication::exec();
}
