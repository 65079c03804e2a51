// The few services the module takes from the operating system.
//
// One implementation per system, chosen by the build: platform_posix.cpp,
// platform_windows.cpp. Nothing here throws; every failure is a result.
#pragma once

#include <cstdint>

namespace idlewarden {
struct String;

namespace platform {

// How text files end their lines here.
#if defined(_WIN32)
inline constexpr const char* LineEnd = "\r\n";
#else
inline constexpr const char* LineEnd = "\n";
#endif

// Milliseconds on a clock meant only for differences; wraps after 2^32 ms.
// POSIX: CLOCK_MONOTONIC as tv_sec * 1000 + tv_nsec / 1000000, low 32 bits.
// Windows: GetTickCount().
uint32_t tickCount();

// Sets `path` to the process's current directory, the system's separator and
// `fileName`. Directories of any length work. Returns false, leaving `path`
// unchanged, when the directory cannot be had or memory is short.
bool pathInCurrentDirectory(const char* fileName, String& path);

// Makes `size` bytes starting at `data` the whole content of the file at
// `path`, atomically: they are written to a new file beside it, flushed to
// the disk, and only then renamed over `path`; the rename is flushed to the
// disk as well, as far as the system allows. Returns false on any failure
// before the rename: the new file is then removed and whatever was at `path`
// is untouched. Once renamed, `path` holds the new content and the result is
// true; a directory that cannot be flushed leaves a rename that a crash may
// still undo.
bool replaceFile(const char* path, const char* data, uint32_t size);

// What became of reading a file.
enum class ReadStatus {
    Ok,
    Missing,   // no file (or no directory) of that name
    NotAFile,  // a directory, device or pipe: nothing that holds text
    TooLarge,  // more than the most that the caller takes
    Failed,    // the system refused, or the file changed while being read
    NoMemory,  // its size could not be allocated
};

// Reads the whole regular file at `path` into `text` when it holds at most
// `maxSize` bytes. The only allocation is one buffer of the file's size plus
// its NUL; a larger file is refused before anything is allocated or read, and
// opening never waits on a pipe. On any status but Ok `text` is unchanged.
ReadStatus readFile(const char* path, uint32_t maxSize, String& text);

}  // namespace platform
}  // namespace idlewarden
