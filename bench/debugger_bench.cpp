// Figures of the real debugger window: start-up, a step from the key press to the views
// repainted, cycles per second of a full-speed run with the views refreshing and the history
// kept (beside the bare simulator's), how long Stop takes to hold a run, a step back from the
// key press to the views repainted, and a run backwards over 100,000 instructions.
#include "programs.h"
#include "timing.h"

#include "boards/board.h"
#include "debugger/window/debugger_window.h"
#include "simulate/step.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <variant>
#include <vector>

namespace {

double BareSimulatorCyclesPerSecond(const simulate::Machine& loaded) {
  simulate::Machine machine = loaded;
  boards::Board board(boards::BoardDescription{}, 740000);
  simulate::RunLimits limits;
  const Clock::time_point start = Clock::now();
  const std::uint64_t before = machine.cycles;
  limits.cycleLimit = before + 50'000'000;
  simulate::Run(machine, board, limits);
  return static_cast<double>(machine.cycles - before) /
         std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
  const Clock::time_point entered = Clock::now();
  QApplication application(argc, argv);
  QStandardPaths::setTestModeEnabled(true);
  debugger::DebuggerWindow window;
  window.show();
  if (!QTest::qWaitForWindowExposed(&window)) {
    std::fprintf(stderr, "the window was not shown\n");
    return 1;
  }
  std::printf("platform: %s\n", qPrintable(QGuiApplication::platformName()));
  std::printf("%-40s %7.2f ms (from main: %.2f ms)\n", "process start to window shown",
              MillisecondsSinceProcessStart(), Milliseconds(Clock::now() - entered));

  const std::string path = QDir::tempPath().toStdString() + "/brindlewick-debugger-bench.asm";
  std::ofstream(path) << kBusyProgram;
  window.commands().Open(path);
  window.Refresh();
  QApplication::processEvents();

  // A step: the key press, the commands, every view brought up to date and painted.
  std::vector<double> steps;
  for (int i = 0; i < 60; ++i) {
    const Clock::time_point pressed = Clock::now();
    QTest::keyClick(&window, Qt::Key_F11);
    window.repaint();
    QApplication::processEvents();
    steps.push_back(Milliseconds(Clock::now() - pressed));
  }
  std::sort(steps.begin(), steps.end());
  std::printf("%-40s median %7.2f ms, slowest %7.2f ms\n", "step, key press to views repainted",
              steps[steps.size() / 2], steps.back());

  // A full-speed run for two seconds, with the views refreshing.
  const std::uint64_t before = window.commands().session().machine().cycles;
  QTest::keyClick(&window, Qt::Key_F5);
  QElapsedTimer running;
  running.start();
  QTest::qWait(2000);
  const double seconds = static_cast<double>(running.nsecsElapsed()) * 1e-9;
  const double windowRate =
      static_cast<double>(window.commands().session().machine().cycles - before) / seconds;
  // Stop, pressed at moments spread over the slices: how long until the run holds.
  std::vector<double> stops;
  for (int i = 0; i < 20; ++i) {
    QTest::qWait(7 + i);
    Clock::time_point pressed;
    QTimer::singleShot(0, &window, [&window, &pressed] {
      pressed = Clock::now();
      QTest::keyClick(&window, Qt::Key_F5, Qt::ShiftModifier);
    });
    const Clock::time_point asked = Clock::now();
    while (window.commands().Running()) {
      QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    stops.push_back(Milliseconds(Clock::now() - asked));
    (void)pressed;
    QTest::keyClick(&window, Qt::Key_F5);
  }
  QTest::keyClick(&window, Qt::Key_F5, Qt::ShiftModifier);
  std::sort(stops.begin(), stops.end());
  const double bare = BareSimulatorCyclesPerSecond(window.commands().session().machine());
  std::printf("%-40s %7.1f M cycles/s (bare simulator %.1f M, %.0f%%)\n",
              "full-speed run in the window", windowRate / 1e6, bare / 1e6,
              100 * windowRate / bare);
  std::printf("%-40s median %7.2f ms, slowest %7.2f ms\n", "Stop, asked to run held",
              stops[stops.size() / 2], stops.back());

  // Going back, with the history the run kept: a step back from the key press to the views
  // repainted, and a run backwards to a breakpoint 100,000 instructions back.
  std::vector<double> backs;
  for (int i = 0; i < 60; ++i) {
    const Clock::time_point pressed = Clock::now();
    QTest::keyClick(&window, Qt::Key_F11, Qt::ControlModifier);
    window.repaint();
    QApplication::processEvents();
    backs.push_back(Milliseconds(Clock::now() - pressed));
  }
  std::sort(backs.begin(), backs.end());
  std::printf("%-40s median %7.2f ms, slowest %7.2f ms\n", "step back, key press to repainted",
              backs[backs.size() / 2], backs.back());
  debugger::DebuggerCommands& commands = window.commands();
  // The breakpoint at the start of the main loop, taken only where 100,000 instructions back
  // lie: the program's instructions take about 1.3 cycles each on the way.
  std::uint64_t instructions = 0;
  std::uint64_t goal = 0;
  {
    // Counts the instructions of the last stretch by running it again on a copy.
    const std::uint64_t now = commands.session().machine().cycles;
    debugger::Session copy;
    auto made = debugger::MakeProgram(path, kBusyProgram, false);
    copy.Load(std::get<debugger::Program>(std::move(made)));
    std::vector<std::uint64_t> boundaries;
    while (copy.machine().cycles < now) {
      boundaries.push_back(copy.machine().cycles);
      copy.Step();
    }
    goal = boundaries.size() > 100000 ? boundaries[boundaries.size() - 100000] : 0;
    instructions = boundaries.size();
  }
  commands.ToggleBreakpointAtRow(1); // FIM 0, 00 after START:
  commands.SetWatchCondition(0, "if cycles < " + std::to_string(goal + 1));
  const std::uint64_t from = commands.session().machine().cycles;
  const Clock::time_point asked = Clock::now();
  QTest::keyClick(&window, Qt::Key_F5, Qt::ControlModifier);
  window.repaint();
  QApplication::processEvents();
  const double backwards = Milliseconds(Clock::now() - asked);
  std::printf("%-40s %7.2f ms, %llu cycles back of %llu instructions run; history %zu KB\n",
              "run backwards 100,000 instructions", backwards,
              static_cast<unsigned long long>(from - commands.session().machine().cycles),
              static_cast<unsigned long long>(instructions),
              commands.session().HistoryBytes() / 1024);
  std::remove(path.c_str());
  return 0;
}
