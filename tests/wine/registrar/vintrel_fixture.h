// Shared set-up of the Vintrel end-to-end tests: a clean set of trusted locations in the prefix's
// HKEY_CURRENT_USER, a fresh folder with a copy of Vintrel.exe, and checks of a registered slot.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.h"

namespace vintrel {

inline std::wstring TrustedLocationsOf(const std::wstring& version) {
    return L"Software\\Microsoft\\Office\\" + version + L"\\Access\\Security\\Trusted Locations";
}
inline const std::wstring kTrustedLocations = TrustedLocationsOf(L"12.0");

inline std::wstring LocationKey(int slot, const std::wstring& version = L"12.0") {
    return TrustedLocationsOf(version) + L"\\Location" + std::to_wstring(slot);
}

inline const std::wstring kRefusalGerman =
    L"Es ist nicht möglich einen vertrauenswürdigen Speicherort auf ein Laufwerk direkt anzulegen.";
inline const std::wstring kRefusalEnglish = L"A root folder cannot add to the trusted locations.";

inline std::wstring SuccessGerman(const std::wstring& folder) {
    return L"\"" + folder + L"\" wurde zu den Vertrauenswürdigen Speicherorten hinzugefügt.";
}
inline std::wstring SuccessEnglish(const std::wstring& folder) {
    return L"\"" + folder + L"\" added to the trusted locations.";
}

// The error box of the registry helpers.
inline std::wstring HelperErrorText(const std::wstring& function, int number,
                                    const std::wstring& description) {
    return L"Es ist ein Fehler aufgetreten.\r\n\r\nIn Function:\t" + function +
           L"\r\nFehlernummer:\t" + std::to_wstring(number) + L"\r\nBeschreibung:\t" + description;
}

class VintrelTest : public ::testing::Test {
  protected:
    void SetUp() override;

    // Runs this test's copy of Vintrel.exe, answering every box with OK, and checks its exit code.
    harness::RunResult RunVintrel(const std::wstring& arguments, DWORD expectedExitCode = 0);

    // Seeds slot n with a "Path" value of the given type and bytes.
    void SeedPath(int slot, DWORD type, const std::vector<std::uint8_t>& data);
    void SeedOccupied(int firstSlot, int lastSlot);

    // The folder of this test (holding Vintrel.exe), without a trailing backslash.
    std::wstring folder_;
    std::wstring program_;
};

// Checks the values of a slot that a run has written.
void ExpectRegistered(int slot, const std::wstring& path, bool allowSubfolders,
                      const std::wstring& programName = L"Vintrel",
                      const std::wstring& version = L"12.0");
void ExpectBox(const harness::MessageBoxInfo& box, const std::wstring& title,
               const std::wstring& text, harness::BoxIcon icon);
// The run showed one box only: Vintrel's, with this text and icon.
void ExpectOnlyBox(const harness::RunResult& result, const std::wstring& text,
                   harness::BoxIcon icon);
// The value names of a slot's key, sorted.
std::vector<std::wstring> SlotValueNames(int slot);

}  // namespace vintrel
