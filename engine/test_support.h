// Helpers for tests that work with real files: a temporary folder removed afterwards, and
// whole-file reads and writes of exact bytes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/conversion_options.h"
#include "engine/file_system.h"
#include "engine/frame_list.h"
#include "engine/script_stream.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace snipforge::testing {

// A path given as UTF-8, as the program takes paths on every system (std::filesystem would read
// a std::string in the ANSI code page on Windows).
inline std::filesystem::path PathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}
inline std::string Utf8Of(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}

class TempDir {
 public:
  TempDir() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("snipforge-test-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  [[nodiscard]] const std::filesystem::path& path() const { return path_; }
  [[nodiscard]] std::string File(const std::string& name) const {
    return Utf8Of(path_ / PathOf(name));
  }
  // The names of everything in the folder, sorted.
  [[nodiscard]] std::vector<std::string> Names() const { return NamesIn(path_); }
  [[nodiscard]] static std::vector<std::string> NamesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      names.push_back(Utf8Of(entry.path().filename()));
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::filesystem::path path_;
};

// True when the program's temporary files in `folder` have no name until they take the
// target's: the file system has unnamed files and /proc reaches them to link them. Elsewhere
// (NFS and FAT drives, a system without /proc, Windows) they have a name beside the target.
inline bool UnnamedFilesIn(const std::filesystem::path& folder) {
#ifdef _WIN32
  static_cast<void>(folder);
  return false;
#else
  const int file = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (file < 0) return false;
  struct stat byPath {};
  struct stat byHandle {};
  const bool linkable =
      ::stat(("/proc/self/fd/" + std::to_string(file)).c_str(), &byPath) == 0 &&
      ::fstat(file, &byHandle) == 0 && byPath.st_ino == byHandle.st_ino;
  ::close(file);
  return linkable;
#endif
}

// A folder for the whole process, removed when it exits.
inline const std::filesystem::path& ProcessTempDir() {
  static const TempDir folder;
  return folder.path();
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(PathOf(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(PathOf(path), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

#ifndef _WIN32
// Writes the file 0600 in a folder made 0700 when missing, as a user's own store is.
inline void WritePrivateFile(const std::string& path, const std::string& bytes) {
  ::mkdir(std::filesystem::path(path).parent_path().c_str(), 0700);
  WriteFile(path, bytes);
  ::chmod(path.c_str(), 0600);
}
#endif

// Writes "new" through a replacement file for `path`; the error of the first step that failed.
// `meanwhile` runs between creating the file and committing it.
inline std::error_code Replace(const std::string& path, const ReplacementOptions& options = {},
                               const std::function<void()>& meanwhile = {}) {
  ReplacementFile file;
  if (const std::error_code error = file.Create(path, options)) return error;
  if (const std::error_code error = file.Write("new")) return error;
  if (meanwhile) meanwhile();
  return file.Commit().error;
}

// The file at `path`, opened for reading; throws when it cannot be opened.
inline std::shared_ptr<const InputFile> OpenInput(const std::string& path) {
  auto file = std::make_shared<InputFile>();
  if (const std::error_code error = file->Open(path)) {
    throw std::runtime_error("cannot open " + path + ": " + error.message());
  }
  return file;
}

// The lines of a text block as the script receives them, or the message of a failed copy.
inline std::string Text(const TextBlock& block) {
  std::string text;
  if (const Result<void> copied = block.CopyTo([&](std::string_view bytes) { text += bytes; });
      !copied) {
    return "failed: " + copied.error();
  }
  return text;
}

// A list holding the given frames.
inline FrameList MakeFrameList(std::initializer_list<std::int32_t> frames) {
  return FrameList(std::vector<std::int32_t>(frames), {});
}

// Every frame of the list, ascending.
inline std::vector<std::int32_t> Frames(const FrameList& list) {
  std::vector<std::int32_t> frames;
  for (const FrameRun& run : list.runs()) {
    for (std::int64_t frame = run.first; frame <= run.last; ++frame) {
      frames.push_back(static_cast<std::int32_t>(frame));
    }
  }
  return frames;
}

// Creates the script stream for the file at `path`.
inline std::error_code CreateScript(ScriptStream& script, const std::string& path,
                                    const ReplacementOptions& options = {}) {
  ResolvedPath target;
  if (const std::error_code error = target.Resolve(path)) return error;
  return script.Create(std::move(target), options, "out.avs");
}

// What a writer put into a script, or the message of the step that failed.
struct Written {
  std::string error;  // empty when every step succeeded
  std::string bytes;
};

// A script stream for a new file out.avs in a temporary folder, handed to `write`.
template <class WriteFn>
Written WriteScript(WriteFn write) {
  TempDir dir;
  const std::string path = dir.File("out.avs");
  ScriptStream script;
  if (const std::error_code error = CreateScript(script, path)) return {error.message(), {}};
  write(script);
  if (const Result<void> closed = script.Close(); !closed) return {closed.error(), {}};
  return {{}, ReadFile(path)};
}

// The options of the controls after the checks a run makes for this list, handed with the list
// to `write`: what a writer would get from a run, or the check's message.
template <class Numbers, class CheckFn, class WriteFn>
Written WriteChecked(const FrameList& list, const ControlValues& controls, CheckFn check,
                     WriteFn write) {
  const Result<ConversionOptions> options = CaptureOptions(controls);
  if (!options) return {options.error(), {}};
  const Result<Numbers> numbers = check(list, *options);
  if (!numbers) return {numbers.error(), {}};
  return WriteScript([&](ScriptStream& script) { write(list, *numbers, script); });
}

}  // namespace snipforge::testing
