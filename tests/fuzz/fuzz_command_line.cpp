// Any command line, however long or odd (lone quotes, control characters, unpaired surrogates),
// goes through the splitter, the switch table, the folder normalisation and the whole of Main
// without a crash, and the results stay consistent with each other.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "basMain.h"
#include "registrar/registrar_world.h"

namespace {

void Check(bool holds) {
    if (!holds)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The input is read as UTF-16 code units, as Windows hands the command line over.
    std::wstring commandLine;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        commandLine += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    }
    doubles::ResetWorld();
    doubles::World().commandLineArgs = commandLine;

    std::vector<std::wstring> aSchalter;
    const std::int32_t lAnzahl = basMain::fnc_Kommandozeile_Zerlegen(aSchalter, L"/");
    Check(lAnzahl >= 0);
    if (lAnzahl > 0) {
        Check(aSchalter.size() == static_cast<std::size_t>(lAnzahl));
    } else {
        Check(aSchalter.size() <= 1);
    }
    std::int32_t lUnterordner = 1;
    std::wstring sPfad = doubles::World().appPath;
    for (const auto& sSchalter : aSchalter) {
        Check(sSchalter.find(L'/') == std::wstring::npos);
        Check(sSchalter.empty() || (sSchalter.front() != L' ' && sSchalter.back() != L' '));
        if (lAnzahl > 0)
            basMain::ApplySwitch(sSchalter, lUnterordner, sPfad);
    }
    basMain::AppendBackslash(sPfad);
    Check(!sPfad.empty() && sPfad.back() == L'\\');

    const int exitCode = basMain::Main();
    const std::wstring slot0 =
        L"Software\\Microsoft\\Office\\12.0\\Access\\Security\\Trusted Locations\\Location0";
    const auto path = doubles::GetValue(slot0, L"Path");
    if (basMain::showUsage || sPfad.size() == 3 || exitCode == basMain::kRefused) {
        Check(!path && doubles::World().boxes.size() == 1);
        Check(exitCode == (basMain::showUsage ? basMain::kRegistered : basMain::kRefused));
    } else if (!basMain::officeVersionsNamed.empty()) {
        Check(exitCode == basMain::kRegistered);
    } else {
        Check(path && path->data == doubles::Utf16(sPfad));
        Check(doubles::GetValue(slot0, L"AllowSubfolders").has_value() == (lUnterordner == 1));
        Check(doubles::World().boxes.size() == (basMain::bMeldung ? 1u : 0u));
    }
    return 0;
}
