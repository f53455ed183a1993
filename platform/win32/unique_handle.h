#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace platform {

// Owns one Windows handle and releases it with `Release` when it goes out of scope. Handle types are
// pointers (HANDLE, HFONT, HMODULE, item lists), so std::unique_ptr over the pointee serves.
template <typename Handle, auto Release>
struct HandleReleaser {
    void operator()(Handle handle) const { Release(handle); }
};

template <typename Handle, auto Release>
using UniqueHandle = std::unique_ptr<std::remove_pointer_t<Handle>, HandleReleaser<Handle, Release>>;

using UniqueKernelHandle = UniqueHandle<HANDLE, &CloseHandle>;
using UniqueModule = UniqueHandle<HMODULE, &FreeLibrary>;
using UniqueFont = UniqueHandle<HFONT, &DeleteObject>;

}  // namespace platform
