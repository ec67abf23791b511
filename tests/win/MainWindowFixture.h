// The main window as the program makes it, with its loading window and a log, on a machine
// without a settings file; shared by the tests of the main window and of the keyboard.
#pragma once

#include "app/ROMLoad.h"
#include "app/SnesForm.h"
#include "base/TextSink.h"
#include "tests/support/TempFolder.h"
#include "tests/win/MessageBoxes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillet::testing {

inline std::string SettingsPath() {
    char folder[MAX_PATH] = {};
    GetWindowsDirectoryA(folder, MAX_PATH);
    return std::string(folder) + "\\QUILLET.INI";
}

inline int Setting(const char* key) {
    return static_cast<int>(GetPrivateProfileIntA("Main", key, -1, "QUILLET.INI"));
}

inline int KeyOf(const ui::THotKey* field) {
    return MAKEWORD(field->VirtualKey(), field->Modifiers());
}

// Without a settings file, as on a new machine; the file goes again at the end.
struct NoSettings {
    NoSettings() { DeleteFileA(SettingsPath().c_str()); }
    ~NoSettings() { DeleteFileA(SettingsPath().c_str()); }
};

// The main window first, as in the program, so that closing it ends the program; then its
// loading window and log. The open dialog is cancelled at once: the open command goes on with
// the name preset in it.
class MainWindow : public ::testing::Test {
protected:
    MainWindow() {
        form.SetLoadWindow(load);
        form.SetLog(log);
    }
    void TearDown() override { PumpMessages(); }
    std::vector<SeenBox> Open(const std::string& path) {
        form.OpenDialog1->FileName = path;
        MessageBoxAnswerer cancel(IDCANCEL);
        // The loading window stays on top of everything: it must be gone before any box.
        cancel.OnSeen = [this](const SeenBox&) { boxUnderLoadingWindow |= load.Visible(); };
        form.btnOpenClick();
        return cancel.Seen();
    }
    bool boxUnderLoadingWindow = false;

    NoSettings noSettings;
    TempFolder folder;
    StringSink log;
    app::TForm1 form;
    app::TLoad load;
};

} // namespace quillet::testing
