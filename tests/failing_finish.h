#pragma once

#include "file_io/file_io.h"

#include <cerrno>
#include <cstdio>
#include <string>
#include <unistd.h>

// Makes the flush ("fsync") or the close ("close") of every temporary file, or the second rename
// that puts one in place ("second rename"), fail with EIO while it lives, as a full or broken
// disk does; "" fails nothing. The file is still closed, so no descriptor leaks.
class FailingFinish {
public:
  explicit FailingFinish(const std::string& call) : saved_(file_io::FinishCallsForTesting()) {
    file_io::FinishCalls& calls = file_io::FinishCallsForTesting();
    if (call == "fsync") {
      calls.fsync = [](int) {
        errno = EIO;
        return -1;
      };
    } else if (call == "close") {
      calls.close = [](int fd) {
        ::close(fd);
        errno = EIO;
        return -1;
      };
    } else if (call == "second rename") {
      Renames() = 0;
      calls.rename = [](const char* from, const char* to) {
        if (++Renames() == 2) {
          errno = EIO;
          return -1;
        }
        return std::rename(from, to);
      };
    }
  }
  FailingFinish(const FailingFinish&) = delete;
  FailingFinish& operator=(const FailingFinish&) = delete;
  ~FailingFinish() { file_io::FinishCallsForTesting() = saved_; }

private:
  static int& Renames() {
    static int count = 0;
    return count;
  }
  file_io::FinishCalls saved_;
};
