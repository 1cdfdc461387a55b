#pragma once
// RAII owners for Win32 handles, GDI objects and COM pointers. Every handle the programs
// create is held by one of these from the line that creates it.
#include <windows.h>
#include <objbase.h>
#include <utility>

namespace qelt {

// Owns one handle value of a kind described by Traits (invalid value + how to release).
template <typename Traits>
class UniqueResource {
public:
    using Type = typename Traits::Type;

    UniqueResource() noexcept = default;
    explicit UniqueResource(Type value) noexcept : m_value(value) {}
    ~UniqueResource() { Reset(); }

    UniqueResource(UniqueResource&& other) noexcept : m_value(other.Release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    Type Get() const noexcept { return m_value; }
    bool Valid() const noexcept { return Traits::IsValid(m_value); }
    explicit operator bool() const noexcept { return Valid(); }

    Type Release() noexcept { return std::exchange(m_value, Traits::Invalid()); }
    void Reset(Type value = Traits::Invalid()) noexcept
    {
        Type old = std::exchange(m_value, value);
        if (Traits::IsValid(old))
            Traits::Close(old);
    }

private:
    Type m_value = Traits::Invalid();
};

struct KernelHandleTraits {  // CreateFileW and friends: INVALID_HANDLE_VALUE on failure
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Type h) noexcept { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Close(Type h) noexcept { CloseHandle(h); }
};

struct NullableHandleTraits {  // CreateEvent, CreateMutex, CreateThread...: NULL on failure
    using Type = HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { CloseHandle(h); }
};

template <typename T>
struct GdiObjectTraits {
    using Type = T;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { DeleteObject(h); }
};

struct MemoryDcTraits {  // CreateCompatibleDC / CreateDC
    using Type = HDC;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { DeleteDC(h); }
};

struct IconTraits {
    using Type = HICON;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { DestroyIcon(h); }
};

struct MenuTraits {
    using Type = HMENU;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { DestroyMenu(h); }
};

struct ModuleTraits {  // LoadLibraryW
    using Type = HMODULE;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { FreeLibrary(h); }
};

struct GlobalMemoryTraits {  // GlobalAlloc, until a stream takes ownership
    using Type = HGLOBAL;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { GlobalFree(h); }
};

struct WindowTraits {  // windows this code creates and destroys itself (tooltips, popups)
    using Type = HWND;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { if (IsWindow(h)) DestroyWindow(h); }
};

struct WinEventHookTraits {  // SetWinEventHook
    using Type = HWINEVENTHOOK;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { UnhookWinEvent(h); }
};

using UniqueHandle = UniqueResource<KernelHandleTraits>;      // files and devices
using UniqueKernelObject = UniqueResource<NullableHandleTraits>;  // events, semaphores, mutexes, threads
using UniqueBitmap = UniqueResource<GdiObjectTraits<HBITMAP>>;
using UniqueFont = UniqueResource<GdiObjectTraits<HFONT>>;
using UniqueRegion = UniqueResource<GdiObjectTraits<HRGN>>;
using UniqueBrush = UniqueResource<GdiObjectTraits<HBRUSH>>;
using UniquePen = UniqueResource<GdiObjectTraits<HPEN>>;
using UniqueMemoryDc = UniqueResource<MemoryDcTraits>;
using UniqueIcon = UniqueResource<IconTraits>;
using UniqueMenu = UniqueResource<MenuTraits>;
using UniqueModule = UniqueResource<ModuleTraits>;
using UniqueGlobal = UniqueResource<GlobalMemoryTraits>;
using UniqueWindow = UniqueResource<WindowTraits>;
using UniqueWinEventHook = UniqueResource<WinEventHookTraits>;

// A DC from GetDC / GetWindowDC, released to its window.
class WindowDc {
public:
    explicit WindowDc(HWND window) noexcept : m_window(window), m_dc(GetDC(window)) {}
    ~WindowDc() { if (m_dc) ReleaseDC(m_window, m_dc); }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC Get() const noexcept { return m_dc; }
    explicit operator bool() const noexcept { return m_dc != nullptr; }

private:
    HWND m_window;
    HDC m_dc;
};

// BeginPaint / EndPaint.
class PaintDc {
public:
    explicit PaintDc(HWND window) noexcept : m_window(window) { m_dc = BeginPaint(window, &m_paint); }
    ~PaintDc() { EndPaint(m_window, &m_paint); }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;
    HDC Get() const noexcept { return m_dc; }
    const RECT& Area() const noexcept { return m_paint.rcPaint; }

private:
    HWND m_window;
    PAINTSTRUCT m_paint{};
    HDC m_dc = nullptr;
};

// Selects a GDI object into a DC and puts the previous one back.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) noexcept : m_dc(dc), m_previous(SelectObject(dc, object)) {}
    ~SelectedObject() { if (m_previous) SelectObject(m_dc, m_previous); }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};

// A COM interface pointer, released once.
template <typename T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ~ComPtr() { Reset(); }
    ComPtr(ComPtr&& other) noexcept : m_ptr(std::exchange(other.m_ptr, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        if (this != &other) { Reset(); m_ptr = std::exchange(other.m_ptr, nullptr); }
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    T* Get() const noexcept { return m_ptr; }
    T* operator->() const noexcept { return m_ptr; }
    explicit operator bool() const noexcept { return m_ptr != nullptr; }
    // For out-parameters: releases what is held and hands out the slot.
    T** Put() noexcept { Reset(); return &m_ptr; }
    void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }
    void Reset() noexcept { if (m_ptr) { m_ptr->Release(); m_ptr = nullptr; } }

private:
    T* m_ptr = nullptr;
};

// CoInitialize for the lifetime of a thread's scope.
class ComApartment {
public:
    ComApartment() noexcept : m_ok(SUCCEEDED(CoInitialize(nullptr))) {}
    ~ComApartment() { if (m_ok) CoUninitialize(); }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool m_ok;
};

} // namespace qelt
