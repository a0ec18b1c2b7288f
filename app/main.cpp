#include "window/form1.h"

#include <QApplication>

#include <csignal>

int main(int argc, char** argv) {
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
