// Names of files and folders as the programs take them from the command line and put them together.
#include <gtest/gtest.h>

#include "PathNames.h"
#include "common/log_double.h"

namespace {

// One name, and what each function makes of it; a row says nothing where it gives nullptr.
struct PathCase {
    const wchar_t* path;
    const wchar_t* resolved;  // ResolvePath(path, appFolder)
    const wchar_t* appFolder = L"D:\\App";
    bool usable = true;
    const wchar_t* withoutTrailing = nullptr;
    const wchar_t* withTrailing = nullptr;
    const wchar_t* inFolder = nullptr;  // InFolder(path, "Orvantis.mde")
    const wchar_t* longForm = nullptr;
};

const PathCase kCases[] = {
    {.path = L"%TEMP%\\renvale.log",
     .resolved = L"C:\\Users\\anna\\AppData\\Local\\Temp\\renvale.log"},
    {.path = L".", .resolved = L"D:\\App"},
    {.path = L".\\", .resolved = L"D:\\App"},
    {.path = L"logs\\start.log", .resolved = L"D:\\App\\logs\\start.log"},
    {.path = L"..\\Master", .resolved = L"D:\\Apps\\Master", .appFolder = L"D:\\Apps\\Orvantis"},
    {.path = L"../logs/a.log", .resolved = L"D:\\logs\\a.log"},
    {.path = L"..", .resolved = L"E:\\", .appFolder = L"E:\\"},
    {.path = L".", .resolved = L"E:\\", .appFolder = L"E:\\"},
    {.path = L"..\\..\\..", .resolved = L"\\\\srv", .appFolder = L"\\\\srv\\share\\App"},
    {.path = L"%NOSUCH%\\a.log", .resolved = L"D:\\App\\%NOSUCH%\\a.log"},
    // Names that start at a root or name a drive alone are relative too: never the working
    // directory's drive or folder.
    {.path = L"\\Logs\\a.log", .resolved = L"D:\\Logs\\a.log"},
    {.path = L"\\Logs", .resolved = L"\\\\srv\\share\\Logs", .appFolder = L"\\\\srv\\share\\App"},
    {.path = L"\\", .resolved = L"E:\\", .appFolder = L"E:\\", .withoutTrailing = L"\\"},
    {.path = L"d:Logs", .resolved = L"D:\\App\\Logs"},
    {.path = L"C:Logs", .resolved = L"C:\\Logs"},
    {.path = L"E:", .resolved = L"E:\\"},
    // Full names stay as they are.
    {.path = L"C:\\Logs\\a.log", .resolved = L"C:\\Logs\\a.log"},
    {.path = L"\\\\srv\\share\\Orvantis",
     .resolved = L"\\\\srv\\share\\Orvantis",
     .inFolder = L"\\\\srv\\share\\Orvantis\\Orvantis.mde",
     .longForm = L"\\\\?\\UNC\\srv\\share\\Orvantis"},
    {.path = L"D:\\Orvantis",
     .resolved = L"D:\\Orvantis",
     .withoutTrailing = L"D:\\Orvantis",
     .withTrailing = L"D:\\Orvantis\\",
     .longForm = L"\\\\?\\D:\\Orvantis"},
    {.path = L"D:\\Orvantis\\\\",
     .resolved = L"D:\\Orvantis\\\\",
     .withoutTrailing = L"D:\\Orvantis",
     .withTrailing = L"D:\\Orvantis\\\\",
     .inFolder = L"D:\\Orvantis\\\\Orvantis.mde"},
    {.path = L"D:\\",
     .resolved = L"D:\\",
     .withoutTrailing = L"D:\\",
     .withTrailing = L"D:\\",
     .inFolder = L"D:\\Orvantis.mde"},
    {.path = L"\\\\?\\D:\\Orvantis",
     .resolved = L"\\\\?\\D:\\Orvantis",
     .longForm = L"\\\\?\\D:\\Orvantis"},
    {.path = L"\\\\.\\pipe\\x", .resolved = L"\\\\.\\pipe\\x", .longForm = L"\\\\.\\pipe\\x"},
    // What no Windows name can hold: never made into a path. A folder value that ended in a
    // backslash before its closing quote swallows the switches after it.
    {.path = L"", .resolved = L"", .usable = false, .withTrailing = L"\\", .inFolder = L""},
    {.path = L"\\\\srv\\orvantis\" /log x",
     .resolved = L"\\\\srv\\orvantis\" /log x",
     .usable = false},
    {.path = L"D:\\Orvantis\" /log x", .resolved = L"D:\\Orvantis\" /log x", .usable = false},
    {.path = L"D:\\a|b", .resolved = L"D:\\a|b", .usable = false},
    {.path = L"D:\\a\\b:c", .resolved = L"D:\\a\\b:c", .usable = false},
    {.path = L"D:\\a?", .resolved = L"D:\\a?", .usable = false},
    {.path = L"D:\\a\tb", .resolved = L"D:\\a\tb", .usable = false},
    {.path = L"\\\\?\\", .resolved = L"\\\\?\\", .usable = false},
};

TEST(PathNames, EachFunctionGivesWhatTheTableSays) {
    for (const PathCase& c : kCases) {
        SCOPED_TRACE(testing::Message()
                     << '"' << testing::PrintToString(std::wstring(c.path)) << "\" in "
                     << testing::PrintToString(std::wstring(c.appFolder)));
        EXPECT_EQ(paths::ResolvePath(c.path, c.appFolder), c.resolved);
        EXPECT_EQ(paths::IsUsablePath(c.path), c.usable);
        const auto expect = [](const wchar_t* expected, const std::wstring& given) {
            if (expected) {
                EXPECT_EQ(given, expected);
            }
        };
        expect(c.withoutTrailing, paths::WithoutTrailingBackslash(c.path));
        expect(c.withTrailing, paths::WithTrailingBackslash(c.path));
        expect(c.inFolder, paths::InFolder(c.path, L"Orvantis.mde"));
        expect(c.longForm, paths::LongPathForm(c.path));
    }
}

}  // namespace
