// A stand-in for the trace viewer: a window of its class and title that keeps what it is sent.
#pragma once

#include "ui/Win32.h"

#include <string>
#include <vector>

namespace quillet::testing {

struct TraceViewer {
    TraceViewer();
    ~TraceViewer() { DestroyWindow(window); }

    HWND window;
    std::vector<std::string> lines;
    std::vector<DWORD> sizes; // cbData as sent
};

} // namespace quillet::testing
