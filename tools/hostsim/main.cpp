// hostsim: a host of our own that loads the built module and plays a
// scenario against it (docs/hostsim.md). With no scenario file it reads
// scenario lines from standard input, one at a time.
//
// Exit codes: 0 every expectation held; 1 an expectation failed; 2 bad
// command line, scenario or statement (file:line:col: error: ...); 3 the
// module could not be loaded; 4 the module touched a record that the host
// had released; 130 / 143 interrupted (Ctrl-C / a termination request).
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "check_settings.h"
#include "hostkit/module_loader.h"
#include "hostkit/virtual_clock.h"
#include "memory_guard.h"
#include "scenario.h"
#include "sim_host.h"
#include "terminal.h"
#include "work_paths.h"

namespace fs = std::filesystem;
using namespace hostsim;

namespace {

const char* const Usage =
    "usage: hostsim [options] [SCENARIO.scn]\n"
    "Plays a scenario against the built module; with no scenario, reads\n"
    "scenario lines from standard input (bot 1 connected with version 6.6;\n"
    "lines beginning with ! or ? are typed by the default operator; help\n"
    "lists the statements).\n"
    "\n"
    "  --module PATH   the module file (default: the one beside hostsim)\n"
    "  --settings FILE seed the work directory's settings file with FILE\n"
    "  --workdir DIR   run in DIR (made if missing, never removed)\n"
    "  --keep          keep the temporary work directory\n"
    "  --clean         remove it even when a settings file was written\n"
    "  --quiet         show only what the module sends\n"
    "  --color, --no-color   force colour on or off (default: on a terminal\n"
    "                  unless NO_COLOR is set)\n"
    "  --bare          interactive mode without the default connect\n"
    "  --strict-records, --no-strict-records   whether a player record that\n"
    "                  the host has released becomes inaccessible (default on:\n"
    "                  a module that touches one is stopped with exit code 4)\n"
    "  --check-settings FILE   explain how the module reads settings file FILE\n"
    "                  (exit 0 clean, 1 warnings, 2 unreadable)\n"
    "  --version       the release of hostsim and the module it comes with\n"
    "  --help          this text\n";

constexpr int ExitExpectation = 1;
constexpr int ExitScenario = 2;
constexpr int ExitModule = 3;
constexpr int ExitReleasedRecord = 4;

struct Args {
    std::string module, workdir, scenario, settings;
    std::string checkSettings;  // --check-settings FILE
    bool keep = false, clean = false, quiet = false, bare = false, strictRecords = true;
    int colour = -1;  // -1 automatic
};

int usageError(const std::string& message) {
    std::cerr << "hostsim: error: " << message << "\n" << Usage;
    return ExitScenario;
}

// Reads the options into `args`; returns -1 to go on, or the exit code.
int parseArgs(const std::vector<std::string>& words, Args& args) {
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& a = words[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= words.size()) return false;
            into = words[++i];
            return true;
        };
        if (a == "--help" || a == "-h") {
            std::cout << Usage;
            return 0;
        } else if (a == "--version") {
            std::cout << "hostsim (Idlewarden) " IDLEWARDEN_VERSION "\n";
            return 0;
        } else if (a == "--module") {
            if (!value(args.module)) return usageError("--module needs a path");
        } else if (a == "--workdir") {
            if (!value(args.workdir)) return usageError("--workdir needs a directory");
        } else if (a == "--settings") {
            if (!value(args.settings)) return usageError("--settings needs a file");
        } else if (a == "--keep") {
            args.keep = true;
        } else if (a == "--clean") {
            args.clean = true;
        } else if (a == "--quiet" || a == "-q") {
            args.quiet = true;
        } else if (a == "--color" || a == "--colour") {
            args.colour = 1;
        } else if (a == "--no-color" || a == "--no-colour") {
            args.colour = 0;
        } else if (a == "--bare") {
            args.bare = true;
        } else if (a == "--strict-records") {
            args.strictRecords = true;
        } else if (a == "--no-strict-records") {
            args.strictRecords = false;
        } else if (a == "--check-settings") {
            if (!value(args.checkSettings)) return usageError("--check-settings needs a file");
        } else if (a.size() > 1 && a[0] == '-') {
            return usageError("unknown option " + a);
        } else if (!args.scenario.empty()) {
            return usageError("only one scenario file at a time");
        } else {
            args.scenario = a;
        }
    }
    return -1;
}

