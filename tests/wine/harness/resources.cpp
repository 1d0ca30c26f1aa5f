// version.dll is bound at run time, so the end-to-end programs need no import library for it.
#include "harness.h"

namespace harness {

namespace {

template <typename Function>
Function FromVersionDll(const char* name) {
    static const HMODULE library = LoadLibraryW(L"version.dll");
    if (!library)
        return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

std::vector<std::uint8_t> VersionBlock(const std::wstring& file) {
    const auto sizeOf =
        FromVersionDll<decltype(&GetFileVersionInfoSizeW)>("GetFileVersionInfoSizeW");
    const auto read = FromVersionDll<decltype(&GetFileVersionInfoW)>("GetFileVersionInfoW");
    if (!sizeOf || !read)
        return {};
    DWORD ignored = 0;
    const DWORD size = sizeOf(file.c_str(), &ignored);
    std::vector<std::uint8_t> block(size);
    if (size == 0 || !read(file.c_str(), 0, size, block.data()))
        return {};
    return block;
}

void* Query(std::vector<std::uint8_t>& block, const std::wstring& path, UINT* length) {
    const auto query = FromVersionDll<decltype(&VerQueryValueW)>("VerQueryValueW");
    void* found = nullptr;
    if (block.empty() || !query || !query(block.data(), path.c_str(), &found, length)) {
        return nullptr;
    }
    return found;
}

}  // namespace

std::optional<std::wstring> VersionString(const std::wstring& file, const std::wstring& name) {
    auto block = VersionBlock(file);
    UINT length = 0;
    const auto* translation =
        static_cast<const WORD*>(Query(block, L"\\VarFileInfo\\Translation", &length));
    if (!translation || length < 2 * sizeof(WORD))
        return std::nullopt;
    wchar_t prefix[64];
    swprintf(prefix, 64, L"\\StringFileInfo\\%04x%04x\\", translation[0], translation[1]);
    const auto* text = static_cast<const wchar_t*>(Query(block, prefix + name, &length));
    if (!text)
        return std::nullopt;
    return std::wstring(text, length > 0 ? length - 1 : 0);
}

std::optional<VS_FIXEDFILEINFO> FixedVersion(const std::wstring& file) {
    auto block = VersionBlock(file);
    UINT length = 0;
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(Query(block, L"\\", &length));
    if (!fixed || length < sizeof *fixed)
        return std::nullopt;
    return *fixed;
}

std::string Manifest(const std::wstring& file) {
    const HMODULE image = LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!image)
        return {};
    std::string manifest;
    if (const HRSRC found = FindResourceW(image, MAKEINTRESOURCEW(1), RT_MANIFEST)) {
        if (const void* bytes = LockResource(LoadResource(image, found))) {
            manifest.assign(static_cast<const char*>(bytes), SizeofResource(image, found));
        }
    }
    FreeLibrary(image);
    return manifest;
}

}  // namespace harness
