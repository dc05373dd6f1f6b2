#include "cli/run_options.h"

#include <utility>

#include "platform/file_io.h"

namespace quillon::cli {

namespace {

constexpr const char* kValueOptions[] = {"--stdout-file", "--log", "--junit"};
constexpr const char* kFlags[] = {"--quiet", "--tcl-library"};

std::string* ValueTarget(RunnerOptions& o, const std::string& name) {
    if (name == "--stdout-file") return &o.stdoutFile;
    if (name == "--log") return &o.logFile;
    if (name == "--junit") return &o.junitFile;
    return nullptr;
}

}  // namespace

bool IsRunnerValueOption(const std::string& word) {
    for (const char* name : kValueOptions) {
        if (word == name) return true;
    }
    return false;
}

bool IsRunnerWord(const std::string& word) {
    for (const char* name : kFlags) {
        if (word == name) return true;
    }
    for (const char* name : kValueOptions) {
        if (word.rfind(std::string(name) + "=", 0) == 0) return true;
    }
    return false;
}

std::optional<RunnerOptions> TakeRunnerOptions(std::vector<std::string>& args, std::string& error) {
    RunnerOptions o;
    std::size_t i = 0;
    while (i < args.size()) {
        const std::string word = args[i];
        if (word == "--") break;
        if (word == "--quiet" || word == "--tcl-library") {
            (word == "--quiet" ? o.quiet : o.tclLibrary) = true;
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        const std::size_t eq = word.find('=');
        const std::string name = word.substr(0, eq);
        std::string* target = ValueTarget(o, name);
        if (!target) {
            ++i;
            continue;
        }
        std::size_t taken = 1;
        if (eq != std::string::npos) {
            *target = word.substr(eq + 1);
        } else if (i + 1 < args.size()) {
            *target = args[i + 1];
            taken = 2;
        } else {
            target->clear();
        }
        if (target->empty()) {
            error = name + " needs a value (a file name)";
            return std::nullopt;
        }
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                   args.begin() + static_cast<std::ptrdiff_t>(i + taken));
    }
    return o;
}

std::string OutputFileProblem(const std::string& path) {
    using platform::NameProblem;
    switch (platform::CheckFileToWrite(path)) {
        case NameProblem::None:
        case NameProblem::Missing:
            return {};
        case NameProblem::NoName:
            return "has no name";
        case NameProblem::Pattern:
            return "holds a wildcard (* or ?)";
        case NameProblem::NoFolder:
            return "is in a folder that does not exist";
        case NameProblem::FolderDenied:
            return "is in a folder this user may not write in";
        case NameProblem::Folder:
            return "is a folder";
        case NameProblem::Fifo:
            return "is a FIFO, not a regular file";
        case NameProblem::Device:
            return "is a device, not a regular file";
        case NameProblem::Denied:
            return "may not be written by this user";
    }
    return {};
}

}  // namespace quillon::cli
