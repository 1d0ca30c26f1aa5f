// Which slot a run takes: the first whose "Path" reads empty, never an occupied one, and never the
// same one as a registrar started at the same moment.
#include <algorithm>
#include <set>

#include "vintrel_fixture.h"

namespace vintrel {
namespace {

using harness::BoxIcon;

class Slots : public VintrelTest {};

TEST_F(Slots, AGapBetweenOccupiedSlotsIsFilled) {
    SeedOccupied(0, 0);
    SeedOccupied(2, 2);

    RunVintrel(L"/s");

    ExpectRegistered(1, folder_ + L"\\", true);
    EXPECT_EQ(harness::SubKeyNames(HKEY_CURRENT_USER, kTrustedLocations),
              (std::vector<std::wstring>{L"Location0", L"Location1", L"Location2"}));
    EXPECT_EQ(harness::TextOf(harness::ReadValue(HKEY_CURRENT_USER, LocationKey(2), L"Path")->data),
              L"C:\\Occupied\\2\\");
}

TEST_F(Slots, ASlotWithAnEmptyPathIsReusedAndItsOtherValuesOverwrittenOrKept) {
    SeedOccupied(0, 2);
    const auto key = LocationKey(3);
    ASSERT_TRUE(
        harness::WriteValue(HKEY_CURRENT_USER, key, L"Path", REG_SZ, harness::StringBytes(L"")));
    ASSERT_TRUE(harness::WriteValue(HKEY_CURRENT_USER, key, L"Date", REG_SZ,
                                    harness::StringBytes(L"01.01.2000 00:00")));
    ASSERT_TRUE(harness::WriteValue(HKEY_CURRENT_USER, key, L"Description", REG_SZ,
                                    harness::StringBytes(L"old")));
    ASSERT_TRUE(harness::WriteValue(HKEY_CURRENT_USER, key, L"AllowSubfolders", REG_DWORD,
                                    harness::DwordBytes(7)));

    RunVintrel(L"/s /nosubfolder");

    EXPECT_EQ(harness::TextOf(harness::ReadValue(HKEY_CURRENT_USER, key, L"Path")->data),
              folder_ + L"\\");
    EXPECT_EQ(harness::TextOf(harness::ReadValue(HKEY_CURRENT_USER, key, L"Description")->data),
              L"Set by Vintrel");
    EXPECT_NE(harness::TextOf(harness::ReadValue(HKEY_CURRENT_USER, key, L"Date")->data),
              L"01.01.2000 00:00");
    EXPECT_EQ(harness::ReadValue(HKEY_CURRENT_USER, key, L"AllowSubfolders")->data,
              harness::DwordBytes(7));
    EXPECT_FALSE(harness::KeyExists(HKEY_CURRENT_USER, LocationKey(4)));
}

TEST_F(Slots, TheDateIsTheLocalTimeOfTheRun) {
    SYSTEMTIME before;
    GetLocalTime(&before);
    RunVintrel(L"/s");
    SYSTEMTIME after;
    GetLocalTime(&after);

    const auto date = harness::ReadValue(HKEY_CURRENT_USER, LocationKey(0), L"Date");
    ASSERT_TRUE(date);
    auto format = [](const SYSTEMTIME& t) {
        wchar_t text[32];
        swprintf(text, 32, L"%02u.%02u.%04u %02u:%02u", t.wDay, t.wMonth, t.wYear, t.wHour,
                 t.wMinute);
        return std::wstring(text);
    };
    const std::wstring written = harness::TextOf(date->data);
    EXPECT_TRUE(written == format(before) || written == format(after))
        << harness::Narrow(written) << " is not " << harness::Narrow(format(before));
    EXPECT_EQ(date->data.size(), (16u + 1) * 2) << "dd.mm.yyyy hh:mm and its NUL";
}

// The user's time separator replaces the colon of the "Date" pattern.
TEST_F(Slots, TheDateUsesTheUsersTimeSeparator) {
    wchar_t separator[8] = {};
    wchar_t timeFormat[80] = {};
    ASSERT_GT(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIME, separator, 8), 0);
    ASSERT_GT(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, timeFormat, 80), 0);
    ASSERT_TRUE(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIME, L"."));

    RunVintrel(L"/s");

    SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIME, separator);
    SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, timeFormat);
    const auto date = harness::ReadValue(HKEY_CURRENT_USER, LocationKey(0), L"Date");
    ASSERT_TRUE(date);
    const std::wstring written = harness::TextOf(date->data);
    ASSERT_EQ(written.size(), 16u) << harness::Narrow(written);
    EXPECT_EQ(written[13], L'.') << harness::Narrow(written);
}

