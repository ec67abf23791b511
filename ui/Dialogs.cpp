#include "ui/Dialogs.h"

#include <commdlg.h>

#include <cstring>

namespace quillet::ui {

bool TFileDialog::Run(HWND owner, DWORD flags, bool save) {
    // The filter list is pairs of zero-ended strings, ended by one more zero.
    std::string filter;
    for (const auto& [text, pattern] : Filter) {
        filter += text;
        filter += '\0';
        filter += pattern;
        filter += '\0';
    }
    filter += '\0';

    std::vector<char> name(MAX_PATH * 4, '\0');
    std::strncpy(name.data(), FileName.c_str(), name.size() - 1);
    std::string extension = DefaultExt;

    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = static_cast<DWORD>(FilterIndex);
    dialog.lpstrFile = name.data();
    dialog.nMaxFile = static_cast<DWORD>(name.size());
    dialog.lpstrTitle = Title.empty() ? nullptr : Title.c_str();
    dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    dialog.Flags = OFN_EXPLORER | (PathMustExist ? OFN_PATHMUSTEXIST : 0) | flags;
    if (!(save ? GetSaveFileNameA(&dialog) : GetOpenFileNameA(&dialog)))
        return false;
    FileName = name.data();
    FilterIndex = static_cast<int>(dialog.nFilterIndex);
    return true;
}

bool TOpenDialog::Execute(HWND owner) {
    return Run(owner, FileMustExist ? OFN_FILEMUSTEXIST : 0, false);
}

bool TSaveDialog::Execute(HWND owner) {
    // A read-only file would not be replaced: the dialog says so while the user can choose again.
    return Run(owner, (OverwritePrompt ? OFN_OVERWRITEPROMPT : 0) | OFN_NOREADONLYRETURN, true);
}

} // namespace quillet::ui
