// A fresh, empty directory that one test works in. Creating it makes it the
// process's current directory; destroying it goes back to the directory
// that was current before and removes the scratch directory with everything
// in it. Tests that touch the settings file use one each, so that they never
// see each other's files or write into the build tree.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include "hostkit/scratch_dir.h"

namespace test {

struct ScratchDir {
    hostkit::ScratchDir dir;
    const std::filesystem::path& path = dir.path;

    ScratchDir() {
        if (!dir.enter("idlewarden")) throw std::runtime_error("cannot make a scratch directory");
    }
    ~ScratchDir() { dir.leave(); }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    // Files relative to the current directory, read and written byte for byte.
    static void write(const std::filesystem::path& file, const std::string& bytes) {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << bytes;
        if (!out) throw std::runtime_error("cannot write " + file.string());
    }
    static std::string read(const std::filesystem::path& file) {
        std::ifstream in(file, std::ios::binary);
        if (!in) return "<missing>";
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
};

}  // namespace test
