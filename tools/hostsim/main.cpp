// hostsim: a host of our own that loads the built module and plays a
// scenario against it (docs/hostsim.md). With no scenario file it reads
// scenario lines from standard input, one at a time.
//
// Exit codes: 0 every expectation held; 1 an expectation failed; 2 bad
// command line or scenario (file:line:col: error: ...); 3 the module could
// not be loaded.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "check_settings.h"
#include "module_loader.h"
#include "scenario.h"
#include "sim_host.h"
#include "terminal.h"
#include "virtual_clock.h"

namespace fs = std::filesystem;
using namespace hostsim;

namespace {

const char* const Usage =
    "usage: hostsim [options] [SCENARIO.scn]\n"
    "Plays a scenario against the built module; with no scenario, reads\n"
    "scenario lines from standard input (bot 1 connected with version 6.6;\n"
    "lines beginning with ! or ? are typed by the default operator).\n"
    "\n"
    "  --module PATH   the module file (default: the one beside hostsim)\n"
    "  --workdir DIR   run in DIR (made if missing, never removed)\n"
    "  --keep          keep the temporary work directory\n"
    "  --clean         remove it even when a settings file was written\n"
    "  --quiet         show only what the module sends\n"
    "  --color, --no-color   force colour on or off (default: on a terminal\n"
    "                  unless NO_COLOR is set)\n"
    "  --bare          interactive mode without the default connect\n"
    "  --check-settings FILE   explain how the module reads settings file FILE\n"
    "                  (exit 0 clean, 1 warnings, 2 unreadable)\n"
    "  --version       the release of hostsim and the module it comes with\n"
    "  --help          this text\n";

struct Args {
    std::string module, workdir, scenario;
    std::string checkSettings;  // --check-settings FILE
    bool keep = false, clean = false, quiet = false, bare = false;
    int colour = -1;  // -1 automatic
};

int usageError(const std::string& message) {
    std::cerr << "hostsim: error: " << message << "\n" << Usage;
    return 2;
}

std::string randomSuffix() {
    std::random_device device;
    std::mt19937_64 gen((static_cast<uint64_t>(device()) << 32) ^ device());
    const char* digits = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string s;
    for (int i = 0; i < 10; ++i) s += digits[gen() % 36];
    return s;
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

}  // namespace

int main(int argc, char** argv) {
    Args args;
    std::vector<std::string> words(argv + 1, argv + argc);
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

    // ---- the settings check: a mode of its own (check_settings.cpp) ----
    if (!args.checkSettings.empty()) {
        if (!args.scenario.empty()) return usageError("--check-settings takes no scenario");
        fs::path path = args.module;
        if (path.empty()) {
            const fs::path self = argv[0];
            path = (self.has_parent_path() ? self.parent_path() : fs::path(".")) / moduleFileName();
        }
        return checkSettings(args.checkSettings, fs::absolute(path).lexically_normal().string());
    }

    // Everything the scenario names is resolved before the work directory
    // becomes the current one.
    const fs::path startDir = fs::current_path();
    std::vector<Statement> statements;
    fs::path scenarioDir = startDir;
    if (!args.scenario.empty()) {
        std::ifstream in(args.scenario, std::ios::binary);
        if (!in) {
            std::cerr << "hostsim: error: cannot read scenario " << args.scenario << "\n";
            return 2;
        }
        scenarioDir = fs::absolute(args.scenario).parent_path();
        std::string text;
        int line = 0;
        auto more = [&](std::string& next) { return static_cast<bool>(std::getline(in, next)); };
        while (std::getline(in, text)) {
            ++line;
            try {
                if (auto st = parseLine(text, line, more)) statements.push_back(std::move(*st));
            } catch (const ScenarioError& e) {
                reportError(args.scenario, e);
                return 2;
            }
        }
    }

    fs::path modulePath = args.module;
    if (modulePath.empty()) {
        const fs::path self = argv[0];
        modulePath = (self.has_parent_path() ? self.parent_path() : fs::path(".")) / moduleFileName();
    }
    modulePath = fs::absolute(modulePath).lexically_normal();
    LoadedModule module;
    std::string loadError;
    if (!fs::exists(modulePath)) {
        std::cerr << "hostsim: error: module file " << modulePath.string()
                  << " does not exist (build it, or give --module PATH)\n";
        return 3;
    }
    if (!loadModule(modulePath.string(), module, loadError)) {
        std::cerr << "hostsim: error: " << loadError << "\n";
        return 3;
    }

    // The settings file lands in the work directory: a fresh temporary one
    // unless --workdir names one.
    std::error_code ec;
    fs::path workDir;
    const bool temporary = args.workdir.empty();
    if (temporary) {
        workDir = fs::temp_directory_path(ec) / ("hostsim-" + randomSuffix());
    } else {
        workDir = fs::absolute(args.workdir);
    }
    fs::create_directories(workDir, ec);
    if (!ec) fs::current_path(workDir, ec);
    if (ec) {
        std::cerr << "hostsim: error: cannot use work directory " << workDir.string() << ": " << ec.message() << "\n";
        unloadModule(module);
        return 2;
    }

    const char* noColour = std::getenv("NO_COLOR");
    HostOptions options;
    options.colour =
        args.colour >= 0 ? args.colour == 1 : stdoutIsTerminal() && (noColour == nullptr || noColour[0] == '\0');
    options.quiet = args.quiet;
    options.scenarioDir = scenarioDir;
    virtual_clock::enable(0);

    int status = 0;
    {
        SimHost host(options, module);
        std::cout << "hostsim: module " << modulePath.string() << "\nhostsim: work directory " << workDir.string()
                  << "\n";
        if (!args.scenario.empty()) {
            try {
                for (const Statement& st : statements) host.run(st);
                host.closeExpectBlock(statements.empty() ? 0 : statements.back().line);
            } catch (const ScenarioError& e) {
                reportError(args.scenario, e);
                status = 2;
            } catch (const ExpectationFailed& e) {
                reportFailure(args.scenario, e);
                status = 1;
            } catch (const std::exception& e) {
                std::cout.flush();
                std::cerr << "hostsim: error: " << e.what() << "\n";
                status = 2;
            }
        } else {
            const bool prompt = stdinIsTerminal();
            const std::string source = "<stdin>";
            int line = 0;
            std::string text;
            auto more = [&](std::string& next) {
                if (prompt) std::cout << "...> " << std::flush;
                return static_cast<bool>(std::getline(std::cin, next));
            };
            auto runOne = [&](const std::string& lineText) {
                try {
                    if (auto st = parseLine(lineText, line, more)) host.run(*st);
                } catch (const ScenarioError& e) {
                    reportError(source, e);
                } catch (const ExpectationFailed& e) {
                    reportFailure(source, e);
                    status = 1;
                } catch (const std::exception& e) {
                    std::cout.flush();
                    std::cerr << source << ":" << line << ": error: " << e.what() << "\n";
                }
            };
            if (!args.bare) {
                std::cout << "hostsim: interactive; bot 1 connects with version 6.6. Type scenario lines\n"
                             "hostsim: (docs/hostsim.md); !command and ?help lines are typed by Operator\n"
                             "hostsim: (ident 1000, access 12). End with Ctrl-D.\n";
                int zero = 0;
                host.run(*parseLine("connect 6.6", zero, more));
            }
            for (;;) {
                if (prompt) std::cout << "hostsim> " << std::flush;
                if (!std::getline(std::cin, text)) break;
                ++line;
                runOne(text);
            }
            if (prompt) std::cout << "\n";
            try {
                host.closeExpectBlock(line);
            } catch (const ExpectationFailed& e) {
                reportFailure(source, e);
                status = 1;
            }
        }
        host.printSummary();
        const bool written = !host.settingsWritten.empty();
        unloadModule(module);
        fs::current_path(startDir, ec);
        if (temporary && !args.keep && (!written || args.clean)) {
            fs::remove_all(workDir, ec);
        } else if (temporary) {
            std::cout << "work directory kept: " << workDir.string() << "\n";
        }
    }
    return status;
}
