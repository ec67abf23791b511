// Windows resources that give themselves back: GDI objects, device contexts, selections into
// them and COM interfaces. Each pairs its acquisition with its release, so that an exception
// between the two neither leaks nor leaves a font selected.
#pragma once

#include "ui/Win32.h"

#include <utility>

namespace quillet::ui {

// A GDI object that is either owned (deleted with its holder) or borrowed (only looked at):
// the two faces of one handle type.
template <typename Handle> class GdiHandle {
public:
    GdiHandle() = default;
    GdiHandle(Handle handle, bool owned) : handle_(handle), owned_(owned) {}
    ~GdiHandle() { Reset(); }
    GdiHandle(GdiHandle&& other) noexcept
        : handle_(std::exchange(other.handle_, nullptr)), owned_(other.owned_) {}
    GdiHandle& operator=(GdiHandle&& other) noexcept {
        if (this != &other) {
            Reset();
            handle_ = std::exchange(other.handle_, nullptr);
            owned_ = other.owned_;
        }
        return *this;
    }
    GdiHandle(const GdiHandle&) = delete;
    GdiHandle& operator=(const GdiHandle&) = delete;

    Handle Get() const { return handle_; }
    void Reset() {
        if (handle_ != nullptr && owned_)
            DeleteObject(handle_);
        handle_ = nullptr;
    }

private:
    Handle handle_ = nullptr;
    bool owned_ = false;
};

// The device context of a window (or of the screen, for a null window), lent by GetDC and
// given back by ReleaseDC. Get() is null when Windows could not lend one.
class WindowDC {
public:
    explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDC() {
        if (dc_ != nullptr)
            ReleaseDC(window_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC Get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// A memory device context compatible with another, deleted when done.
class MemoryDC {
public:
    explicit MemoryDC(HDC compatibleWith) : dc_(CreateCompatibleDC(compatibleWith)) {}
    ~MemoryDC() {
        if (dc_ != nullptr)
            DeleteDC(dc_);
    }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    HDC Get() const { return dc_; }

private:
    HDC dc_;
};

// Selects a GDI object into a device context for as long as it lives, then selects back what
// was there before.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object)
        : dc_(dc),
          previous_(dc != nullptr && object != nullptr ? SelectObject(dc, object) : nullptr) {}
    ~Selection() {
        if (previous_ != nullptr)
            SelectObject(dc_, previous_);
    }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// A COM interface pointer that releases its reference when it goes.
template <typename Interface> class ComPtr {
public:
    ComPtr() = default;
    // Takes over a reference the caller already holds.
    explicit ComPtr(Interface* taken) : pointer_(taken) {}
    ~ComPtr() { Reset(); }
    ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            Reset();
            pointer_ = std::exchange(other.pointer_, nullptr);
        }
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    Interface* Get() const { return pointer_; }
    Interface* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    // For creation functions that hand out a new reference: releases the old one first.
    Interface** Receive() {
        Reset();
        return &pointer_;
    }
    void Reset() {
        if (pointer_ != nullptr)
            std::exchange(pointer_, nullptr)->Release();
    }

private:
    Interface* pointer_ = nullptr;
};

} // namespace quillet::ui