// The module file: --module, or the one beside hostsim.
fs::path modulePathOf(const Args& args, const char* self) {
    fs::path path = args.module;
    if (path.empty()) {
        const fs::path program = self;
        path = (program.has_parent_path() ? program.parent_path() : fs::path(".")) / moduleFileName();
    }
    return fs::absolute(path).lexically_normal();
}

std::string randomSuffix() {
    std::random_device device;
    std::mt19937_64 gen((static_cast<uint64_t>(device()) << 32) ^ device());
    const char* digits = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string s;
    for (int i = 0; i < 10; ++i) s += digits[gen() % 36];
    return s;
}

// A UTF-8 byte order mark at the start of the first line is not text.
void dropByteOrderMark(std::string& line) {
    if (line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
}

// Reports a statement error as file:line:col: error: ...
void reportError(const std::string& source, const ScenarioError& e) {
    std::cout.flush();
    std::cerr << source << ":" << e.line << ":" << e.column << ": error: " << e.what() << "\n";
}

void reportFailure(const std::string& source, const ExpectationFailed& e) {
    std::cout.flush();
    std::cerr << source << ":" << e.line << ": " << e.what() << "\n";
}

void reportInterrupt() {
    std::cout.flush();
    std::cerr << "hostsim: interrupted\n";
}

// What the end of a run needs: the summary, the module unloaded, and the
// work directory removed or kept.
struct Session {
    std::string source;  // the scenario file, or <stdin>
    SimHost* host = nullptr;
    LoadedModule* module = nullptr;
    fs::path startDir, workDir;
    bool temporary = false, keep = false, clean = false;

    void finish(bool unload) const {
        host->printSummary();
        const bool written = !host->settingsWritten.empty();
        if (unload) unloadModule(*module);
        std::error_code ec;
        fs::current_path(startDir, ec);
        if (temporary && !keep && (!written || clean)) {
            fs::remove_all(workDir, ec);
        } else if (temporary) {
            std::cout << "work directory kept: " << workDir.string() << "\n";
        }
        std::cout.flush();
    }
};

Session* activeSession = nullptr;

// A memory fault. On a released record: report it with the statement that
// was running, end the run as usual (without unloading the module, whose
// state is past saving) and exit. Anything else crashes as it would have.
void reportFault(const void* address, FaultAccess access) {
    if (activeSession == nullptr) return;
    const SimHost& host = *activeSession->host;
    std::cout.flush();
    const std::string where =
        host.currentLine > 0 ? activeSession->source + ":" + std::to_string(host.currentLine) : "hostsim";
    const Player* p = host.releasedRecordAt(address);
    if (p == nullptr) {
        if (host.inTalk) std::cerr << where << ": error: the module crashed (memory fault)\n";
        std::cerr.flush();
        return;
    }
    const char* what = access == FaultAccess::Read ? "read" : access == FaultAccess::Write ? "wrote to" : "touched";
    std::cerr << where << ": error: the module " << what << " the record of \"" << p->name
              << "\" after the host released it (" << p->releasedBy << " at line " << p->releasedLine << ")\n";
    std::cerr.flush();
    activeSession->finish(false);
    std::_Exit(ExitReleasedRecord);
}

// The temporary work directory's parent; empty, with a message given,
// when the system's temporary directory is not usable.
fs::path temporaryRoot() {
    std::error_code ec;
    fs::path root = fs::temp_directory_path(ec);
    if (ec || root.empty() || !root.is_absolute() || !fs::is_directory(root, ec)) {
        const char* tmpdir = std::getenv("TMPDIR");
        std::cerr << "hostsim: error: the temporary directory "
                  << (tmpdir != nullptr ? "(TMPDIR=\"" + std::string(tmpdir) + "\") " : std::string())
                  << "is not an existing absolute directory; set TMPDIR to one, or give --workdir DIR\n";
        return {};
    }
    return root;
}

bool readWhole(const fs::path& path, std::string& content) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    content = s.str();
    return static_cast<bool>(in) || in.eof();
}

}  // namespace

