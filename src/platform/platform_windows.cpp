#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <new>

#include "kit/text_string.h"
#include "platform/platform.h"

namespace idlewarden::platform {

uint32_t tickCount() { return static_cast<uint32_t>(GetTickCount()); }

bool pathInCurrentDirectory(const char* fileName, String& path) {
    // Asked with too small a buffer, GetCurrentDirectoryA returns the size it
    // needs (NUL included); asked with a big enough one, the length it wrote
    // (NUL excluded). The directory may change between two calls, so the
    // buffer grows until one call fits; the attempts are bounded all the same.
    DWORD size = GetCurrentDirectoryA(0, nullptr);
    for (int attempt = 0; attempt < 8 && size != 0; ++attempt) {
        char* buffer = new (std::nothrow) char[size];
        if (buffer == nullptr) return false;
        const DWORD written = GetCurrentDirectoryA(size, buffer);
        if (written != 0 && written < size) {
            String joined(buffer);
            delete[] buffer;
            // An empty String here means its copy could not be allocated.
            const bool ok = !joined.isEmpty() && joined.append("\\") && joined.append(fileName);
            return ok && path.assign(joined);
        }
        delete[] buffer;
        size = written;  // 0 on failure ends the loop
    }
    return false;
}

namespace {
bool writeAll(HANDLE file, const char* data, uint32_t size) {
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(file, data, size, &written, nullptr) || written == 0) return false;
        data += written;
        size -= written;
    }
    return true;
}
}  // namespace

bool replaceFile(const char* path, const char* data, uint32_t size) {
    String temporary(path);
    if (temporary.length == 0 || !temporary.append(".new")) return false;
    const HANDLE file =
        CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool written = writeAll(file, data, size) && FlushFileBuffers(file);
    const bool closed = CloseHandle(file) != 0;
    // On NTFS a rename within one directory is atomic: a reader sees either
    // the old file or the new one. Write-through returns only once the
    // rename itself is on the disk.
    if (!written || !closed ||
        !MoveFileExA(temporary.c_str(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(temporary.c_str());
        return false;
    }
    return true;
}

ReadStatus readFile(const char* path, uint32_t maxSize, String& text) {
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ReadStatus::Missing
                                                                              : ReadStatus::Failed;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return ReadStatus::NotAFile;
    // Shared in every way, so that a save may replace the file meanwhile.
    const HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return ReadStatus::Failed;
    ReadStatus status = ReadStatus::Ok;
    LARGE_INTEGER fileSize{};
    if (GetFileType(file) != FILE_TYPE_DISK) {
        status = ReadStatus::NotAFile;
    } else if (!GetFileSizeEx(file, &fileSize)) {
        status = ReadStatus::Failed;
    } else if (fileSize.QuadPart < 0 || static_cast<uint64_t>(fileSize.QuadPart) > maxSize) {
        status = ReadStatus::TooLarge;
    }
    String content;
    const auto size = static_cast<uint32_t>(status == ReadStatus::Ok ? fileSize.QuadPart : 0);
    if (status == ReadStatus::Ok && !content.assignRepeated('\0', size)) status = ReadStatus::NoMemory;
    uint32_t got = 0;
    while (status == ReadStatus::Ok && got < size) {
        DWORD n = 0;
        if (!ReadFile(file, content.chars + got, size - got, &n, nullptr) || n == 0) {
            status = ReadStatus::Failed;  // an error, or shorter than it was a moment ago
        } else {
            got += n;
        }
    }
    CloseHandle(file);  // read only: nothing is lost if closing fails
    if (status == ReadStatus::Ok) text.swap(content);
    return status;
}

}  // namespace idlewarden::platform
