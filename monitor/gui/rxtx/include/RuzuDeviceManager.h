// The virtual-serial-port manager of the port driver, "Ruzu.DeviceManager", as
// the tray monitor's port chooser calls it. Every interface derives from
// IDispatch, so its own methods begin at vtable slot 7; the reserved slots
// belong to the driver and are never called from the monitor.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <oaidl.h>

inline constexpr wchar_t RUZU_DEVICE_MANAGER_PROGID[] = L"Ruzu.DeviceManager";

// The contexts the chooser creates the manager in: in-process server and
// handler, local and remote server.
inline constexpr DWORD RUZU_DEVICE_MANAGER_CLSCTX = 0x17;
static_assert(RUZU_DEVICE_MANAGER_CLSCTX ==
              (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER));

// {3E67A650-6FC2-4E0B-8860-5E8C73F6F5D0}
inline constexpr IID IID_IRuzuDeviceManager = {
    0x3E67A650, 0x6FC2, 0x4E0B, {0x88, 0x60, 0x5E, 0x8C, 0x73, 0xF6, 0xF5, 0xD0}};
// {5E5F300B-004C-4897-B57A-213364AB4276}
inline constexpr IID IID_IRuzuDevice = {0x5E5F300B, 0x004C, 0x4897, {0xB5, 0x7A, 0x21, 0x33, 0x64, 0xAB, 0x42, 0x76}};
// {EEF08C56-3D8B-46C4-AB96-CFFF20983FDD}
inline constexpr IID IID_IRuzuPort = {0xEEF08C56, 0x3D8B, 0x46C4, {0xAB, 0x96, 0xCF, 0xFF, 0x20, 0x98, 0x3F, 0xDD}};

// One port of a device.
struct IRuzuPort : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Reserved7() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved8() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved9() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved10() = 0;
    // Slot 11: the port's name ("COM1"); the caller frees it.
    virtual HRESULT STDMETHODCALLTYPE GetName(BSTR* name) = 0;
};

// One installed virtual device.
struct IRuzuDevice : public IDispatch {
    // Slot 7: the text a user knows the device by; the caller frees it.
    virtual HRESULT STDMETHODCALLTYPE GetName(BSTR* name) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved8() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved9() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved10() = 0;
    // Slot 11: port `index` (from 0) with a reference for the caller.
    virtual HRESULT STDMETHODCALLTYPE GetPort(long index, IRuzuPort** port) = 0;
};

// The list of installed devices.
struct IRuzuDeviceManager : public IDispatch {
    // Slot 7: takes a fresh look at the installed devices.
    virtual HRESULT STDMETHODCALLTYPE Refresh() = 0;
    // Slot 8: the number of devices.
    virtual HRESULT STDMETHODCALLTYPE GetCount(long* count) = 0;
    // Slot 9: device `index` (from 0) with a reference for the caller; a null
    // device past the end.
    virtual HRESULT STDMETHODCALLTYPE GetDevice(long index, IRuzuDevice** device) = 0;
};
