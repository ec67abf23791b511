#include "app/DatFilesForm.h"

#include "ui/TextCoding.h"

#include <algorithm>

namespace quillet::app {

void ReadDatFiles(TDatFiles& files, TfrmProgress& progress) {
    struct FinishWhenDone {
        TfrmProgress& progress;
        ~FinishWhenDone() { progress.Finish(); }
    } finish{progress};
    files.ReadAll([&](const std::string& path, std::uint64_t done, std::uint64_t total) {
        progress.Step(path, done, total);
    });
}

TfrmDatFiles::TfrmDatFiles(ui::TForm& mainForm, TDatFiles& files, TfrmProgress& progress,
                           TComponent* owner)
    : TForm(owner), files_(files), progress_(progress) {
    SetName("frmDatFiles");
    CreateForm("DAT Files", 460, 214, ui::TBorderStyle::Dialog,
               {.systemMenu = true, .minimize = false, .maximize = false}, false, &mainForm);
    Font().Set("MS Sans Serif", -11);
    lvFiles = &Create<ui::TListView>(*this, RECT{8, 8, 452, 172});
    lvFiles->AddColumn("File", 290);
    lvFiles->AddColumn("Status", 150);
    btnAdd = &Create<ui::TBitBtn>(*this, RECT{8, 181, 89, 206}, "&Add...");
    btnRemove = &Create<ui::TBitBtn>(*this, RECT{97, 181, 178, 206}, "&Remove");
    btnClose = &Create<ui::TBitBtn>(*this, RECT{371, 181, 452, 206}, "Close");
    btnAdd->OnClick = [this](TComponent*) { btnAddClick(); };
    btnRemove->OnClick = [this](TComponent*) { btnRemoveClick(); };
    btnClose->OnClick = [this](TComponent*) { SetModalResult(ui::mrOk); };
    SetDefaultButton(btnClose);
    SetCancelButton(btnClose);

    OpenDialog1 = &Create<ui::TOpenDialog>();
    OpenDialog1->Title = "Add DAT File";
    OpenDialog1->Filter = {
        {"DAT files (*.dat;*.xml;*.zip;*.7z;*.gz)", "*.dat;*.xml;*.zip;*.7z;*.gz"},
        {"All files (*.*)", "*.*"}};
    CenterOnScreen();
}

void TfrmDatFiles::Refresh() {
    lvFiles->Clear();
    for (const DatFileEntry& entry : files_.Entries())
        lvFiles->AddRow({ui::AnsiToWide(entry.path), ui::AnsiToWide(entry.Status())});
    lvFiles->FitColumn(0);
    lvFiles->FitColumn(1);
    btnRemove->SetEnabled(!files_.Entries().empty());
}

void TfrmDatFiles::btnAddClick() {
    if (!OpenDialog1->Execute(Handle()) || !files_.Add(OpenDialog1->FileName))
        return;
    Changed();
    lvFiles->SelectRow(lvFiles->RowCount() - 1, true);
}

void TfrmDatFiles::btnRemoveClick() {
    std::vector<int> rows = lvFiles->SelectedRows();
    // From the last, so that the indexes of the others stay right.
    std::sort(rows.rbegin(), rows.rend());
    for (const int row : rows)
        files_.Remove(static_cast<std::size_t>(row));
    if (!rows.empty())
        Changed();
}

void TfrmDatFiles::Changed() {
    files_.SaveList();
    ReadDatFiles(files_, progress_);
    Refresh();
    if (OnChanged)
        OnChanged();
}

} // namespace quillet::app
