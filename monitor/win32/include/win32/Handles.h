// Owners of the kernel, module, registry, GDI, icon, cursor, BSTR and service handles.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <winsvc.h>

#include "win32/UniqueResource.h"

namespace win32 {

// NULL and INVALID_HANDLE_VALUE both mean none: the APIs return either.
struct HandleTraits {
    using Value = HANDLE;
    static constexpr HANDLE kNone = nullptr;
    static bool Valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { CloseHandle(h); }
};

// A resource that NULL alone marks as none, given back by one API call.
template <class T, class R, R(WINAPI* Closer)(T)>
struct NullNoneTraits {
    using Value = T;
    static constexpr T kNone = nullptr;
    static bool Valid(T v) { return v != nullptr; }
    static void Close(T v) { Closer(v); }
};

using UniqueHandle = UniqueResource<HandleTraits>;
using UniqueModule = UniqueResource<NullNoneTraits<HMODULE, BOOL, FreeLibrary>>;
using UniqueRegKey = UniqueResource<NullNoneTraits<HKEY, LONG, RegCloseKey>>;
using UniqueGdiObject = UniqueResource<NullNoneTraits<HGDIOBJ, BOOL, DeleteObject>>;
using UniqueIcon = UniqueResource<NullNoneTraits<HICON, BOOL, DestroyIcon>>;
using UniqueCursor = UniqueResource<NullNoneTraits<HCURSOR, BOOL, DestroyCursor>>;
using UniqueBstr = UniqueResource<NullNoneTraits<BSTR, void, SysFreeString>>;
using UniqueServiceHandle = UniqueResource<NullNoneTraits<SC_HANDLE, BOOL, CloseServiceHandle>>;

// A manual-reset event, initially clear.
inline UniqueHandle MakeEvent() { return UniqueHandle(CreateEventA(nullptr, TRUE, FALSE, nullptr)); }

}  // namespace win32
