// AccessStandIn.exe: "/RegServer" and "/UnregServer" register or remove the class and end;
// any other start (COM passes "-Embedding") serves automation objects until the last window closes.
#include <windows.h>

#include <objbase.h>

#include <string>
#include <string_view>

#include "class_factory.h"
#include "main_window.h"
#include "registration.h"

namespace {

// True when the command line holds the switch, given with "/" or "-", in any letter case.
bool HasSwitch(std::wstring_view commandLine, std::wstring_view name) {
    std::size_t position = 0;
    while (position < commandLine.size()) {
        std::size_t start = commandLine.find_first_not_of(L" \t", position);
        if (start == std::wstring_view::npos)
            break;
        std::size_t end = commandLine.find_first_of(L" \t", start);
        if (end == std::wstring_view::npos)
            end = commandLine.size();
        std::wstring_view word = commandLine.substr(start, end - start);
        if (word.size() == name.size() + 1 && (word[0] == L'/' || word[0] == L'-') &&
            CompareStringOrdinal(word.data() + 1, static_cast<int>(name.size()), name.data(),
                                 static_cast<int>(name.size()), TRUE) == CSTR_EQUAL)
            return true;
        position = end;
    }
    return false;
}

int Serve(HINSTANCE instance) {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 1;
    int exitCode = 1;
    if (RegisterStandInWindowClass(instance) && SUCCEEDED(RegisterClassObject())) {
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        exitCode = 0;
    }
    RevokeClassObject();
    CoUninitialize();
    return exitCode;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    std::wstring_view arguments = commandLine ? commandLine : L"";
    if (HasSwitch(arguments, L"RegServer"))
        return RegisterServer() ? 0 : 1;
    if (HasSwitch(arguments, L"UnregServer"))
        return UnregisterServer() ? 0 : 1;
    return Serve(instance);
}
