#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Reading files whole and replacing them atomically, on POSIX calls. The command-line programs
// and the window both save through this layer.
namespace file_io {

// The whole content of a file, or the reason it could not be read.
struct FileContent {
  std::string bytes;
  std::optional<std::string> error;
  bool missing = false; // there is no file at that path (with an error)
};

[[nodiscard]] FileContent ReadFile(const std::filesystem::path& path);

// Why a file could not be replaced. `existed` tells whether a file of that name was there
// before, and so is left as it was; otherwise nothing was written at all.
struct WriteFailure {
  std::filesystem::path path;
  std::string reason;
  bool existed = false;

  friend bool operator==(const WriteFailure&, const WriteFailure&) = default;
};

// Replaces one or more files together, all of them or none. `Stage` writes a file's new content
// to a temporary file in the target's folder, flushes it to the disk and closes it; `Commit`
// renames every staged file over its target, keeping each old file under a second name (a
// hard link) until every rename has succeeded, and puts the old files back (and removes the
// new ones) when one fails. Until `Commit`, no target is touched, and whatever was staged and
// not committed is removed when the replacement ends, so a failure at any file leaves every
// old file as it was. A new file gets the usual permissions; an existing one keeps its own.
// Through a symbolic link, the file it points to is replaced.
class FileReplacement {
public:
  FileReplacement() = default;
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;
  ~FileReplacement();

  [[nodiscard]] std::optional<WriteFailure> Stage(const std::filesystem::path& target,
                                                  std::string_view bytes);
  [[nodiscard]] std::optional<WriteFailure> Commit();

private:
  struct Staged {
    std::filesystem::path target; // as the caller named it
    std::filesystem::path path;   // the file that is replaced, behind any symbolic link
    std::string temporary;
    bool existed = false;
    std::string kept; // the old file's second name during Commit
  };
  // Puts back the files of `staged_[0, count)` that Commit had renamed.
  void Undo(std::size_t count);
  std::vector<Staged> staged_;
};

// Replaces a single file, as a `FileReplacement` of one.
[[nodiscard]] std::optional<WriteFailure> ReplaceFile(const std::filesystem::path& target,
                                                      std::string_view bytes);

// The calls that finish a temporary file and put it in place. Tests replace them to make the
// flush, the close or a rename fail, which a real disk does only when it is full or broken.
struct FinishCalls {
  int (*fsync)(int) = nullptr;
  int (*close)(int) = nullptr;
  int (*rename)(const char*, const char*) = nullptr;
};
FinishCalls& FinishCallsForTesting();

} // namespace file_io