class AllSlotsTaken : public VintrelTest {
  protected:
    void SetUp() override {
        VintrelTest::SetUp();
        SeedOccupied(0, 1000);
    }
    void ExpectNothingChanged() {
        EXPECT_EQ(harness::SubKeyNames(HKEY_CURRENT_USER, kTrustedLocations).size(), 1001u);
        for (int slot : {0, 500, 1000}) {
            EXPECT_EQ(SlotValueNames(slot), std::vector<std::wstring>{L"Path"});
        }
    }
};

TEST_F(AllSlotsTaken, NothingIsWrittenAndAGermanErrorBoxIsShown) {
    const auto result = RunVintrel(L"", 2);

    ExpectOnlyBox(result,
                  L"Alle vertrauenswürdigen Speicherorte sind belegt. Der Ordner wurde nicht "
                  L"eingetragen.",
                  BoxIcon::Error);
    ExpectNothingChanged();
}

TEST_F(AllSlotsTaken, TheErrorBoxIsShownInEnglishAlsoWhenSilent) {
    const auto result = RunVintrel(L"/s /langen", 2);

    ExpectOnlyBox(result, L"All trusted locations are taken. The folder was not added.",
                  BoxIcon::Error);
    ExpectNothingChanged();
}

TEST_F(AllSlotsTaken, TheLastSlotIsStillUsedWhenFree) {
    ASSERT_TRUE(harness::DeleteTree(HKEY_CURRENT_USER, LocationKey(1000)));

    RunVintrel(L"/s");

    ExpectRegistered(1000, folder_ + L"\\", true);
    EXPECT_FALSE(harness::KeyExists(HKEY_CURRENT_USER, LocationKey(1001)));
}

// Registrars started together each land in a slot of their own. They are let go at the same moment,
// and occupied slots in front make each search long, so unserialised searches overlap and pick the
// same slot in most rounds; three rounds make that all but certain.
TEST_F(Slots, RegistrarsStartedTogetherTakeOneSlotEach) {
    constexpr int kOccupied = 990;
    constexpr int kRegistrars = 10;
    for (int round = 1; round <= 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_TRUE(harness::DeleteTree(HKEY_CURRENT_USER, kTrustedLocations));
        SeedOccupied(0, kOccupied - 1);

        std::vector<harness::Process> registrars;
        std::set<std::wstring> folders;
        for (int n = 0; n < kRegistrars; ++n) {
            const std::wstring folder = L"D:\\Race\\" + std::to_wstring(n) + L"\\";
            folders.insert(folder);
            registrars.push_back(harness::StartSuspended(program_, L"/s /path " + folder));
        }
        for (auto& registrar : registrars)
            registrar.Resume();
        for (auto& registrar : registrars)
            EXPECT_EQ(registrar.WaitForExit(), 0u);

        std::set<std::wstring> registered;
        for (int slot = kOccupied; slot < kOccupied + kRegistrars; ++slot) {
            const auto path = harness::ReadValue(HKEY_CURRENT_USER, LocationKey(slot), L"Path");
            ASSERT_TRUE(path) << "Location" << slot << " was not written";
            registered.insert(harness::TextOf(path->data));
        }
        ASSERT_EQ(registered, folders);
        EXPECT_FALSE(harness::KeyExists(HKEY_CURRENT_USER, LocationKey(kOccupied + kRegistrars)));
    }
}

}  // namespace
}  // namespace vintrel
