// How Vintrel reads a "Path" that is already stored, through its registry helpers and the real
// registry: what it takes for empty decides whether the slot is taken over.
#include "vintrel_fixture.h"

namespace vintrel {
namespace {

using harness::BoxIcon;

struct StoredPath {
    const char* name;
    DWORD type;
    std::vector<std::uint8_t> data;
    bool occupied;
};

void PrintTo(const StoredPath& stored, std::ostream* out) {
    *out << stored.name;
}

std::vector<std::uint8_t> Bytes(size_t count, std::uint8_t value) {
    return std::vector<std::uint8_t>(count, value);
}

const StoredPath kStoredPaths[] = {
    {"Text", REG_SZ, harness::StringBytes(L"D:\\Daten\\"), true},
    {"TextOfOnlyItsNul", REG_SZ, harness::StringBytes(L""), false},
    {"ExpandableTextIsReadUnexpanded", REG_EXPAND_SZ, harness::StringBytes(L"%TEMP%\\x"), true},
    {"BinaryOfFourBytes", REG_BINARY, {0x41, 0x00, 0x42, 0x43}, true},
    {"BinaryOfOneZeroByteIsANulCharacter", REG_BINARY, {0x00}, true},
    {"BinaryOfNoBytes", REG_BINARY, {}, false},
    {"BinaryOf255Bytes", REG_BINARY, Bytes(255, 'x'), true},
    {"BinaryLongerThan255Bytes", REG_BINARY, Bytes(4000, 'y'), true},
    {"Number", REG_DWORD, harness::DwordBytes(1), false},
    {"ListOfTexts", REG_MULTI_SZ, {'a', 0, 0, 0, 0, 0}, false},
};

class StoredValues : public VintrelTest, public ::testing::WithParamInterface<StoredPath> {};

TEST_P(StoredValues, DecideWhetherTheSlotIsTaken) {
    const StoredPath& stored = GetParam();
    SeedPath(0, stored.type, stored.data);

    const auto result = RunVintrel(L"");

    ExpectOnlyBox(result, SuccessGerman(folder_ + L"\\"), BoxIcon::Information);
    if (stored.occupied) {
        const auto kept = harness::ReadValue(HKEY_CURRENT_USER, LocationKey(0), L"Path");
        ASSERT_TRUE(kept);
        EXPECT_EQ(kept->type, stored.type);
        EXPECT_EQ(kept->data, stored.data);
        ExpectRegistered(1, folder_ + L"\\", true);
    } else {
        ExpectRegistered(0, folder_ + L"\\", true);
        EXPECT_FALSE(harness::KeyExists(HKEY_CURRENT_USER, LocationKey(1)));
    }
}

INSTANTIATE_TEST_SUITE_P(Path, StoredValues, ::testing::ValuesIn(kStoredPaths),
                         [](const auto& info) { return std::string(info.param.name); });

class ReadErrors : public VintrelTest {};

const std::wstring kInvalidArgument = L"Ungültiger Prozeduraufruf oder ungültiges Argument";

// A REG_SZ of zero bytes holds no NUL to cut at: the reader shows its error box, the slot then
// counts as free and is taken.
TEST_F(ReadErrors, AZeroByteTextShowsTheReadersErrorBoxAndTheSlotIsTaken) {
    SeedPath(0, REG_SZ, {});

    const auto result = RunVintrel(L"/langen", 3);

    ASSERT_EQ(result.boxes.size(), 2u);
    ExpectBox(result.boxes[0], L"Fehler in \"fnc_Reg_String_Lesen\"",
              HelperErrorText(L"fnc_Reg_String_Lesen", 5, kInvalidArgument), BoxIcon::Error);
    ExpectBox(result.boxes[1], L"Vintrel", SuccessEnglish(folder_ + L"\\"), BoxIcon::Information);
    ExpectRegistered(0, folder_ + L"\\", true);
}

TEST_F(ReadErrors, TheErrorBoxIsShownAlsoWhenSilent) {
    SeedOccupied(0, 1);
    SeedPath(2, REG_SZ, {});

    const auto result = RunVintrel(L"/s", 3);

    ASSERT_EQ(result.boxes.size(), 1u);
    ExpectBox(result.boxes[0], L"Fehler in \"fnc_Reg_String_Lesen\"",
              HelperErrorText(L"fnc_Reg_String_Lesen", 5, kInvalidArgument), BoxIcon::Error);
    ExpectRegistered(2, folder_ + L"\\", true);
}

// Careless tools store a text without its NUL, and Access reads it. The reader cannot cut it and
// shows its error box, but the slot may hold another program's folder: it is left as it is.
TEST_F(ReadErrors, ATextWithoutItsNulKeepsItsSlot) {
    const auto stored = harness::StringBytes(L"C:\\Other Program\\", false);
    SeedPath(0, REG_SZ, stored);

    const auto result = RunVintrel(L"/s", 3);

    ASSERT_EQ(result.boxes.size(), 1u);
    ExpectBox(result.boxes[0], L"Fehler in \"fnc_Reg_String_Lesen\"",
              HelperErrorText(L"fnc_Reg_String_Lesen", 5, kInvalidArgument), BoxIcon::Error);
    EXPECT_EQ(harness::ReadValue(HKEY_CURRENT_USER, LocationKey(0), L"Path")->data, stored);
    ExpectRegistered(1, folder_ + L"\\", true);
}

}  // namespace
}  // namespace vintrel
