// A stand-in for the trace viewer: a window of its class and title that keeps what it is sent.
#pragma once

#include "ui/Win32.h"

#include <string>
#include <vector>

namespace quillet::testing {

class TraceViewer {
public:
    struct Line {
        std::string text;
        DWORD bytes = 0; // cbData as sent
    };

    TraceViewer();
    ~TraceViewer();
    TraceViewer(const TraceViewer&) = delete;
    TraceViewer& operator=(const TraceViewer&) = delete;

    const std::vector<Line>& Lines() const { return lines_; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND window_ = nullptr;
    std::vector<Line> lines_;
};

} // namespace quillet::testing
