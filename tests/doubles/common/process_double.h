// What every program learns about its own process, as the native tests set it, and the message
// boxes it shows, recorded instead of shown. Each program's doubles add the facts only it asks for
// and keep the one process of the test.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace doubles {

struct ShownBox {
    std::wstring text;
    std::uint32_t style;
    std::optional<std::wstring> title;  // nullopt: the application title is shown
    int locksHeld;                      // locks this process held while the box was up
};

struct ProcessFacts {
    std::vector<ShownBox> boxes;
    // What GetFullPathNameW gives for a path, where it is not the path itself.
    std::map<std::wstring, std::wstring> fullPaths;
};

// Kept by each program's doubles: the facts of the test's process, and its journal of boxes.
ProcessFacts& CurrentProcess();
void JournalBox(const ShownBox& box);
// The locks the process holds now: user locks in the registrar, lock files in the launchers.
int LocksHeldNow();

}  // namespace doubles
