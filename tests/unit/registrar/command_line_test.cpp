// fnc_Kommandozeile_Zerlegen: the command-line argument text cut into trimmed switch texts.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "basMain.h"
#include "registrar/registrar_world.h"

namespace {

using ::testing::ElementsAreArray;

struct Split {
    const wchar_t* commandLine;
    std::int32_t count;
    std::vector<std::wstring> list;
};

class Splitting : public ::testing::TestWithParam<Split> {};

TEST_P(Splitting, GivesTheCountAndTheList) {
    const Split& split = GetParam();
    doubles::World().commandLineArgs = split.commandLine;
    std::vector<std::wstring> aSchalter{L"left", L"as", L"it was"};

    EXPECT_EQ(basMain::fnc_Kommandozeile_Zerlegen(aSchalter, L"/"), split.count);
    EXPECT_THAT(aSchalter, ElementsAreArray(split.list));
}

const Split kSplits[] = {
    {L"", 0, {L"left", L"as", L"it was"}},
    {L"/s /langen", 2, {L"s", L"langen"}},
    {L"/s/langen", 2, {L"s", L"langen"}},
    {L"langen /s", 2, {L"langen", L"s"}},
    {L"\"/s /langen\"", 2, {L"s", L"langen"}},
    {L"\"/s /langen", 3, {L"\"", L"s", L"langen"}},
    {L"/s /langen\"", 2, {L"s", L"langen\""}},
    {L"\"\"", 0, {L""}},
    {L"\"", 1, {L"\""}},
    {L"/", 0, {L""}},
    {L"//", 0, {L""}},
    {L"/s / /langen", 3, {L"s", L"", L"langen"}},
    {L"/path D:\\My Data", 1, {L"path D:\\My Data"}},
    {L"/path D:\\A/B", 2, {L"path D:\\A", L"B"}},
    {L"/\tS\t/  ", 2, {L"\tS\t", L""}},
    {L"/path \"D:\\My Data\" /s", 2, {L"path \"D:\\My Data\"", L"s"}},
};

INSTANTIATE_TEST_SUITE_P(CommandLines, Splitting, ::testing::ValuesIn(kSplits));

TEST(SplittingSeparator, MatchesCharacterForCharacter) {
    doubles::ResetWorld();
    doubles::World().commandLineArgs = L"aXbxcXX";
    std::vector<std::wstring> aSchalter;

    EXPECT_EQ(basMain::fnc_Kommandozeile_Zerlegen(aSchalter, L"X"), 2);
    EXPECT_THAT(aSchalter, ElementsAreArray({L"a", L"bxc"}));
}

TEST(SplittingSeparator, AnEmptySeparatorLeavesTheTextWhole) {
    doubles::ResetWorld();
    doubles::World().commandLineArgs = L" /s ";
    std::vector<std::wstring> aSchalter;

    EXPECT_EQ(basMain::fnc_Kommandozeile_Zerlegen(aSchalter, L""), 1);
    EXPECT_THAT(aSchalter, ElementsAreArray({L"/s"}));
}

}  // namespace
