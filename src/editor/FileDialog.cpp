#include "editor/FileDialog.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace vorpalix {
namespace {

struct CommandText {
    FileDialogCommand command;
    const char* title;
    const char* description;
};

constexpr std::array<CommandText, 10> kCommandTexts = {{
    {FileDialogCommand::Load, "Load Pattern", "Vorpalix Pattern File"},
    {FileDialogCommand::Save, "Save Pattern", "Vorpalix Pattern File"},
    {FileDialogCommand::Load, "Load Pattern Bank", "Vorpalix Bank of Patterns File"},
    {FileDialogCommand::Save, "Save Pattern Bank", "Vorpalix Bank of Patterns File"},
    {FileDialogCommand::Load, "Load Instrument Preset", "Vorpalix Instrument Preset"},
    {FileDialogCommand::Save, "Save Instrument Preset", "Vorpalix Instrument Preset"},
    {FileDialogCommand::Load, "Load Instrument Preset Set", "Vorpalix Set of Instrument Presets"},
    {FileDialogCommand::Save, "Save Instrument Preset Set", "Vorpalix Set of Instrument Presets"},
    {FileDialogCommand::Load, "Load Instrument Preset Bank", "Vorpalix Bank of Instrument Presets"},
    {FileDialogCommand::Save, "Save Instrument Preset Bank", "Vorpalix Bank of Instrument Presets"},
}};

// The full path of an executable file of this name in a folder of PATH, or "".
std::string findOnPath(std::string_view program) {
    const char* path = std::getenv("PATH");
    if (path == nullptr) {
        return {};
    }
    std::string_view folders(path);
    while (!folders.empty()) {
        const auto colon = folders.find(':');
        const std::string_view folder = folders.substr(0, colon);
        folders = colon == std::string_view::npos ? std::string_view{} : folders.substr(colon + 1);
        if (folder.empty()) {
            continue;
        }
        std::string candidate = std::string(folder) + "/" + std::string(program);
        struct stat info {};
        if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return {};
}

// Runs a program with these arguments, its standard output read into a string and its other
// streams sent to /dev/null. The output when the program exits with status 0, else "".
std::string runForOutput(const std::string& program, const std::vector<std::string>& arguments) {
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        return {};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : arguments) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);

    pid_t child = -1;
    const int spawned =
        ::posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[1]);
    if (spawned != 0) {
        ::close(pipeEnds[0]);
        return {};
    }

    std::string output;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(pipeEnds[0], buffer, sizeof buffer);
        if (n > 0) {
            output.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    ::close(pipeEnds[0]);

    int status = 0;
    pid_t waited;
    do {
        waited = ::waitpid(child, &status, 0);
    } while (waited < 0 && errno == EINTR);
    // A host that reaps every child itself leaves no status: trust the output then.
    const bool succeeded =
        waited < 0 ? !output.empty() : WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!succeeded) {
        return {};
    }
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) {
        output.pop_back();
    }
    return output;
}

} // namespace

FileDialogRequest fileDialogRequest(FileCommand command) {
    const CommandText& text = kCommandTexts[static_cast<std::size_t>(command)];
    FileDialogRequest request;
    request.command = text.command;
    request.title = text.title;
    request.description = text.description;
    return request;
}

std::string completeExtension(std::string path, std::string_view extension) {
    const std::string suffix = "." + std::string(extension);
    std::size_t p = path.size();
    std::size_t s = suffix.size();
    while (p > 0 && s > 0) {
        if (path[--p] != suffix[--s]) {
            path += suffix;
            break;
        }
    }
    return path;
}

std::string runDesktopFileDialog(const FileDialogRequest& request) {
    const bool save = request.command == FileDialogCommand::Save;
    const std::string pattern = "*." + request.extension;
    if (const std::string zenity = findOnPath("zenity"); !zenity.empty()) {
        std::vector<std::string> args = {"--file-selection", "--title=" + request.title,
                                         "--file-filter=" + request.description + " | " + pattern,
                                         "--file-filter=All files | *"};
        if (save) {
            args.push_back("--save");
            args.push_back("--confirm-overwrite");
        }
        return runForOutput(zenity, args);
    }
    if (const std::string kdialog = findOnPath("kdialog"); !kdialog.empty()) {
        return runForOutput(kdialog, {"--title", request.title,
                                      save ? "--getsavefilename" : "--getopenfilename", ".",
                                      pattern + "|" + request.description});
    }
    return {};
}

std::string FileDialogHelper::run(const FileDialogRequest& request) const {
    std::optional<std::string> chosen;
    if (hostSelector_) {
        chosen = hostSelector_(request);
    }
    if (!chosen) {
        chosen = runDesktopFileDialog(request);
    }
    return completeExtension(std::move(*chosen), request.extension);
}

} // namespace vorpalix
