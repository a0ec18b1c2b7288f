#include "file_io/file_io.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace file_io {

namespace {

std::string Reason(int error) { return std::strerror(error); }

FinishCalls& Calls() {
  static FinishCalls calls{::fsync, ::close, ::rename};
  return calls;
}

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
    const int result = Calls().close(fd_);
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

FinishCalls& FinishCallsForTesting() { return Calls(); }

FileContent ReadFile(const std::filesystem::path& path) {
  FileContent content;
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat info {};
  if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0) {
    content.missing = errno == ENOENT;
    content.error = Reason(errno);
    return content;
  }
  if (S_ISDIR(info.st_mode)) {
    content.error = Reason(EISDIR);
    return content;
  }
  // Sized once from the file's length; a file that grows meanwhile is read to its new end.
  std::string& bytes = content.bytes;
  bytes.resize(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 0) + 1);
  std::size_t filled = 0;
  for (;;) {
    if (filled == bytes.size()) {
      bytes.resize(2 * bytes.size());
    }
    const ssize_t count = ::read(fd.get(), bytes.data() + filled, bytes.size() - filled);
    if (count < 0) {
      if (errno == EINTR) {
        continue;
      }
      content.error = Reason(errno);
      bytes.clear();
      return content;
    }
    if (count == 0) {
      bytes.resize(filled);
      return content;
    }
    filled += static_cast<std::size_t>(count);
  }
}

FileReplacement::~FileReplacement() {
  for (const Staged& file : staged_) {
    ::unlink(file.temporary.c_str());
    if (!file.kept.empty()) {
      ::unlink(file.kept.c_str());
    }
  }
}

std::optional<WriteFailure> FileReplacement::Stage(const std::filesystem::path& target,
                                                   std::string_view bytes) {
  std::error_code ignored;
  std::filesystem::path path = target;
  if (std::filesystem::is_symlink(target, ignored)) {
    path = std::filesystem::weakly_canonical(target, ignored);
  }
  struct stat existing {};
  const bool exists = ::stat(path.c_str(), &existing) == 0;
  const auto failure = [&](int error) { return WriteFailure{target, Reason(error), exists}; };
  if (exists && S_ISDIR(existing.st_mode)) {
    // A folder is not a file to be left as it was: nothing of it is touched.
    return WriteFailure{target, Reason(EISDIR), false};
  }
  const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
  std::string name = ".";
  name += path.filename().string();
  name += ".XXXXXX";
  std::string temporary = (folder / name).string();
  Descriptor fd(::mkstemp(temporary.data()));
  if (fd.get() < 0) {
    return failure(errno);
  }
  // Flushed to the disk and closed, both checked, before the file may replace anything: a
  // rename of a file whose bytes never reached the disk could leave the target empty after a
  // crash.
  const mode_t mode = exists ? (existing.st_mode & 07777) : NewFileMode();
  int error = 0;
  if (!WriteAll(fd.get(), bytes) || ::fchmod(fd.get(), mode) != 0 || Calls().fsync(fd.get()) != 0) {
    error = errno;
  }
  if (fd.Close() != 0 && error == 0) {
    error = errno;
  }
  if (error != 0) {
    ::unlink(temporary.c_str());
    return failure(error);
  }
  staged_.push_back({target, path, std::move(temporary), exists, {}});
  return std::nullopt;
}

std::optional<WriteFailure> FileReplacement::Commit() {
  // Each old file keeps a second name, so that it can be put back should a later rename fail.
  // Only with more than one file: a single rename is all or nothing by itself.
  if (staged_.size() > 1) {
    for (Staged& file : staged_) {
      if (!file.existed) {
        continue;
      }
      file.kept = file.temporary + ".old";
      if (::link(file.path.c_str(), file.kept.c_str()) != 0) {
        const int error = errno;
        file.kept.clear();
        return WriteFailure{file.target, Reason(error), true};
      }
    }
  }
  for (std::size_t renamed = 0; renamed < staged_.size(); ++renamed) {
    const Staged& file = staged_[renamed];
    if (Calls().rename(file.temporary.c_str(), file.path.c_str()) != 0) {
      const WriteFailure failure{file.target, Reason(errno), file.existed};
      Undo(renamed);
      return failure;
    }
  }
  // Every new file is in place: the old ones go.
  for (Staged& file : staged_) {
    if (!file.kept.empty()) {
      ::unlink(file.kept.c_str());
    }
  }
  staged_.clear();
  return std::nullopt;
}

void FileReplacement::Undo(std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    Staged& file = staged_[i];
    if (file.existed) {
      if (::rename(file.kept.c_str(), file.path.c_str()) == 0) {
        file.kept.clear();
      }
    } else {
      ::unlink(file.path.c_str());
    }
  }
  // The destructor removes the temporary files that were not renamed and any second names left.
}

std::optional<WriteFailure> ReplaceFile(const std::filesystem::path& target,
                                        std::string_view bytes) {
  FileReplacement replacement;
  if (auto failure = replacement.Stage(target, bytes)) {
    return failure;
  }
  return replacement.Commit();
}

} // namespace file_io
