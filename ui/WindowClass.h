// The window classes Quillet makes its windows of, registered in one place.
#pragma once

#include "ui/Win32.h"

namespace quillet::ui {

// Registers, once per process, a class whose windows run `procedure`, and returns its name.
// With a null `baseClass` the class is a plain window of the program's own with the given
// background; otherwise it wraps the system class of that name (a button, an edit field...):
// same look and behaviour, with `procedure` in front of the system's own. Raises
// "Error creating window class" when Windows refuses.
const char* RegisterWindowClass(const char* name, const char* baseClass, WNDPROC procedure,
                                HBRUSH background = nullptr);

// The procedure a window's class wraps: the system class's own, or DefWindowProcA.
WNDPROC BaseProcedure(HWND window);

} // namespace quillet::ui
