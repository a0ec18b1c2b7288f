#pragma once

#include <unistd.h>

#include <chrono>
#include <ctime>
#include <fstream>
#include <string>

// Clocks for the window benchmarks.

using Clock = std::chrono::steady_clock;

inline double Milliseconds(Clock::duration duration) {
  return std::chrono::duration<double, std::milli>(duration).count();
}

// Milliseconds since the process was started by the kernel, to the kernel's clock tick.
inline double MillisecondsSinceProcessStart() {
  std::ifstream stat("/proc/self/stat");
  std::string field;
  // The 22nd field is the start time in clock ticks after boot; the name in field 2 has no
  // spaces for these programs.
  for (int i = 0; i < 22; ++i) {
    stat >> field;
  }
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  const double started = std::stod(field) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
  return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6 -
         started;
}
