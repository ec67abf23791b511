// Reads the rows of the list in a running program's window, as the end-to-end scripts read
// what the program shows: each row's texts and where its value lies on the screen.
// Usage: list-view-text WINDOW_TITLE
// Prints one line a row: LEFT TOP RIGHT BOTTOM of the second column on the screen, a tab, the
// first column's text, a tab, the second's. Exit status 1 when there is no such window or list.
#include "ui/Win32.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

// Memory in the other program's address space, where the list can write what it is asked.
class RemoteMemory {
public:
    RemoteMemory(HANDLE process, std::size_t size)
        : process_(process),
          address_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE)) {}
    ~RemoteMemory() {
        if (address_ != nullptr)
            VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    }
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;
    void* Address() const { return address_; }
    bool Write(const void* bytes, std::size_t size, std::size_t at = 0) const {
        return WriteProcessMemory(process_, static_cast<char*>(address_) + at, bytes, size,
                                  nullptr) != FALSE;
    }
    bool Read(void* bytes, std::size_t size, std::size_t at = 0) const {
        return ReadProcessMemory(process_, static_cast<char*>(address_) + at, bytes, size,
                                 nullptr) != FALSE;
    }

private:
    HANDLE process_;
    void* address_;
};

struct ProcessCloser {
    void operator()(HANDLE process) const { CloseHandle(process); }
};

std::string Utf8(const std::wstring& text) {
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length > 0 ? length : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), length, nullptr, nullptr);
    utf8.resize(utf8.size() - 1);
    return utf8;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: list-view-text WINDOW_TITLE\n");
        return 2;
    }
    HWND window = FindWindowA(nullptr, argv[1]);
    HWND list = window != nullptr ? FindWindowExA(window, nullptr, "Quillet.SysListView32", nullptr)
                                  : nullptr;
    if (list == nullptr) {
        std::fprintf(stderr, "list-view-text: no list in a window titled %s\n", argv[1]);
        return 1;
    }
    DWORD processId = 0;
    GetWindowThreadProcessId(list, &processId);
    const std::unique_ptr<void, ProcessCloser> process(
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
    if (!process) {
        std::fprintf(stderr, "list-view-text: cannot open the program's process\n");
        return 1;
    }
    constexpr std::size_t kTextRoom = 1024;
    const RemoteMemory item(process.get(), sizeof(LVITEMW) + kTextRoom * sizeof(wchar_t));
    const RemoteMemory rect(process.get(), sizeof(RECT));
    const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        std::wstring texts[2];
        for (int column = 0; column < 2; ++column) {
            LVITEMW request{};
            request.iSubItem = column;
            request.cchTextMax = static_cast<int>(kTextRoom);
            request.pszText =
                reinterpret_cast<LPWSTR>(static_cast<char*>(item.Address()) + sizeof(LVITEMW));
            item.Write(&request, sizeof request);
            const auto length = static_cast<std::size_t>(
                SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                             reinterpret_cast<LPARAM>(item.Address())));
            texts[column].resize(std::min(length, kTextRoom));
            item.Read(texts[column].data(), texts[column].size() * sizeof(wchar_t),
                      sizeof(LVITEMW));
        }
        // The list reads the column from `top` and the part of it from `left`.
        RECT value{};
        value.left = LVIR_LABEL;
        value.top = 1;
        rect.Write(&value, sizeof value);
        SendMessageW(list, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(rect.Address()));
        rect.Read(&value, sizeof value);
        MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&value), 2);
        std::printf("%ld %ld %ld %ld\t%s\t%s\n", value.left, value.top, value.right, value.bottom,
                    Utf8(texts[0]).c_str(), Utf8(texts[1]).c_str());
    }
    return 0;
}
