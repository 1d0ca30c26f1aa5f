// The programs' file sizes and how much of each is the embedded splash picture.
#include <cstdio>
#include <string>

#include "bench.h"
#include "harness.h"

namespace bench {
namespace {

BOOL CALLBACK AddBitmapSize(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR total) {
    if (const HRSRC resource = FindResourceW(module, name, type))
        *reinterpret_cast<DWORD*>(total) += SizeofResource(module, resource);
    return TRUE;
}

}  // namespace

bool MeasureSizes() {
    for (const wchar_t* program : {L"Vintrel.exe", L"Renvale.exe", L"Tessaly.exe"}) {
        const std::wstring path = harness::ProgramPath(program);
        WIN32_FILE_ATTRIBUTE_DATA attributes;
        const HMODULE image = LoadLibraryExW(
            path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attributes) || !image) {
            Complain("cannot read " + harness::Narrow(path));
            return false;
        }
        DWORD pictureBytes = 0;
        EnumResourceNamesW(image, RT_BITMAP, AddBitmapSize,
                           reinterpret_cast<LONG_PTR>(&pictureBytes));
        FreeLibrary(image);
        std::printf("size %s %lu %lu\n", harness::Narrow(program).c_str(),
                    static_cast<unsigned long>(attributes.nFileSizeLow),
                    static_cast<unsigned long>(pictureBytes));
    }
    std::fflush(stdout);
    return true;
}

}  // namespace bench
