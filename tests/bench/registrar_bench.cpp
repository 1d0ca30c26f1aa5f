// Vintrel's slot search, and the script registrar's: every slot from 0 to 1000 holds a path except
// the one the run is to find, so the number of occupied slots in front of it is the only thing
// that changes.
#include <string>
#include <utility>
#include <vector>

#include "bench.h"
#include "harness.h"

namespace bench {
namespace {

const std::wstring kTrustedLocations =
    L"Software\\Microsoft\\Office\\12.0\\Access\\Security\\Trusted Locations";
constexpr int kLastSlot = 1000;
constexpr int kMostOccupied = 1000;
constexpr int kOccupiedCases[] = {0, 10, 100, kMostOccupied};

std::wstring LocationKey(int slot) {
    return kTrustedLocations + L"\\Location" + std::to_wstring(slot);
}

bool OccupyAllSlots() {
    harness::DeleteTree(HKEY_CURRENT_USER, kTrustedLocations);
    for (int slot = 0; slot <= kLastSlot; ++slot) {
        const std::wstring path = L"C:\\Occupied\\" + std::to_wstring(slot) + L"\\";
        if (!harness::WriteValue(HKEY_CURRENT_USER, LocationKey(slot), L"Path", REG_SZ,
                                 harness::StringBytes(path))) {
            return false;
        }
    }
    return true;
}

// The run must have registered its folder in the freed slot, or it searched something else.
bool RegisteredIn(int slot, const std::wstring& folder) {
    const auto path = harness::ReadValue(HKEY_CURRENT_USER, LocationKey(slot), L"Path");
    return path && harness::TextOf(path->data) == folder + L"\\";
}

// The registry calls Vintrel makes for each occupied slot, made by this process for the first
// slots: what Wine's registry costs without a process start or any of Vintrel's own work.
double TimeRegistryCalls(int slots) {
    const double start = NowMs();
    for (int slot = 0; slot < slots; ++slot) {
        HKEY key = nullptr;
        RegOpenKeyW(HKEY_CURRENT_USER, (LocationKey(slot) + L"\\").c_str(), &key);
        DWORD type = 0;
        DWORD size = 0;
        RegQueryValueExW(key, L"Path", nullptr, &type, nullptr, &size);
        std::vector<BYTE> data(size);
        RegQueryValueExW(key, L"Path", nullptr, &type, data.data(), &size);
        RegCloseKey(key);
    }
    return NowMs() - start;
}

}  // namespace

bool MeasureRegistrar(int runs) {
    const std::wstring folder = harness::MakeTestFolder(L"registrar");
    const std::wstring vintrel = harness::CopyProgram(L"Vintrel.exe", folder);
    const std::wstring minimal =
        harness::CopyProgram(L"tests\\minimal_program.exe", folder, L"minimal_program.exe");
    if (vintrel.empty() || minimal.empty() || !OccupyAllSlots()) {
        Complain("cannot prepare the registrar's folder and slots");
        return false;
    }
    const Command script = ScriptPeer(L"registrar.vbs", harness::Quoted(folder));
    bool ok = true;
    // Round 0 is not counted: it brings the programs into the file cache.
    for (int round = 0; round <= runs && ok; ++round) {
        const Timed baseline = TimeToExit({minimal});
        ok = baseline.ended;
        if (round > 0)
            PrintSample("registrar", "minimal", baseline.milliseconds, round);
        for (const int occupied : kOccupiedCases) {
            for (const auto& [name, program] : {std::pair{"slots=", Command{vintrel, L"/s"}},
                                                std::pair{"script-slots=", script}}) {
                // The run's own registration occupies the slot again for the next case.
                harness::DeleteTree(HKEY_CURRENT_USER, LocationKey(occupied));
                const Timed run = TimeToExit(program);
                const std::string caseName = name + std::to_string(occupied);
                if (!run.ended || !RegisteredIn(occupied, folder)) {
                    Complain(caseName + ": the folder was not registered in that slot");
                    ok = false;
                }
                if (round > 0)
                    PrintSample("registrar", caseName, run.milliseconds, round);
            }
        }
        const double calls = TimeRegistryCalls(kMostOccupied);
        if (round > 0)
            PrintSample("registrar", "registry-calls", calls, round);
    }
    harness::DeleteTree(HKEY_CURRENT_USER, kTrustedLocations);
    return ok;
}

}  // namespace bench
