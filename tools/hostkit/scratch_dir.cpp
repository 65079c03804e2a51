#include "scratch_dir.h"

#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <system_error>

namespace hostkit {

namespace {
bool makeIn(const std::filesystem::path& base, const char* tag, std::filesystem::path& made) {
    std::string pattern = (base / (std::string(tag) + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr) return false;
    if (chdir(pattern.c_str()) != 0) {
        rmdir(pattern.c_str());
        return false;
    }
    made = pattern;
    return true;
}
}  // namespace

bool ScratchDir::enter(const char* tag) {
    std::error_code ec;
    const std::filesystem::path before = std::filesystem::current_path(ec);
    if (ec) return false;
    std::filesystem::path made;
    const std::filesystem::path temporary = std::filesystem::temp_directory_path(ec);
    if (!makeIn("/dev/shm", tag, made) && (temporary.empty() || !makeIn(temporary, tag, made))) return false;
    path = made;
    previous = before;
    return true;
}

void ScratchDir::leave() {
    if (path.empty()) return;
    std::error_code ignored;
    std::filesystem::current_path(previous, ignored);
    std::filesystem::remove_all(path, ignored);
    path.clear();
}

}  // namespace hostkit
