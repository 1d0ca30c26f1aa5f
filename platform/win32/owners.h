// One small owner per kind of Windows resource, so every path releases what it took.
#pragma once

#include <oleauto.h>
#include <windows.h>

#include <memory>
#include <type_traits>
#include <utility>

namespace owners {

struct HandleCloser {
    void operator()(HANDLE handle) const noexcept {
        if (handle && handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
};
using unique_handle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

// A FindFirstFileW search, which FindClose ends.
struct FindCloser {
    void operator()(HANDLE search) const noexcept {
        if (search != INVALID_HANDLE_VALUE)
            FindClose(search);
    }
};
using unique_find = std::unique_ptr<std::remove_pointer_t<HANDLE>, FindCloser>;

// Memory that Windows allocated for the caller with LocalAlloc (SID texts, security descriptors).
struct LocalFreer {
    void operator()(void* memory) const noexcept { LocalFree(memory); }
};
using unique_hlocal = std::unique_ptr<void, LocalFreer>;

struct ModuleFreer {
    void operator()(HMODULE module) const noexcept { FreeLibrary(module); }
};
using unique_hmodule = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFreer>;

// A registry key opened directly (the registrar's helpers own theirs through platform::RegKey).
struct KeyCloser {
    void operator()(HKEY key) const noexcept { RegCloseKey(key); }
};
using unique_hkey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

struct GdiObjectDeleter {
    void operator()(HGDIOBJ object) const noexcept { DeleteObject(object); }
};
template <typename T>
using unique_gdi = std::unique_ptr<std::remove_pointer_t<T>, GdiObjectDeleter>;

struct BstrFreer {
    void operator()(BSTR text) const noexcept { SysFreeString(text); }
};
using unique_bstr = std::unique_ptr<std::remove_pointer_t<BSTR>, BstrFreer>;

// A VARIANT that is cleared on every path.
class unique_variant {
  public:
    unique_variant() noexcept { VariantInit(&value_); }
    ~unique_variant() { VariantClear(&value_); }
    unique_variant(const unique_variant&) = delete;
    unique_variant& operator=(const unique_variant&) = delete;
    VARIANT* get() noexcept { return &value_; }
    const VARIANT* get() const noexcept { return &value_; }

  private:
    VARIANT value_;
};

// A COM interface pointer that releases its reference on every path.
template <typename Interface>
class com_ptr {
  public:
    com_ptr() = default;
    explicit com_ptr(Interface* pointer) noexcept : pointer_(pointer) {}
    ~com_ptr() { reset(); }
    com_ptr(com_ptr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    com_ptr& operator=(com_ptr&& other) noexcept {
        if (this != &other) {
            reset();
            pointer_ = std::exchange(other.pointer_, nullptr);
        }
        return *this;
    }
    com_ptr(const com_ptr&) = delete;
    com_ptr& operator=(const com_ptr&) = delete;

    Interface* get() const noexcept { return pointer_; }
    Interface* operator->() const noexcept { return pointer_; }
    explicit operator bool() const noexcept { return pointer_ != nullptr; }
    Interface** put() noexcept {
        reset();
        return &pointer_;
    }
    Interface* release() noexcept { return std::exchange(pointer_, nullptr); }
    void reset() noexcept {
        if (pointer_)
            std::exchange(pointer_, nullptr)->Release();
    }

  private:
    Interface* pointer_ = nullptr;
};

}  // namespace owners
