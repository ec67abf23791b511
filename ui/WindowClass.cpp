#include "ui/WindowClass.h"

#include "base/Exceptions.h"

namespace quillet::ui {

namespace {

// Each class keeps the procedure it wraps in the last slot of its class extra bytes, where
// every window of it can find it, before and after its object is attached.
constexpr int kSlotSize = static_cast<int>(sizeof(LONG_PTR));

} // namespace

const char* RegisterWindowClass(const char* name, const char* baseClass, WNDPROC procedure,
                                HBRUSH background) {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA existing{};
    if (GetClassInfoA(instance, name, &existing))
        return name;

    WNDCLASSA windowClass{};
    WNDPROC wrapped = DefWindowProcA;
    if (baseClass != nullptr) {
        if (!GetClassInfoA(nullptr, baseClass, &windowClass) &&
            !GetClassInfoA(instance, baseClass, &windowClass))
            throw Exception("Error creating window class");
        wrapped = windowClass.lpfnWndProc;
        windowClass.style &= ~static_cast<UINT>(CS_GLOBALCLASS);
    } else {
        windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
        windowClass.hbrBackground = background;
    }
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = name;
    windowClass.cbClsExtra += kSlotSize;
    if (RegisterClassA(&windowClass) == 0)
        throw Exception("Error creating window class");

    // The slot is written through a window of the class: class bytes have no other door. While
    // the slot is empty the window behaves as DefWindowProcA, and it goes with DefWindowProcA
    // too, so the wrapped procedure never sees a window it did not see made.
    HWND probe =
        CreateWindowExA(0, name, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    if (probe == nullptr) {
        UnregisterClassA(name, instance);
        throw Exception("Error creating window class");
    }
    SetClassLongPtrA(probe, windowClass.cbClsExtra - kSlotSize,
                     reinterpret_cast<LONG_PTR>(wrapped));
    SetWindowLongPtrA(probe, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefWindowProcA));
    DestroyWindow(probe);
    return name;
}

WNDPROC BaseProcedure(HWND window) {
    const auto extra = static_cast<int>(GetClassLongPtrA(window, GCL_CBCLSEXTRA));
    WNDPROC wrapped = nullptr;
    if (extra >= kSlotSize)
        wrapped = reinterpret_cast<WNDPROC>(GetClassLongPtrA(window, extra - kSlotSize));
    return wrapped != nullptr ? wrapped : DefWindowProcA;
}

} // namespace quillet::ui
