// Figures of the real window: time from start to the window shown, time from a click on
// "Assemble" to the listing painted, and the process's peak memory.
#include "programs.h"
#include "timing.h"
#include "window/form1.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

namespace {

void MeasureAssemble(const char* name, const std::string& source, window::Form1& form) {
  auto* text1 = form.findChild<QPlainTextEdit*>("Text1");
  auto* text3 = form.findChild<QPlainTextEdit*>("Text3");
  auto* assemble = form.findChild<QPushButton*>("Command2");
  text1->setPlainText(QString::fromStdString(source));
  QApplication::processEvents();
  std::vector<double> times;
  for (int run = 0; run < 15; ++run) {
    const Clock::time_point clicked = Clock::now();
    assemble->click();
    text3->viewport()->repaint();
    QApplication::processEvents();
    times.push_back(Milliseconds(Clock::now() - clicked));
  }
  std::sort(times.begin(), times.end());
  std::printf("%-34s median %7.2f ms, slowest %7.2f ms (%d listing lines)\n", name,
              times[times.size() / 2], times.back(), text3->blockCount() - 1);
}

} // namespace

int main(int argc, char** argv) {
  const Clock::time_point entered = Clock::now();
  QApplication application(argc, argv);
  window::Form1 form;
  form.show();
  if (!QTest::qWaitForWindowExposed(&form)) {
    std::fprintf(stderr, "the window was not shown\n");
    return 1;
  }
  const double sinceProcessStart = MillisecondsSinceProcessStart();
  std::printf("platform: %s\n", qPrintable(QGuiApplication::platformName()));
  std::printf("%-34s %7.2f ms (from main: %.2f ms)\n", "process start to window shown",
              sinceProcessStart, Milliseconds(Clock::now() - entered));

  MeasureAssemble("Assemble, largest program (4096 bytes, 4097 labels):", LargestProgram(), form);
  MeasureAssemble("Assemble, 1 MiB source:", MebibyteSource(), form);

  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%-34s %7.1f MiB\n", "peak resident memory",
              static_cast<double>(usage.ru_maxrss) / 1024.0);
  return 0;
}
