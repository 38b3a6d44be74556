// The open and save file dialogs. There is no native dialog: the chosen path comes from the
// caller (Plat_SetFileDialogAnswer) or, with a display, from the environment variable
// GRAVENHOLT_FILE_DIALOG; headless and without either the dialog is cancelled. The last request
// is kept so that tests can read what was asked.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

// Dialog flags, with the values the game uses.
constexpr uint32_t kFileDialogOverwritePrompt = 0x2;
constexpr uint32_t kFileDialogHideReadOnly = 0x4;
constexpr uint32_t kFileDialogNoChangeDir = 0x8;
constexpr uint32_t kFileDialogPathMustExist = 0x800;
constexpr uint32_t kFileDialogFileMustExist = 0x1000;

struct FileDialogRequest {
    std::string title;
    std::string filter;
    std::string initialDirectory;
    std::string defaultExtension;
    uint32_t flags = 0;
    std::string initialPath;
};

enum class FileDialogResult { Chosen, Cancelled, Failed };

// Shows the dialog; with Chosen, path holds the chosen file (a bare name lies in the initial
// directory; the default extension is added when the name has none). Failed sets the error code. A dialog that must find an existing file fails
// to choose a missing one (Cancelled).
FileDialogResult Plat_FileDialog(const FileDialogRequest& request, std::string* path, uint32_t* errorCode);
// The answer of the next dialogs: a path, or nullopt to cancel them; reset brings back the
// default (environment variable with a display, else cancel).
void Plat_SetFileDialogAnswer(std::optional<std::string> answer);
void Plat_ResetFileDialog();
// The last request shown; false when none was shown since the reset.
bool Plat_LastFileDialog(FileDialogRequest* out);
