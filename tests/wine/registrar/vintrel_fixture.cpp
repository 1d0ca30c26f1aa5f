#include "vintrel_fixture.h"

#include <algorithm>
#include <regex>

namespace vintrel {

void VintrelTest::SetUp() {
    ASSERT_TRUE(harness::DeleteTree(HKEY_CURRENT_USER, L"Software\\Microsoft\\Office"));
    folder_ = harness::MakeTestFolder(L"registrar\\" + harness::CurrentTestName());
    program_ = harness::CopyProgram(L"Vintrel.exe", folder_);
    ASSERT_FALSE(program_.empty());
}

harness::RunResult VintrelTest::RunVintrel(const std::wstring& arguments, DWORD expectedExitCode) {
    harness::RunResult result = harness::Run(program_, arguments);
    EXPECT_EQ(result.exitCode, expectedExitCode) << "Vintrel " << harness::Narrow(arguments);
    return result;
}

void VintrelTest::SeedPath(int slot, DWORD type, const std::vector<std::uint8_t>& data) {
    ASSERT_TRUE(harness::WriteValue(HKEY_CURRENT_USER, LocationKey(slot), L"Path", type, data));
}

void VintrelTest::SeedOccupied(int firstSlot, int lastSlot) {
    for (int slot = firstSlot; slot <= lastSlot; ++slot) {
        SeedPath(slot, REG_SZ,
                 harness::StringBytes(L"C:\\Occupied\\" + std::to_wstring(slot) + L"\\"));
    }
}

std::vector<std::wstring> SlotValueNames(int slot) {
    auto names = harness::ValueNames(HKEY_CURRENT_USER, LocationKey(slot));
    std::sort(names.begin(), names.end());
    return names;
}

void ExpectRegistered(int slot, const std::wstring& path, bool allowSubfolders,
                      const std::wstring& programName, const std::wstring& version) {
    SCOPED_TRACE(harness::Narrow(LocationKey(slot, version)));
    std::vector<std::wstring> expectedNames{L"Date", L"Description", L"Path"};
    if (allowSubfolders)
        expectedNames.insert(expectedNames.begin(), L"AllowSubfolders");
    auto names = harness::ValueNames(HKEY_CURRENT_USER, LocationKey(slot, version));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, expectedNames);

    const auto key = LocationKey(slot, version);
    const auto pathValue = harness::ReadValue(HKEY_CURRENT_USER, key, L"Path");
    ASSERT_TRUE(pathValue);
    EXPECT_EQ(pathValue->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(pathValue->data, harness::StringBytes(path))
        << "Path: " << harness::Narrow(harness::TextOf(pathValue->data));

    const auto description = harness::ReadValue(HKEY_CURRENT_USER, key, L"Description");
    ASSERT_TRUE(description);
    EXPECT_EQ(description->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(description->data, harness::StringBytes(L"Set by " + programName))
        << harness::Narrow(harness::TextOf(description->data));

    const auto date = harness::ReadValue(HKEY_CURRENT_USER, key, L"Date");
    ASSERT_TRUE(date);
    EXPECT_EQ(date->type, static_cast<DWORD>(REG_SZ));
    EXPECT_TRUE(std::regex_match(harness::Narrow(harness::TextOf(date->data)),
                                 std::regex(R"(\d\d\.\d\d\.\d\d\d\d \d\d:\d\d)")))
        << harness::Narrow(harness::TextOf(date->data));

    if (allowSubfolders) {
        const auto subfolders = harness::ReadValue(HKEY_CURRENT_USER, key, L"AllowSubfolders");
        ASSERT_TRUE(subfolders);
        EXPECT_EQ(subfolders->type, static_cast<DWORD>(REG_DWORD));
        EXPECT_EQ(subfolders->data, harness::DwordBytes(1));
    }
}

void ExpectBox(const harness::MessageBoxInfo& box, const std::wstring& title,
               const std::wstring& text, harness::BoxIcon icon) {
    EXPECT_EQ(harness::Narrow(box.title), harness::Narrow(title));
    EXPECT_EQ(harness::Narrow(box.text), harness::Narrow(text));
    EXPECT_STREQ(harness::BoxIconName(box.icon), harness::BoxIconName(icon));
    EXPECT_EQ(box.buttons.size(), 1u) << "a box with one OK button";
}

void ExpectOnlyBox(const harness::RunResult& result, const std::wstring& text,
                   harness::BoxIcon icon) {
    ASSERT_EQ(result.boxes.size(), 1u);
    ExpectBox(result.boxes[0], L"Vintrel", text, icon);
}

}  // namespace vintrel
