// A fresh, empty directory that a host program works in, so that the
// module's settings file never lands in the build tree or meets another
// run's. POSIX only.
#pragma once

#include <filesystem>

namespace hostkit {

struct ScratchDir {
    std::filesystem::path path;      // the scratch directory while entered, else empty
    std::filesystem::path previous;  // the directory that was current before

    // Makes "<tag>-XXXXXX" under /dev/shm (in memory, when the system has
    // it) or the temporary directory, and makes it the current directory.
    // False when neither could be made or entered; nothing is changed then.
    bool enter(const char* tag);
    // Back to the previous directory, and the scratch directory is removed
    // with everything in it. Cannot fail (what cannot be removed stays);
    // does nothing when not entered.
    void leave();
};

}  // namespace hostkit
