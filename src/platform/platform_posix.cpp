#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <new>

#include "kit/text_string.h"
#include "platform/platform.h"

namespace idlewarden::platform {

uint32_t tickCount() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

bool pathInCurrentDirectory(const char* fileName, String& path) {
    // getcwd with a buffer that grows until the directory fits.
    for (size_t size = 256; size <= (size_t{1} << 24); size *= 2) {
        char* buffer = new (std::nothrow) char[size];
        if (buffer == nullptr) return false;
        if (getcwd(buffer, size) != nullptr) {
            String joined(buffer);
            delete[] buffer;
            // An empty String here means its copy could not be allocated.
            bool ok = !joined.isEmpty() && joined.append("/") && joined.append(fileName);
            return ok && path.assign(joined);
        }
        const int error = errno;
        delete[] buffer;
        if (error != ERANGE) return false;
    }
    return false;
}

namespace {
bool writeAll(int fd, const char* data, uint32_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<uint32_t>(n);
    }
    return true;
}

// Flushes the directory that holds `path` (the entry the rename changed) to
// the disk. `path` is overwritten: it is cut to the directory's name.
// Best effort: by now the file holds the new content, so a directory that
// cannot be opened or flushed is no reason to call the save failed.
void syncDirectoryOf(char* path, uint32_t length) {
    uint32_t slash = length;
    while (slash > 0 && path[slash - 1] != '/') --slash;
    const char* directory = ".";
    if (slash > 0) {
        path[slash == 1 ? 1 : slash - 1] = '\0';  // "/name" keeps its root
        directory = path;
    }
    const int fd = open(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}
}  // namespace

bool replaceFile(const char* path, const char* data, uint32_t size) {
    String temporary(path);
    if (temporary.length == 0 || !temporary.append(".new")) return false;
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool written = writeAll(fd, data, size) && fsync(fd) == 0;
    const bool closed = close(fd) == 0;
    if (!written || !closed || rename(temporary.c_str(), path) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    // The rename is durable only once the directory is on the disk too (the
    // Windows side's write-through does the same). The temporary name is not
    // needed any more: its buffer holds the directory's name.
    syncDirectoryOf(temporary.chars, temporary.length);
    return true;
}

ReadStatus readFile(const char* path, uint32_t maxSize, String& text) {
    // Non-blocking, so that a pipe of that name cannot hold the host up;
    // reads of a regular file are not affected by it.
    const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? ReadStatus::Missing : ReadStatus::Failed;
    struct stat info {};
    ReadStatus status = ReadStatus::Ok;
    if (fstat(fd, &info) != 0) {
        status = ReadStatus::Failed;
    } else if (!S_ISREG(info.st_mode)) {
        status = ReadStatus::NotAFile;
    } else if (info.st_size < 0 || static_cast<uint64_t>(info.st_size) > maxSize) {
        status = ReadStatus::TooLarge;
    }
    String content;
    const auto size = static_cast<uint32_t>(status == ReadStatus::Ok ? info.st_size : 0);
    if (status == ReadStatus::Ok && !content.assignRepeated('\0', size)) status = ReadStatus::NoMemory;
    uint32_t got = 0;
    while (status == ReadStatus::Ok && got < size) {
        const ssize_t n = read(fd, content.chars + got, size - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            status = ReadStatus::Failed;  // an error, or shorter than it was a moment ago
        } else {
            got += static_cast<uint32_t>(n);
        }
    }
    close(fd);  // read only: nothing is lost if closing fails
    if (status == ReadStatus::Ok) text.swap(content);
    return status;
}

}  // namespace idlewarden::platform
