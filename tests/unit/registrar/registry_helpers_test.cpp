// basRegistry against the in-memory registry: what each helper reads and writes, the calls it
// makes, and the error box it shows instead of passing an error on.
#include <cstring>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "basRegistry.h"
#include "registrar/registrar_world.h"

namespace {

using doubles::World;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::uint32_t kRoot = platform::kHkeyCurrentUser;
const std::wstring kKey = L"Software\\Orvantis\\Test\\";

std::wstring Read(const std::wstring& name) {
    return basRegistry::fnc_Reg_String_Lesen(kRoot, kKey, name);
}

std::wstring ErrorText(const std::wstring& function, int number, const std::wstring& description) {
    return L"Es ist ein Fehler aufgetreten.\r\n\r\nIn Function:\t" + function +
           L"\r\nFehlernummer:\t" + std::to_wstring(number) + L"\r\nBeschreibung:\t" + description;
}

class RegistryHelpers : public ::testing::Test {
  protected:
    static void ExpectOneErrorBox(const std::wstring& helper, int number,
                                  const std::wstring& description) {
        ASSERT_EQ(World().boxes.size(), 1u);
        EXPECT_EQ(World().boxes[0].title, L"Fehler in \"" + helper + L"\"");
        EXPECT_EQ(World().boxes[0].text, ErrorText(helper, number, description));
        EXPECT_EQ(World().boxes[0].style, platform::kMbIconError);
    }
    void TearDown() override { EXPECT_THAT(World().openKeys, IsEmpty()) << "a key was left open"; }
};

class Reading : public RegistryHelpers {};

TEST_F(Reading, ATextComesBackWithoutItsNul) {
    doubles::SetString(kKey, L"Path", L"D:\\Daten\\");

    EXPECT_EQ(Read(L"Path"), L"D:\\Daten\\");
    EXPECT_THAT(World().journal, ElementsAre(L"RegOpenKeyW " + kKey, L"RegQueryValueExW Path size",
                                             L"RegQueryValueExW Path into 20", L"RegCloseKey"));
    EXPECT_THAT(World().boxes, IsEmpty());
}

TEST_F(Reading, ValueNamesMatchInAnyCase) {
    doubles::SetString(kKey, L"Path", L"x");

    EXPECT_EQ(Read(L"PATH"), L"x");
}

TEST_F(Reading, ATextOfOnlyItsNulIsEmpty) {
    doubles::SetString(kKey, L"Path", L"");

    EXPECT_EQ(Read(L"Path"), L"");
    EXPECT_THAT(World().boxes, IsEmpty());
}

TEST_F(Reading, ATextEndsAtItsFirstNul) {
    doubles::SetValue(kKey, L"Path", platform::kRegSz, doubles::Utf16(std::wstring(L"ab\0cd", 5)));

    EXPECT_EQ(Read(L"Path"), L"ab");
}

TEST_F(Reading, AnExpandableTextIsNotExpanded) {
    doubles::SetValue(kKey, L"Path", platform::kRegExpandSz, doubles::Utf16(L"%TEMP%\\x"));

    EXPECT_EQ(Read(L"Path"), L"%TEMP%\\x");
}

TEST_F(Reading, ATextOutsideTheCodePageComesBackExactly) {
    doubles::SetString(kKey, L"Path", L"D:\\Καλημέρα\\日本\\");

    EXPECT_EQ(Read(L"Path"), L"D:\\Καλημέρα\\日本\\");
}

TEST_F(Reading, BinaryBytesBecomeOneCharacterEachThroughTheCodePage) {
    doubles::SetValue(kKey, L"Path", platform::kRegBinary, {0x41, 0x00, 0x42, 0x43});
    doubles::SetValue(kKey, L"Euro", platform::kRegBinary, {0x80, 0xE4});

    EXPECT_EQ(Read(L"Path"), std::wstring(L"A\0BC", 4));
    EXPECT_EQ(Read(L"Euro"), L"€ä");
    EXPECT_THAT(World().journal, ::testing::Contains(L"RegQueryValueExW Path into 255"));
}

TEST_F(Reading, BinaryOfNoBytesIsEmpty) {
    doubles::SetValue(kKey, L"Path", platform::kRegBinary, {});

    EXPECT_EQ(Read(L"Path"), L"");
}

TEST_F(Reading, ALongBinaryValueGivesItsFirst255BytesAndIsNeverReadPastTheBuffer) {
    std::vector<std::uint8_t> bytes(4000, 'y');
    bytes[0] = 'a';
    bytes[254] = 'z';
    doubles::SetValue(kKey, L"Path", platform::kRegBinary, bytes);

    const std::wstring text = Read(L"Path");

    ASSERT_EQ(text.size(), 255u);
    EXPECT_EQ(text.front(), L'a');
    EXPECT_EQ(text.back(), L'z');
    EXPECT_THAT(World().boxes, IsEmpty());
}

TEST_F(Reading, ANumberOrAnyOtherTypeReadsAsEmptyAfterOneQuery) {
    doubles::SetValue(kKey, L"Number", platform::kRegDword, doubles::DwordBytes(1));
    doubles::SetValue(kKey, L"List", 7, doubles::Utf16(L"a"));

    EXPECT_EQ(Read(L"Number"), L"");
    EXPECT_EQ(Read(L"List"), L"");
    EXPECT_THAT(World().journal,
                ElementsAre(L"RegOpenKeyW " + kKey, L"RegQueryValueExW Number size", L"RegCloseKey",
                            L"RegOpenKeyW " + kKey, L"RegQueryValueExW List size", L"RegCloseKey"));
}

TEST_F(Reading, AMissingKeyIsEmptyAndNotCreated) {
    EXPECT_EQ(Read(L"Path"), L"");

    EXPECT_FALSE(doubles::KeyExists(kKey));
    EXPECT_THAT(World().journal,
                ElementsAre(L"RegOpenKeyW " + kKey, L"RegQueryValueExW Path size", L"RegCloseKey"));
    EXPECT_THAT(World().boxes, IsEmpty());
}

TEST_F(Reading, AMissingValueIsEmpty) {
    doubles::SetString(kKey, L"Other", L"x");

    EXPECT_EQ(Read(L"Path"), L"");
}

TEST_F(Reading, AFailingSecondQueryGivesEmpty) {
    doubles::SetString(kKey, L"Path", L"x");
    World().failingQuery = 2;

    EXPECT_EQ(Read(L"Path"), L"");
    EXPECT_THAT(World().boxes, IsEmpty());
}

TEST_F(Reading, AZeroByteTextShowsError5AndGivesEmpty) {
    doubles::SetValue(kKey, L"Path", platform::kRegSz, {});

    EXPECT_EQ(Read(L"Path"), L"");
    ExpectOneErrorBox(L"fnc_Reg_String_Lesen", 5,
                      L"Ungültiger Prozeduraufruf oder ungültiges Argument");
}

TEST_F(Reading, ATextWithoutAnyNulShowsError5) {
    doubles::SetValue(kKey, L"Path", platform::kRegSz, doubles::Utf16(L"abc", false));

    EXPECT_EQ(Read(L"Path"), L"");
    ASSERT_EQ(World().boxes.size(), 1u);
    EXPECT_EQ(World().boxes[0].title, L"Fehler in \"fnc_Reg_String_Lesen\"");
}

class Writing : public RegistryHelpers {};

TEST_F(Writing, ANumberIsStoredAsItsFourLittleEndianBytesInNewKeys) {
    basRegistry::fnc_Reg_Num_Schreiben(kRoot, kKey, L"AllowSubfolders", 1);
    basRegistry::fnc_Reg_Num_Schreiben(kRoot, kKey, L"Negative", -2);

    EXPECT_EQ(doubles::GetValue(kKey, L"AllowSubfolders"),
              (doubles::StoredValue{platform::kRegDword, {0x01, 0x00, 0x00, 0x00}}));
    EXPECT_EQ(doubles::GetValue(kKey, L"Negative")->data,
              (std::vector<std::uint8_t>{0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_TRUE(doubles::KeyExists(L"Software\\Orvantis"));
    EXPECT_THAT(std::vector<std::wstring>(World().journal.begin(), World().journal.begin() + 3),
                ElementsAre(L"RegCreateKeyW " + kKey,
                            L"RegSetValueExW AllowSubfolders type 4 size 4", L"RegCloseKey"));
}

TEST_F(Writing, ATextIsStoredWithItsNul) {
    basRegistry::fnc_Reg_String_Schreiben(kRoot, kKey, L"Path", L"abc");
    basRegistry::fnc_Reg_String_Schreiben(kRoot, kKey, L"Empty", L"");

    EXPECT_EQ(doubles::GetValue(kKey, L"Path"),
              (doubles::StoredValue{platform::kRegSz, {'a', 0, 'b', 0, 'c', 0, 0, 0}}));
    EXPECT_EQ(doubles::GetValue(kKey, L"Empty"), (doubles::StoredValue{platform::kRegSz, {0, 0}}));
    EXPECT_THAT(std::vector<std::wstring>(World().journal.begin(), World().journal.begin() + 3),
                ElementsAre(L"RegCreateKeyW " + kKey, L"RegSetValueExW Path type 1 size 8",
                            L"RegCloseKey"));
}

TEST_F(Writing, ATextOutsideTheCodePageIsStoredExactlyAndTheCallersTextStays) {
    const std::wstring text = L"D:\\Данные\\";

    basRegistry::fnc_Reg_String_Schreiben(kRoot, kKey, L"Path", text);

    EXPECT_EQ(doubles::GetValue(kKey, L"Path")->data, doubles::Utf16(L"D:\\Данные\\"));
    EXPECT_EQ(text, L"D:\\Данные\\");
}

TEST_F(Writing, ARootOfZeroOrAForbiddenKeyWritesNothingAndShowsNothing) {
    World().deniedKeys.push_back(L"Software\\Locked");

    basRegistry::fnc_Reg_String_Schreiben(0, kKey, L"Path", L"x");
    basRegistry::fnc_Reg_Num_Schreiben(0, kKey, L"Number", 1);
    basRegistry::fnc_Reg_String_Schreiben(kRoot, L"Software\\Locked\\Below\\", L"Path", L"x");

    EXPECT_FALSE(doubles::KeyExists(kKey));
    EXPECT_FALSE(doubles::KeyExists(L"Software\\Locked\\Below"));
    EXPECT_THAT(World().boxes, IsEmpty());
}

struct Unbound {
    const char* function;
    const char* helper;
};

void PrintTo(const Unbound& unbound, std::ostream* out) {
    *out << unbound.helper << " without " << unbound.function;
}

class RegistryFault : public RegistryHelpers, public ::testing::WithParamInterface<Unbound> {
  protected:
    void CallHelper() {
        const std::string helper = GetParam().helper;
        if (helper == "fnc_Reg_String_Lesen") {
            doubles::SetString(kKey, L"Path", L"D:\\x\\");
            EXPECT_EQ(Read(L"Path"), L"");
        } else if (helper == "fnc_Reg_Num_Schreiben") {
            basRegistry::fnc_Reg_Num_Schreiben(kRoot, kKey, L"Number", 1);
            EXPECT_FALSE(doubles::GetValue(kKey, L"Number"));
        } else {
            basRegistry::fnc_Reg_String_Schreiben(kRoot, kKey, L"Text", L"x");
            EXPECT_FALSE(doubles::GetValue(kKey, L"Text"));
        }
    }

    void ExpectOneErrorBox(int number, const std::wstring& description) {
        RegistryHelpers::ExpectOneErrorBox(Wide(GetParam().helper), number, description);
    }
    static std::wstring Wide(const char* text) {
        return std::wstring(text, text + std::strlen(text));
    }
};

// A registry function that cannot be bound by name is a run-time error of the helper: one error
// box, the helper returns normally, and nothing is passed on.
TEST_P(RegistryFault, ShowsTheHelpersErrorBoxAndReturns) {
    World().unbindable.insert(GetParam().function);
    CallHelper();
    ExpectOneErrorBox(453, L"DLL-Einsprungpunkt " + Wide(GetParam().function) +
                               L" in advapi32.dll nicht gefunden");
}

// Running out of memory is reported the same way, by every helper.
TEST_P(RegistryFault, OutOfMemoryShowsTheHelpersErrorBoxAndReturns) {
    World().outOfMemory.insert(GetParam().function);
    CallHelper();
    ExpectOneErrorBox(7, L"Nicht genügend Speicher");
}

INSTANTIATE_TEST_SUITE_P(Functions, RegistryFault,
                         ::testing::Values(Unbound{"RegOpenKeyW", "fnc_Reg_String_Lesen"},
                                           Unbound{"RegQueryValueExW", "fnc_Reg_String_Lesen"},
                                           Unbound{"RegCloseKey", "fnc_Reg_String_Lesen"},
                                           Unbound{"RegCreateKeyW", "fnc_Reg_Num_Schreiben"},
                                           Unbound{"RegSetValueExW", "fnc_Reg_Num_Schreiben"},
                                           Unbound{"RegCloseKey", "fnc_Reg_Num_Schreiben"},
                                           Unbound{"RegCreateKeyW", "fnc_Reg_String_Schreiben"},
                                           Unbound{"RegSetValueExW", "fnc_Reg_String_Schreiben"},
                                           Unbound{"RegCloseKey", "fnc_Reg_String_Schreiben"}));

}  // namespace
