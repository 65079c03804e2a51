// The paths that a scenario names, held inside the work directory.
//
// Every path that a statement writes, reads or changes to lies inside the
// work directory; `copy` reads its source relative to the scenario file. A
// path that is absolute (a root or a drive) or leads out (by "..") is an
// error, found before anything runs; at run time a path that symbolic links
// lead out of is refused too.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "scenario.h"

namespace hostsim {

// Resolves `text` against `dir`, the current directory relative to the work
// directory (empty at its top). Returns the lexically normal path relative to
// the work directory, or nothing with `why` set.
std::optional<std::filesystem::path> insideWorkDir(const std::filesystem::path& dir, const std::string& text,
                                                   std::string& why);

// Whether the absolute `path`, once its existing symbolic links are
// followed, stays inside `root` (itself canonical). Where the system cannot
// tell, the lexical check stands.
bool staysInside(const std::filesystem::path& root, const std::filesystem::path& path);

// Checks every path of the statements, following their `cd` lines, before
// the scenario runs. Throws ScenarioError at the first path that fails.
void checkScenarioPaths(const std::vector<Statement>& statements);

// A `copy` source: relative (to the scenario file's directory), never
// absolute. False with `why` set otherwise.
bool isCopySource(const std::string& text, std::string& why);

}  // namespace hostsim
