#include "app/Details.h"

#include "ui/Clipboard.h"
#include "ui/TextCoding.h"

namespace quillet::app {

namespace {

constexpr int kClientWidth = 600;
constexpr int kClientHeight = 440;
constexpr int kMargin = 8;
constexpr int kButtonWidth = 81;
constexpr int kButtonHeight = 25;

} // namespace

TfrmDetails::TfrmDetails(ui::TForm& mainForm, TComponent* owner) : TForm(owner) {
    SetName("frmDetails");
    CreateForm("Details", kClientWidth, kClientHeight, ui::TBorderStyle::Sizeable,
               {.systemMenu = true, .minimize = false, .maximize = true}, false, &mainForm);
    Font().Set("MS Sans Serif", -11);
    lvDetails = &Create<ui::TListView>(*this, RECT{0, 0, 100, 100});
    lvDetails->AddColumn("Field", 130);
    lvDetails->AddColumn("Value", 360);
    btnCopyAll = &Create<ui::TBitBtn>(*this, RECT{0, 0, kButtonWidth, kButtonHeight}, "Copy &all");
    btnClose = &Create<ui::TBitBtn>(*this, RECT{0, 0, kButtonWidth, kButtonHeight}, "Close");
    btnCopyAll->OnClick = [this](TComponent*) { CopyAll(); };
    btnClose->OnClick = [this](TComponent*) { Close(); };
    // Enter and Escape close it, as in any dialog; Ctrl+C copies the selected rows.
    SetDefaultButton(btnClose);
    SetCancelButton(btnClose);
    AddShortcut('C', cmdCopy);
    OnMenuCommand = [this](int command) {
        if (command == cmdCopy)
            CopySelected();
    };
    OnResize = [this](TComponent*) { Arrange(); };
    Arrange();
    ShowDetails({});
    CenterOnScreen();
}

void TfrmDetails::Arrange() {
    const int width = ClientWidth();
    const int height = ClientHeight();
    const int buttonsTop = height - kMargin - kButtonHeight;
    lvDetails->SetBounds(kMargin, kMargin, std::max(0, width - 2 * kMargin),
                         std::max(0, buttonsTop - 2 * kMargin));
    btnClose->SetBounds(width - kMargin - kButtonWidth, buttonsTop, kButtonWidth, kButtonHeight);
    btnCopyAll->SetBounds(width - 2 * (kMargin + kButtonWidth), buttonsTop, kButtonWidth,
                          kButtonHeight);
}

void TfrmDetails::ShowDetails(const DetailsOnShow& details) {
    lvDetails->Clear();
    if (details.file.empty()) {
        lvDetails->AddRow({L"Image", L"No image is loaded yet."}, ui::TRowStyle::Heading);
    } else {
        lvDetails->AddRow({L"Image", ui::AnsiToWide(details.file)}, ui::TRowStyle::Heading);
        if (!details.problem.empty())
            lvDetails->AddRow({L"Details", ui::AnsiToWide(details.problem)},
                              ui::TRowStyle::Indented);
        // Each group the details will fill, so that the window does not jump when they come.
        if (details.computing)
            for (const char* group : kDetailGroups)
                lvDetails->AddRow({ui::AnsiToWide(group), L"Computing\u2026"},
                                  ui::TRowStyle::Heading);
    }
    for (const DetailGroup& group : details.groups) {
        lvDetails->AddRow({ui::AnsiToWide(group.title), L""}, ui::TRowStyle::Heading);
        // Game names from DAT files are UTF-8; everything else is the program's own ANSI.
        const bool utf8 = group.title == "Dat";
        for (const DetailRow& row : group.rows)
            lvDetails->AddRow({ui::AnsiToWide(row.field),
                               utf8 ? ui::Utf8ToWide(row.value) : ui::AnsiToWide(row.value)},
                              ui::TRowStyle::Indented);
    }
    // The values, hashes among them, are never cut: the column takes the longest.
    lvDetails->FitColumn(0);
    lvDetails->FitColumn(1);
}

std::wstring TfrmDetails::RowsText(bool selectedOnly) const {
    std::vector<int> rows = lvDetails->SelectedRows();
    if (!selectedOnly) {
        rows.clear();
        for (int row = 0; row < lvDetails->RowCount(); ++row)
            rows.push_back(row);
    }
    std::wstring text;
    for (const int row : rows) {
        const std::wstring value = lvDetails->Text(row, 1);
        text += lvDetails->Text(row, 0) + L":";
        if (!value.empty())
            text += L" " + value;
        text += L"\r\n";
    }
    return text;
}

void TfrmDetails::CopySelected() {
    const std::wstring text = RowsText(true);
    if (!text.empty())
        ui::SetClipboardText(Handle(), text);
}

void TfrmDetails::CopyAll() {
    ui::SetClipboardText(Handle(), RowsText(false));
}

} // namespace quillet::app