int main(int argc, char** argv) {
    installInterruptHandler();
    Args args;
    if (const int code = parseArgs(std::vector<std::string>(argv + 1, argv + argc), args); code >= 0) return code;

    // ---- the settings check: a mode of its own (check_settings.cpp) ----
    if (!args.checkSettings.empty()) {
        if (!args.scenario.empty()) return usageError("--check-settings takes no scenario");
        return checkSettings(args.checkSettings, modulePathOf(args, argv[0]).string());
    }

    // Everything the scenario names is resolved before the work directory
    // becomes the current one.
    const fs::path startDir = fs::current_path();
    std::error_code ec;
    std::vector<Statement> statements;
    fs::path scenarioDir = startDir;
    if (!args.scenario.empty()) {
        if (fs::is_directory(args.scenario, ec)) {
            std::cerr << "hostsim: error: " << args.scenario << " is a directory, not a scenario file\n";
            return ExitScenario;
        }
        std::ifstream in(args.scenario, std::ios::binary);
        if (!in) {
            std::cerr << "hostsim: error: cannot read scenario " << args.scenario << "\n";
            return ExitScenario;
        }
        scenarioDir = fs::absolute(args.scenario).parent_path();
        std::string text;
        int line = 0;
        auto more = [&](std::string& next) { return static_cast<bool>(std::getline(in, next)); };
        try {
            while (std::getline(in, text)) {
                if (++line == 1) dropByteOrderMark(text);
                if (auto st = parseLine(text, line, more)) statements.push_back(std::move(*st));
            }
            checkScenarioPaths(statements);
        } catch (const ScenarioError& e) {
            reportError(args.scenario, e);
            return ExitScenario;
        }
    }
    std::string settings;
    if (!args.settings.empty() && !readWhole(args.settings, settings)) {
        std::cerr << "hostsim: error: cannot read the settings file " << args.settings << "\n";
        return ExitScenario;
    }

    const fs::path modulePath = modulePathOf(args, argv[0]);
    LoadedModule module;
    std::string loadError;
    if (!fs::exists(modulePath)) {
        std::cerr << "hostsim: error: module file " << modulePath.string()
                  << " does not exist (build it, or give --module PATH)\n";
        return ExitModule;
    }
    if (!loadModule(modulePath.string(), module, loadError)) {
        std::cerr << "hostsim: error: " << loadError << "\n";
        return ExitModule;
    }

    // The settings file lands in the work directory: a fresh temporary one
    // unless --workdir names one.
    fs::path workDir;
    const bool temporary = args.workdir.empty();
    if (temporary) {
        const fs::path root = temporaryRoot();
        if (root.empty()) {
            unloadModule(module);
            return ExitScenario;
        }
        workDir = root / ("hostsim-" + randomSuffix());
    } else {
        workDir = fs::absolute(args.workdir);
    }
    fs::create_directories(workDir, ec);
    if (!ec) workDir = fs::canonical(workDir, ec);
    if (!ec) fs::current_path(workDir, ec);
    if (!ec && !args.settings.empty()) {
        std::ofstream out(workDir / "Idlewarden.ini", std::ios::binary | std::ios::trunc);
        out << settings;
        if (!out) ec = std::make_error_code(std::errc::io_error);
    }
    if (ec) {
        std::cerr << "hostsim: error: cannot use work directory " << workDir.string() << ": " << ec.message() << "\n";
        unloadModule(module);
        return ExitScenario;
    }

    const char* noColour = std::getenv("NO_COLOR");
    HostOptions options;
    options.colour =
        args.colour >= 0 ? args.colour == 1 : stdoutIsTerminal() && (noColour == nullptr || noColour[0] == '\0');
    options.quiet = args.quiet;
    options.strictRecords = args.strictRecords;
    options.progress = stderrIsTerminal();
    options.scenarioDir = scenarioDir;
    options.workDir = workDir;
    virtual_clock::enable(0);

    int status = 0;
    SimHost host(options, module);
    Session session{args.scenario.empty() ? "<stdin>" : args.scenario,
                    &host,
                    &module,
                    startDir,
                    workDir,
                    temporary,
                    args.keep,
                    args.clean};
    activeSession = &session;
    installFaultReporter(reportFault);
    std::cout << "hostsim: module " << modulePath.string() << "\nhostsim: work directory " << workDir.string() << "\n";
    if (!args.settings.empty()) std::cout << "hostsim: settings file seeded from " << args.settings << "\n";
    if (!args.scenario.empty()) {
        try {
            for (const Statement& st : statements) host.run(st);
            host.closeExpectBlock(statements.empty() ? 0 : statements.back().line);
        } catch (const ScenarioError& e) {
            reportError(session.source, e);
            status = ExitScenario;
        } catch (const ExpectationFailed& e) {
            reportFailure(session.source, e);
            status = ExitExpectation;
        } catch (const Interrupted& e) {
            reportInterrupt();
            status = e.exitCode;
        } catch (const std::exception& e) {
            std::cout.flush();
            std::cerr << "hostsim: error: " << e.what() << "\n";
            status = ExitScenario;
        }
    } else {
        // The session goes on after a failed line and ends with the exit
        // code of the first one.
        const bool prompt = stdinIsTerminal();
        const std::string& source = session.source;
        int line = 0, failures = 0;
        auto failed = [&](int code) {
            if (failures++ == 0) status = code;
        };
        std::string text;
        auto more = [&](std::string& next) {
            if (prompt) std::cout << "...> " << std::flush;
            return static_cast<bool>(std::getline(std::cin, next));
        };
        auto runOne = [&](const std::string& lineText) {
            try {
                if (auto st = parseLine(lineText, line, more)) host.run(*st);
                return true;
            } catch (const ScenarioError& e) {
                reportError(source, e);
                failed(ExitScenario);
            } catch (const ExpectationFailed& e) {
                reportFailure(source, e);
                failed(ExitExpectation);
            } catch (const Interrupted&) {
                return false;
            } catch (const std::exception& e) {
                std::cout.flush();
                std::cerr << source << ":" << line << ": error: " << e.what() << "\n";
                failed(ExitScenario);
            }
            return true;
        };
        if (!args.bare) {
            std::cout << "hostsim: interactive; bot 1 connects with version 6.6. Type scenario lines\n"
                         "hostsim: (help lists them); !command and ?help lines are typed by Operator\n"
                         "hostsim: (ident 1000, access 12). End with quit or "
                      << endOfInputKeys() << ".\n";
            runOne("connect 6.6");
        }
        for (;;) {
            if (interruptExitCode() != 0) break;
            if (prompt) std::cout << "hostsim> " << std::flush;
            if (!std::getline(std::cin, text)) break;
            if (++line == 1) dropByteOrderMark(text);
            const size_t first = text.find_first_not_of(" \t");
            const size_t last = text.find_last_not_of(" \t\r");
            const std::string word = first == std::string::npos ? "" : text.substr(first, last - first + 1);
            if (word == "quit" || word == "exit") break;
            if (word == "help") {
                std::cout << StatementSummary << std::flush;
                continue;
            }
            if (!runOne(text)) break;
        }
        if (prompt && interruptExitCode() == 0) std::cout << "\n";
        if (const int code = interruptExitCode()) {
            reportInterrupt();
            status = code;
        } else {
            try {
                host.closeExpectBlock(line);
            } catch (const ExpectationFailed& e) {
                reportFailure(source, e);
                failed(ExitExpectation);
            }
            if (failures > 0) {
                std::cout.flush();
                std::cerr << "hostsim: " << failures << (failures == 1 ? " line" : " lines") << " failed\n";
            }
        }
    }
    session.finish(true);
    activeSession = nullptr;
    return status;
}
