// The Details window: everything quillet-info --details tells about the image on show, and
// what the DAT files in use know of it, as field and value rows, grouped the same way.
#pragma once

#include "rom/DetailsDescription.h"
#include "ui/Controls.h"
#include "ui/Forms.h"

#include <optional>
#include <string>
#include <vector>

namespace quillet::app {

// What the window shows: nothing yet, the details of an image, or why it has none.
struct DetailsOnShow {
    std::string file;                // empty before the first image
    std::vector<DetailGroup> groups; // empty when the details could not be had
    std::string problem;             // why not, when they could not
    bool computing = false;          // still under way
};

class TfrmDetails : public ui::TForm {
public:
    // Owned by `mainForm`, so that the program keeps one task-bar button.
    explicit TfrmDetails(ui::TForm& mainForm, TComponent* owner = nullptr);
    std::string ClassName() const override { return "TfrmDetails"; }

    ui::TListView* lvDetails = nullptr;
    ui::TBitBtn* btnCopyAll = nullptr;
    ui::TBitBtn* btnClose = nullptr;

    // Fills the rows anew; the window keeps what it shows while it is hidden.
    void ShowDetails(const DetailsOnShow& details);
    // The rows as "field: value" lines: the selected ones, or all of them.
    std::wstring RowsText(bool selectedOnly) const;
    void CopySelected();
    void CopyAll();

    enum Command { cmdCopy = ui::kFirstCommandId };

private:
    void Arrange();
};

} // namespace quillet::app
