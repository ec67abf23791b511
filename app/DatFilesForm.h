// The DAT Files dialog: the DAT files in use, each with what reading it gave, and the buttons
// that add and remove them.
#pragma once

#include "app/DatFiles.h"
#include "app/Progress.h"
#include "ui/Controls.h"
#include "ui/Dialogs.h"
#include "ui/Forms.h"

#include <functional>

namespace quillet::app {

class TfrmDatFiles : public ui::TForm {
public:
    TfrmDatFiles(ui::TForm& mainForm, TDatFiles& files, TfrmProgress& progress,
                 TComponent* owner = nullptr);
    std::string ClassName() const override { return "TfrmDatFiles"; }

    ui::TListView* lvFiles = nullptr;
    ui::TBitBtn* btnAdd = nullptr;
    ui::TBitBtn* btnRemove = nullptr;
    ui::TBitBtn* btnClose = nullptr;
    ui::TOpenDialog* OpenDialog1 = nullptr;

    void btnAddClick();
    void btnRemoveClick();
    // Shows the list as it is now.
    void Refresh();

    // The list changed and was read again.
    std::function<void()> OnChanged;

private:
    // Keeps the list, reads it again and shows it.
    void Changed();

    TDatFiles& files_;
    TfrmProgress& progress_;
};

// Reads every DAT file of the list, with the progress window up for large ones.
void ReadDatFiles(TDatFiles& files, TfrmProgress& progress);

} // namespace quillet::app
