#include "work_paths.h"

namespace hostsim {

namespace fs = std::filesystem;

namespace {
bool rooted(const fs::path& p) { return p.has_root_name() || p.has_root_directory(); }
}  // namespace

std::optional<fs::path> insideWorkDir(const fs::path& dir, const std::string& text, std::string& why) {
    const fs::path given = text;
    if (text.empty()) {
        why = "the path is empty";
        return std::nullopt;
    }
    if (rooted(given)) {
        why = "\"" + text + "\" is an absolute path; paths are relative to the work directory";
        return std::nullopt;
    }
    fs::path resolved = (dir / given).lexically_normal();
    if (!resolved.empty() && *resolved.begin() == "..") {
        why = "\"" + text + "\" leads out of the work directory";
        return std::nullopt;
    }
    if (resolved == ".") resolved.clear();
    return resolved;
}

bool staysInside(const fs::path& root, const fs::path& path) {
    std::error_code ec;
    const fs::path real = fs::weakly_canonical(path, ec);
    if (ec) return true;
    const fs::path rel = real.lexically_relative(root);
    return !rel.empty() && *rel.begin() != "..";
}

bool isCopySource(const std::string& text, std::string& why) {
    if (text.empty()) {
        why = "the path is empty";
        return false;
    }
    if (rooted(fs::path(text))) {
        why = "\"" + text + "\" is an absolute path; a copy source is relative to the scenario file";
        return false;
    }
    return true;
}

void checkScenarioPaths(const std::vector<Statement>& statements) {
    fs::path dir;
    std::string why;
    auto check = [&](const Statement& st, const std::string& text, int column) {
        auto resolved = insideWorkDir(dir, text, why);
        if (!resolved) throw ScenarioError(st.line, column, why);
        return *resolved;
    };
    for (const Statement& st : statements) {
        switch (st.op) {
            case Op::File:
            case Op::Mkdir:
            case Op::Show: check(st, st.text, st.argColumn); break;
            case Op::Cd: dir = check(st, st.text, st.argColumn); break;
            case Op::ExpectFile:
            case Op::ExpectNoFile: check(st, st.name, st.nameColumn); break;
            case Op::Copy:
                if (!isCopySource(st.text, why)) throw ScenarioError(st.line, st.argColumn, why);
                if (st.name.empty()) {
                    check(st, fs::path(st.text).filename().string(), st.argColumn);
                } else {
                    check(st, st.name, st.nameColumn);
                }
                break;
            default: break;
        }
    }
}

}  // namespace hostsim
