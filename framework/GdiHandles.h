// Move-only owners of GDI handles, and small scope objects for DCs.
#pragma once

#include <windows.h>

#include <utility>

template <class H> class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(H h) : FHandle(h) {}
    ~GdiObject() { reset(); }
    GdiObject(GdiObject&& other) noexcept : FHandle(std::exchange(other.FHandle, nullptr)) {}
    GdiObject& operator=(GdiObject&& other) noexcept
    {
        if (this != &other) {
            reset();
            FHandle = std::exchange(other.FHandle, nullptr);
        }
        return *this;
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;

    H get() const { return FHandle; }
    explicit operator bool() const { return FHandle != nullptr; }
    void reset(H h = nullptr)
    {
        if (FHandle) DeleteObject(FHandle);
        FHandle = h;
    }
    [[nodiscard]] H release() { return std::exchange(FHandle, nullptr); }

private:
    H FHandle = nullptr;
};

// A memory DC that this object created and deletes.
class DeviceContext {
public:
    DeviceContext() = default;
    explicit DeviceContext(HDC dc) : FDC(dc) {}
    ~DeviceContext() { reset(); }
    DeviceContext(DeviceContext&& o) noexcept : FDC(std::exchange(o.FDC, nullptr)) {}
    DeviceContext& operator=(DeviceContext&& o) noexcept
    {
        if (this != &o) {
            reset();
            FDC = std::exchange(o.FDC, nullptr);
        }
        return *this;
    }
    DeviceContext(const DeviceContext&) = delete;
    DeviceContext& operator=(const DeviceContext&) = delete;
    HDC get() const { return FDC; }
    void reset(HDC dc = nullptr)
    {
        if (FDC) DeleteDC(FDC);
        FDC = dc;
    }

private:
    HDC FDC = nullptr;
};

// GetDC / ReleaseDC as a scope.
class WindowDC {
public:
    explicit WindowDC(HWND wnd) : FWnd(wnd), FDC(GetDC(wnd)) {}
    ~WindowDC() { ReleaseDC(FWnd, FDC); }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const { return FDC; }

private:
    HWND FWnd;
    HDC FDC;
};

// Selects an object into a DC for the scope and selects the previous one back.
class SelectObjectScope {
public:
    SelectObjectScope(HDC dc, HGDIOBJ obj) : FDC(dc), FOld(SelectObject(dc, obj)) {}
    ~SelectObjectScope() { SelectObject(FDC, FOld); }
    SelectObjectScope(const SelectObjectScope&) = delete;
    SelectObjectScope& operator=(const SelectObjectScope&) = delete;

private:
    HDC FDC;
    HGDIOBJ FOld;
};
