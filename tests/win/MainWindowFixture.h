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
    // Opens `path` as the open command does, and waits for its details unless told not to.
    std::vector<SeenBox> Open(const std::string& path, bool waitForDetails = true) {
        form.OpenDialog1->FileName = path;
        MessageBoxAnswerer cancel(IDCANCEL);
        // The loading window stays on top of everything: it must be gone before any box.
        cancel.OnSeen = [this](const SeenBox&) { boxUnderLoadingWindow |= load.Visible(); };
        form.btnOpenClick();
        if (waitForDetails)
            WaitForDetails();
        return cancel.Seen();
    }
    void WaitForDetails() {
        const DWORD start = GetTickCount();
        while ((form.DetailsComputing() || form.DatSearching()) && GetTickCount() - start < 120000)
            PumpMessages(5);
        ASSERT_FALSE(form.DetailsComputing()) << "the details never came";
        ASSERT_FALSE(form.DatSearching()) << "the search in the DAT files never ended";
    }
    bool boxUnderLoadingWindow = false;

    NoSettings noSettings;
    TempFolder folder;
    StringSink log;
    app::TForm1 form;
    app::TLoad load;
};

} // namespace quillet::testing
