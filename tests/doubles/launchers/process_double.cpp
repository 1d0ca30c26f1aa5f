#include "process_double.h"

#include <platform.h>

#include "files_double.h"
#include "journal.h"

namespace doubles {

LauncherProcess& Process() {
    static LauncherProcess process;
    return process;
}

void ResetProcess() {
    Process() = LauncherProcess();
}

ProcessFacts& CurrentProcess() {
    return Process();
}

void JournalBox(const ShownBox& box) {
    Record({L"MsgBox", L"", {box.text}});
}

int LocksHeldNow() {
    return LockFilesHeld();
}

}  // namespace doubles

namespace platform {

using doubles::Process;

std::wstring CommandLine() {
    return Process().commandLine;
}

std::uint16_t UserUiLanguage() {
    return Process().uiLanguage;
}

std::wstring LocalAppDataFolder() {
    return Process().localAppData;
}

}  // namespace platform
