#include "platform/filedialog.h"

#include <cstdlib>

#include "platform/paths.h"
#include "platform/system.h"

namespace {

bool g_answerSet = false;
std::optional<std::string> g_answer;
std::optional<FileDialogRequest> g_last;

}  // namespace

FileDialogResult Plat_FileDialog(const FileDialogRequest& request, std::string* path, uint32_t* errorCode) {
    g_last = request;
    if (errorCode) *errorCode = 0;
    std::optional<std::string> answer;
    if (g_answerSet) {
        answer = g_answer;
    } else if (!Plat_IsHeadless()) {
        if (const char* env = std::getenv("GRAVENHOLT_FILE_DIALOG"); env && *env) answer = std::string(env);
    }
    if (!answer || answer->empty()) return FileDialogResult::Cancelled;
    std::string chosen = *answer;
    const size_t slash = chosen.find_last_of("\\/");
    const std::string name = slash == std::string::npos ? chosen : chosen.substr(slash + 1);
    // A bare name is chosen in the initial directory, as a dialog shows it.
    if (slash == std::string::npos && !request.initialDirectory.empty()) chosen = request.initialDirectory + "/" + chosen;
    if (name.find('.') == std::string::npos && !request.defaultExtension.empty()) chosen += "." + request.defaultExtension;
    if ((request.flags & kFileDialogFileMustExist) && !Plat_FileExists(Plat_ProfilePath(chosen)))
        return FileDialogResult::Cancelled;
    if (path) *path = chosen;
    return FileDialogResult::Chosen;
}

void Plat_SetFileDialogAnswer(std::optional<std::string> answer) {
    g_answerSet = true;
    g_answer = std::move(answer);
}

void Plat_ResetFileDialog() {
    g_answerSet = false;
    g_answer.reset();
    g_last.reset();
}

bool Plat_LastFileDialog(FileDialogRequest* out) {
    if (!g_last) return false;
    if (out) *out = *g_last;
    return true;
}
