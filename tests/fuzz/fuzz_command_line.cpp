// Any command line, however long or odd (lone quotes, control characters, unpaired surrogates),
// goes through the whole of Main without a crash, and what it stores holds for every input: a
// folder without quotes, with a trailing backslash, never a whole drive, and the program's own
// folder when the command line names no other.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cwctype>

#include "basMain.h"
#include "registrar/registrar_world.h"

namespace {

void Check(bool holds) {
    if (!holds)
        std::abort();
}

bool Mentions(std::wstring text, const std::wstring& lowerWord) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    return text.find(lowerWord) != std::wstring::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The input is read as UTF-16 code units, as Windows hands the command line over: up to its
    // first NUL, which ends it.
    std::wstring commandLine;
    for (std::size_t i = 0; i + 1 < size && (data[i] | data[i + 1]) != 0; i += 2)
        commandLine += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    doubles::ResetWorld();
    doubles::World().commandLineArgs = commandLine;

    const int exitCode = basMain::Main();
    Check(exitCode >= basMain::kRegistered && exitCode <= basMain::kIgnoredByPolicy);

    int stored = 0;
    for (const auto& [key, values] : doubles::World().keys) {
        const auto path = values.find(L"Path");
        if (path == values.end())
            continue;
        ++stored;
        const std::wstring folder = doubles::TextOf(path->second);
        Check(folder.find(L'"') == std::wstring::npos);
        Check(!folder.empty() && folder.back() == L'\\');
        Check(folder.size() != 3);
        if (!Mentions(commandLine, L"path"))
            Check(folder == doubles::World().appPath + L"\\");
    }
    // Success stores the folder, unless the command line may have asked for the usage box.
    if (exitCode == basMain::kRegistered && !Mentions(commandLine, L"?") &&
        !Mentions(commandLine, L"help"))
        Check(stored > 0);
    return 0;
}
