#include "cli/file_io.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cli {

namespace {

std::string Reason(int error) { return std::strerror(error); }

// Closes a descriptor when it goes out of scope, unless it was closed explicitly.
class Descriptor {
public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  [[nodiscard]] int get() const { return fd_; }
  // Closes now and reports the error of the close itself, which can be a delayed write error.
  int Close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
  }

private:
  int fd_;
};

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    if (written == 0) {
      errno = EIO;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

} // namespace

FileContent ReadFile(const std::filesystem::path& path) {
  FileContent content;
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) {
    content.error = Reason(errno);
    return content;
  }
  char buffer[65536];
  for (;;) {
    const ssize_t count = ::read(fd.get(), buffer, sizeof buffer);
    if (count < 0) {
      if (errno == EINTR) {
        continue;
      }
      content.error = Reason(errno);
      content.bytes.clear();
      return content;
    }
    if (count == 0) {
      return content;
    }
    content.bytes.append(buffer, static_cast<std::size_t>(count));
  }
}

std::optional<std::string> ReplaceFile(const std::filesystem::path& target,
                                       std::string_view bytes) {
  std::error_code ignored;
  // Through a symbolic link, the file it points to is replaced, not the link.
  std::filesystem::path path = target;
  if (std::filesystem::is_symlink(target, ignored)) {
    path = std::filesystem::weakly_canonical(target, ignored);
  }
  struct stat existing {};
  const bool exists = ::stat(path.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) {
    return Reason(EISDIR);
  }
  const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
  std::string temporary = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
  Descriptor fd(::mkstemp(temporary.data()));
  if (fd.get() < 0) {
    return Reason(errno);
  }
  const mode_t mode = exists ? (existing.st_mode & 07777) : NewFileMode();
  int error = 0;
  if (!WriteAll(fd.get(), bytes) || ::fchmod(fd.get(), mode) != 0 || ::fsync(fd.get()) != 0) {
    error = errno;
  }
  if (fd.Close() != 0 && error == 0) {
    error = errno;
  }
  if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) {
    error = errno;
  }
  if (error != 0) {
    ::unlink(temporary.c_str());
    return Reason(error);
  }
  return std::nullopt;
}

} // namespace cli
