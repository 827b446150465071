#pragma once

// The load and save dialogs of the panel's file commands. The host's own file selector is used
// when the host offers one; otherwise the desktop's dialog (zenity, or kdialog where zenity is
// missing) runs as a child process while the panel waits for the user's choice. With neither,
// the dialog counts as cancelled. A chosen path always ends in ".xml" (see completeExtension).

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vorpalix {

enum class FileDialogCommand : int { Load = 0, Save = 1 };

struct FileDialogRequest {
    FileDialogCommand command = FileDialogCommand::Load;
    std::string title;
    std::string description; // the file type's name, e.g. "Vorpalix Pattern File"
    std::string extension = "xml";
};

// The ten file commands of the panel, with their dialog's title and file type name.
enum class FileCommand : int {
    LoadPattern,
    SavePattern,
    LoadPatternBank,
    SavePatternBank,
    LoadPreset,
    SavePreset,
    LoadPresetSet,
    SavePresetSet,
    LoadPresetBank,
    SavePresetBank,
};

// The dialog request of a file command.
FileDialogRequest fileDialogRequest(FileCommand command);

// Appends "." + extension unless the path already ends in it (compared case-sensitively from the
// end). An empty path, and a path shorter than the suffix that agrees with its end, stay as
// they are: "beat" -> "beat.xml", "beat.xml" stays, "BEAT.XML" -> "BEAT.XML.xml".
std::string completeExtension(std::string path, std::string_view extension);

// The host's file selector: the chosen path ("" when the user cancelled), or nullopt when the
// host offers no selector.
using HostFileSelector = std::function<std::optional<std::string>(const FileDialogRequest&)>;

class FileDialogHelper {
public:
    explicit FileDialogHelper(HostFileSelector hostSelector = {})
        : hostSelector_(std::move(hostSelector)) {}

    // UI thread. Runs the dialog and returns the completed path, or "" when cancelled. Blocks
    // while the dialog is open.
    std::string run(const FileDialogRequest& request) const;

private:
    HostFileSelector hostSelector_;
};

// The desktop dialog alone: zenity, else kdialog, found on PATH; "" when cancelled or when
// neither exists. The path is returned as the program printed it, without completion.
std::string runDesktopFileDialog(const FileDialogRequest& request);

} // namespace vorpalix
