#include "ui/Clipboard.h"

#include "base/Exceptions.h"

#include <cstring>

namespace quillet::ui {

namespace {

// The clipboard is open for as long as this lives.
class OpenClipboardScope {
public:
    explicit OpenClipboardScope(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
    ~OpenClipboardScope() {
        if (open_)
            CloseClipboard();
    }
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
    bool Open() const { return open_; }

private:
    bool open_;
};

} // namespace

void SetClipboardText(HWND owner, const std::wstring& text) {
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (memory == nullptr)
        throw Exception("Out of memory");
    if (void* target = GlobalLock(memory)) {
        std::memcpy(target, text.c_str(), bytes);
        GlobalUnlock(memory);
    }
    const OpenClipboardScope clipboard(owner);
    // Once SetClipboardData takes the memory it is the clipboard's; until then it is ours.
    if (!clipboard.Open() || !EmptyClipboard() ||
        SetClipboardData(CF_UNICODETEXT, memory) == nullptr) {
        GlobalFree(memory);
        throw Exception("Cannot open clipboard");
    }
}

std::wstring ClipboardText(HWND owner) {
    const OpenClipboardScope clipboard(owner);
    if (!clipboard.Open())
        return {};
    HANDLE memory = GetClipboardData(CF_UNICODETEXT);
    if (memory == nullptr)
        return {};
    std::wstring text;
    if (const auto* source = static_cast<const wchar_t*>(GlobalLock(memory))) {
        text = source;
        GlobalUnlock(memory);
    }
    return text;
}

} // namespace quillet::ui
