#include "app/SnesForm.h"

#include "app/About.h"
#include "app/DatFiles.h"
#include "app/DatFilesForm.h"
#include "app/Details.h"
#include "app/DirectX.h"
#include "app/PictureBitmaps.h"
#include "app/ROMLoad.h"
#include "app/Warning.h"
#include "base/ByteSource.h"
#include "base/Checked.h"
#include "base/NumberFormat.h"
#include "base/Utf8.h"
#include "base/Version.h"
#include "dat/DatSteps.h"
#include "files/SafeWrite.h"
#include "rom/DetailsDescription.h"
#include "rom/ImageRepair.h"
#include "rom/PatchFile.h"
#include "rom/RomAnalysis.h"
#include "rom/RomDescription.h"

#include <algorithm>
#include <array>
#include <exception>
#include <span>
#include <vector>

namespace quillet::app {

namespace {

constexpr int kClientWidth = 433;
constexpr int kClientHeight = 389;
std::string VersionTitle() {
    return std::string("Quillet ") + kProgramVersion + " Pre-Alpha";
}
constexpr const char* kFirstHint = "Cool picture eh?";

RECT Box(int left, int top, int width, int height) {
    return {left, top, left + width, top + height};
}

ui::TBitmap GlyphBitmap(app::Glyph glyph) {
    return ToBitmap(GlyphImage(glyph));
}

constexpr COLORREF kBlack = RGB(0, 0, 0);

// What the load step tells the user: a warning over the main window.
void TellLoadProblem(const std::string& text) {
    ui::Application().MessageBox(text, "Quillet", MB_OK | MB_ICONWARNING);
}

// Where a file's name starts after its folder, in either kind of separator.
std::size_t NameStart(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? 0 : slash + 1;
}

// Where the extension of the name starting at `start` begins (its dot), or the end when it has
// none; a name that starts with its only dot has none.
std::size_t ExtensionStart(const std::string& path, std::size_t start) {
    const std::size_t dot = path.find_last_of('.');
    return dot == std::string::npos || dot <= start ? path.size() : dot;
}

} // namespace

std::string PatchedImageName(const std::string& image, const std::string& patch) {
    const std::size_t imageName = NameStart(image);
    const std::size_t patchName = NameStart(patch);
    return image.substr(0, imageName) +
           patch.substr(patchName, ExtensionStart(patch, patchName) - patchName) +
           image.substr(ExtensionStart(image, imageName));
}

TForm1::TForm1(TComponent* owner) : TForm(owner), FRomBuffer(kRomBufferSize, 0) {
    SetName("Form1");
    CreateControls();
    try {
        FormCreate();
    } catch (const std::exception& error) {
        ui::Application().HandleException(error);
    }
}

void TForm1::CreateControls() {
    CreateForm("Quillet", kClientWidth, kClientHeight, ui::TBorderStyle::Single,
               {.systemMenu = true, .minimize = true, .maximize = false});
    Font().Set("MS Sans Serif", -11);
    SetIcon(ProgramIconHandle());
    CreateMenu();

    // Buttons below the pages, first in the Tab order.
    struct ButtonDesign {
        ui::TBitBtn*& button;
        int left;
        const char* caption;
        app::Glyph glyph;
    };
    const ButtonDesign buttons[] = {{btnOpen, 168, "&Open", app::Glyph::Open},
                                    {btnEmu, 256, "&Emulate", app::Glyph::Ok},
                                    {btnExit, 344, "&Close", app::Glyph::Close}};
    for (const ButtonDesign& design : buttons) {
        design.button = &Create<ui::TBitBtn>(*this, Box(design.left, 352, 81, 30), design.caption);
        design.button->Font().Set("Arial", -12);
        design.button->SetGlyph(GlyphBitmap(design.glyph), 2);
    }
    SetDefaultButton(btnOpen);
    SetCancelButton(btnExit);
    btnEmu->SetEnabled(false);
    btnEmu->SetHint("Not yet implemented");
    btnEmu->SetShowHint(true);
    btnOpen->OnClick = [this](TComponent*) { btnOpenClick(); };
    btnExit->OnClick = [this](TComponent*) { btnExitClick(); };
    btnEmu->OnClick = [this](TComponent*) { btnEmuClick(); };
    OnCloseQuery = [this](TComponent*, bool& canClose) { FormCloseQuery(canClose); };
    // A file dropped from a file manager opens as a choice in the open dialog would; of
    // several, the first.
    SetAcceptFiles(true);
    OnFilesDropped = [this](const std::vector<std::string>& files) {
        if (!files.empty())
            OpenFile(files.front());
    };

    PageControl1 = &Create<ui::TPageControl>(*this, Box(8, 0, 417, 345));
    TabSheet1 = &PageControl1->AddPage("&General");
    TabSheet2 = &PageControl1->AddPage("&Information");
    TabSheet3 = &PageControl1->AddPage("Emulation &Setings");
    PageControl1->SetActivePageIndex(0);
    PageControl1->OnChange = [this](TComponent*) { PageControl1Change(); };
    TabSheet1->OnEnter = [this](TComponent*) { TabSheet1Enter(); };
    TabSheet1->OnExit = [this](TComponent*) { TabSheet1Exit(); };

    CreateGeneralPage();
    CreateInformationPage();
    CreateSettingsPage();

    OpenDialog1 = &Create<ui::TOpenDialog>();
    OpenDialog1->Title = "Open Game";
    OpenDialog1->DefaultExt = "*.SFC;*.SMC;*.078;*.FIG;*.SWC";
    OpenDialog1->Filter = {{"All SNES images", "*.SFC;*.SMC;*.078;*.FIG;*.SWC"},
                           {"Super Famicom files (*.SFC)", "*.SFC"},
                           {"Super Magicom files (*.SMC)", "*.SMC"},
                           {"Game Doctor (*.078)", "*.078"},
                           {"Pro Fighter files (*.FIG)", "*.FIG"},
                           {"Super Wild Card (*.SWC)", "*.SWC"},
                           // Images as collections keep them: the first image inside opens.
                           {"Zipped images (*.zip)", "*.zip"}};
    OpenDialog1->FilterIndex = 1;

    PatchDialog1 = &Create<ui::TOpenDialog>();
    PatchDialog1->Title = "Apply Patch";
    PatchDialog1->Filter = {{"Patches (*.ips;*.bps;*.ups)", "*.ips;*.bps;*.ups"},
                            {"All files (*.*)", "*.*"}};
    SaveDialog1 = &Create<ui::TSaveDialog>();
    SaveDialog1->Title = "Save Patched Image";

    Timer1 = &Create<ui::TTimer>(100);
    Timer1->OnTimer = [this](TComponent*) { Timer1Timer(); };
}

void TForm1::CreateMenu() {
    ui::TMainMenu menu;
    menu.AddMenu("&File", {{"&Open Game...", cmdOpenGame},
                           {"&Details...\tCtrl+D", cmdDetails},
                           {"DAT &Files...", cmdDatFiles},
                           {"Apply &Patch...", cmdApplyPatch},
                           {"-", 0},
                           {"&Reset Static RAM", cmdResetStaticRam},
                           {"-", 0},
                           {"E&xit", cmdExit}});
    menu.AddMenu("&Help", {{"&About...", cmdAbout}});
    SetMenu(menu.Release());
    AddShortcut('D', cmdDetails);
    OnMenuCommand = [this](int command) {
        if (command == cmdOpenGame)
            btnOpenClick();
        if (command == cmdExit)
            btnExitClick();
        if (command == cmdAbout)
            About1Click();
        if (command == cmdDetails)
            Details1Click();
        if (command == cmdDatFiles)
            DatFiles1Click();
        if (command == cmdApplyPatch)
            ApplyPatch1Click();
        // "Reset Static RAM" does nothing yet: there is no emulation whose RAM it could reset.
    };
}

void TForm1::CreateGeneralPage() {
    ui::TTabSheet& page = *TabSheet1;
    ProgramIcon = &Create<ui::TImage>(page, Box(8, 8, 76, 35));
    ProgramIcon->SetHint(kFirstHint);
    ProgramIcon->SetShowHint(true);
    Label1 = &Create<ui::TLabel>(page, 88, 9, VersionTitle(), SIZE{288, 29});
    Label1->Font().Set("Times New Roman", -25, ui::FontStyle::Bold);
    Label1->Font().SetColor(kBlack);
    Create<ui::TBevel>(page, Box(8, 48, 393, 3));

    struct Row {
        const char* label;
        int top;
        ui::TEdit*& field;
    };
    const Row rows[] = {{"Filename:", 64, FilenameEdit},
                        {"DOS Size:", 88, DOSSizeEdit},
                        {"File Format:", 112, edtFileFmt}};
    for (const Row& row : rows) {
        Create<ui::TLabel>(page, 8, row.top, row.label);
        row.field = &Create<ui::TEdit>(page, Box(112, row.top, 289, 17));
    }
}

void TForm1::CreateInformationPage() {
    ui::TTabSheet& page = *TabSheet2;
    const app::Glyph glyphs[] = {app::Glyph::StatusNone, app::Glyph::StatusValid,
                                 app::Glyph::StatusMinor, app::Glyph::StatusUnusable};
    const char* hints[] = {"No SNES ROM Image has been loaded yet!",
                           "Valid SNES ROM Image loaded and ready.",
                           "SNES Image loaded, Unknown format, or minor errors in image.",
                           "Image loaded, but fatal errors in ROM may prevent execution."};
    for (std::size_t i = 0; i < SpeedButtons.size(); ++i) {
        SpeedButtons[i] = &Create<ui::TSpeedButton>(page, Box(8, 8, 34, 34));
        SpeedButtons[i]->SetGlyph(GlyphBitmap(glyphs[i]));
        SpeedButtons[i]->SetHint(hints[i]);
        SpeedButtons[i]->SetShowHint(true);
        SpeedButtons[i]->OnClick = [this](TComponent*) { SpeedButton1Click(); };
    }
    SpeedButtons[0]->SetVisible(true);

    lblGameName = &Create<ui::TLabel>(page, 48, 11, "(No Game Loaded)", SIZE{353, 33});
    lblGameName->Font().Set("Times New Roman", -24);
    lblGameName->Font().SetColor(kBlack);
    Create<ui::TBevel>(page, Box(8, 48, 393, 3));

    struct Row {
        const char* label;
        int top;
        ui::TEdit** field;
    };
    const Row rows[] = {{"ROM Format:", 64, &edtRomFmt},   {"ROM Size:", 88, &edtRomSize},
                        {"SRAM Size:", 112, &edtSRAMSize}, {"Special Chips:", 136, &edtSpecial},
                        {"Country:", 160, &edtCountry},    {"Manufacturer:", 184, &edtMaker},
                        {"Errors Found:", 208, nullptr}};
    for (const Row& row : rows) {
        Create<ui::TLabel>(page, 8, row.top, row.label);
        if (row.field != nullptr)
            *row.field = &Create<ui::TEdit>(page, Box(112, row.top, 289, 17));
    }
    Memo1 = &Create<ui::TEdit>(page, Box(80, 208, 321, 105), true);
}

void TForm1::CreateSettingsPage() {
    ui::TTabSheet& page = *TabSheet3;
    Create<ui::TBevel>(page, Box(8, 200, 393, 3));

    // Pad buttons in Tab order, each with its label, field and default key.
    struct Binding {
        const char* caption;
        int labelLeft, labelTop, fieldLeft, fieldTop;
        ui::THotKey*& field;
        BYTE key;
        BYTE modifiers;
    };
    const Binding bindings[] = {
        {"Up", 8, 218, 40, 216, HotKeyUp, VK_UP, HOTKEYF_EXT},
        {"Down", 8, 242, 40, 240, HotKeyDown, VK_DOWN, HOTKEYF_EXT},
        {"Left", 8, 266, 40, 264, HotKeyLeft, VK_LEFT, HOTKEYF_EXT},
        {"Right", 8, 290, 40, 288, HotKeyRight, VK_RIGHT, HOTKEYF_EXT},
        {"X", 144, 218, 160, 216, HotKeyX, 'A', 0},
        {"Y", 144, 242, 160, 240, HotKeyY, 'S', 0},
        {"A", 144, 266, 160, 264, HotKeyA, 'Z', 0},
        {"B", 144, 290, 160, 288, HotKeyB, 'X', 0},
        {"L", 264, 218, 296, 216, HotKeyL, 'Q', 0},
        {"R", 264, 242, 296, 240, HotKeyR, 'A', 0},
        {"Start", 264, 266, 296, 264, HotKeyStart, VK_RETURN, 0},
        {"Select", 264, 290, 296, 288, HotKeySelect, VK_SPACE, 0},
    };
    for (const Binding& b : bindings) {
        Create<ui::TLabel>(page, b.labelLeft, b.labelTop, b.caption);
        b.field = &Create<ui::THotKey>(page, Box(b.fieldLeft, b.fieldTop, 89, 19));
        b.field->SetKey(b.key, b.modifiers);
    }
}

void TForm1::FormCreate() {
    CenterOnScreen();
    FFileName.clear();
    Label1->SetCaption(VersionTitle());
    SetCaption("Quillet");
    LoadKeys("Main");
    Timer1->SetEnabled(true);
}

void TForm1::Timer1Timer() {
    const int frame = Tag();
    ProgramIcon->Picture().CopyFrom(AnimationBitmaps()[static_cast<std::size_t>(frame)]);
    SetTag((frame + 1) % kFrameCount);
    ProgramIcon->SetHint((Tag() & 16) != 0 ? "Pellow made it. hehehe" : "Cool picture, eh?");
    ProgramIcon->Repaint();
}

void TForm1::TabSheet1Enter() {
    Timer1->SetEnabled(true);
}

void TForm1::TabSheet1Exit() {
    Timer1->SetEnabled(false);
}

void TForm1::PageControl1Change() {
    Timer1->SetEnabled(PageControl1->ActivePageIndex() == 0);
}

void TForm1::btnOpenClick() {
    LogLine("Open clicked...");
    if (FFileName.empty())
        SaveKeys("Main");
    Timer1->SetEnabled(false);
    // Whatever the answer: a cancelled dialog keeps the name chosen last.
    OpenDialog1->Execute(Handle());
    ShowChosenImage();
}

void TForm1::OpenFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        TellLoadProblem(EFOpenError(path).Message() + ".");
        return;
    }
    OpenDialog1->FileName = path;
    ShowChosenImage();
}

void TForm1::ShowChosenImage() {
    // Whatever becomes of the command, the Details window follows the image on show.
    struct RefreshWhenDone {
        TForm1& form;
        ~RefreshWhenDone() {
            try {
                form.RefreshDetails();
            } catch (const std::exception& error) {
                // On the way out of a failed command, its own error is the one to show.
                if (std::uncaught_exceptions() == 0)
                    ui::Application().HandleException(error);
            }
        }
    } refresh{*this};
    // An archive stands for the first image in it, named ARCHIVE#MEMBER.
    const std::string chosen = OpenDialog1->FileName;
    std::unique_ptr<MemberSource> member;
    if (!chosen.empty() && ArchiveFormatOf(chosen))
        member = FirstImageIn(chosen);
    if (!chosen.empty() && (member || !ArchiveFormatOf(chosen))) {
        StopComputingDetails();
        FDetails.reset();
        FDetailsProblem = "The open command did not get as far as reading the image.";
        FFileName = member ? member->Name() : chosen;
        FilenameEdit->SetText(FFileName);
        if (member)
            AnalyseRomImage(*member, FInfo, *log_);
        else
            AnalyseRomImage(FFileName, FInfo, *log_);
        const char separator = ui::DecimalSeparator();
        edtRomFmt->SetText(RomFormatText(FInfo));
        edtSRAMSize->SetText(SramSizeText(FInfo));
        edtRomSize->SetText(RomSizeText(FInfo, separator));
        edtSpecial->SetText(SpecialChipsText(FInfo));
        edtMaker->SetText(ManufacturerText(FInfo));
        edtCountry->SetText(CountryText(FInfo));
        // The title's bytes have no encoding of their own; the window shows UTF-8.
        lblGameName->SetCaption(BytesAsText(FInfo.Name));
        DOSSizeEdit->SetText(FileSizeText(FInfo, separator));
        edtFileFmt->SetText(FInfo.FileFormat);
        LogLine(FormatDecimal(FInfo.Status));
        Memo1->SetText(FInfo.Errors + "\r\n");
        ShowStatus(FInfo.Status);
        LoadRomImage(FFileName, std::move(member), FInfo);
    }
    LogLine("Open Finished...");
    Timer1->SetEnabled(true);
}

void TForm1::btnEmuClick() {
    // A title that cannot name a section has no entry: it warns every time. One silenced in
    // this run counts as stored, whether or not the profile functions find it yet.
    const std::optional<std::string> section = ImageSection(FInfo.Name);
    if (SpeedButtons[0]->Tag() == 2 &&
        (!section ||
         (GetPrivateProfileIntA(section->c_str(), "WarnErrors", 0, kSettingsFile) == 0 &&
          !dlgWarn->SilencedThisRun(*section)))) {
        // One entry in the memo, which ends with a line break like every entry.
        dlgWarn->Memo1->SetText("This ROM may be unusable because of the following errors: \r\n" +
                                FInfo.Errors + "\r\n");
        dlgWarn->ShowModal();
    }
    frmDirectX->ShowModal();
}

void TForm1::SetDetailsWindows(TfrmDetails& details, TfrmDatFiles& datFilesDialog,
                               TDatFiles& datFiles) {
    frmDetails = &details;
    frmDatFiles = &datFilesDialog;
    datFiles_ = &datFiles;
    frmDatFiles->OnChanged = [this] { RefreshDetails(); };
}

void TForm1::Details1Click() {
    RefreshDetails();
    frmDetails->Show();
}

void TForm1::DatFiles1Click() {
    frmDatFiles->Refresh();
    frmDatFiles->ShowModal();
}

void TForm1::ApplyPatch1Click() {
    if (FFileName.empty()) {
        ui::Application().MessageBox("There is no image to patch: open one first.", "Quillet",
                                     MB_OK | MB_ICONINFORMATION);
        return;
    }
    const std::string image = FFileName;
    if (!PatchDialog1->Execute(Handle()))
        return;
    const std::string patch = PatchDialog1->FileName;

    // The result keeps the image's kind of name, whatever the user types.
    const std::size_t imageName = NameStart(image);
    const std::size_t dot = ExtensionStart(image, imageName);
    const std::string extension = dot < image.size() ? image.substr(dot + 1) : "";
    SaveDialog1->DefaultExt = extension;
    SaveDialog1->Filter.clear();
    if (!extension.empty())
        SaveDialog1->Filter.push_back(
            {"Images like this one (*." + extension + ")", "*." + extension});
    SaveDialog1->Filter.push_back({"All files (*.*)", "*.*"});
    SaveDialog1->FilterIndex = 1;
    SaveDialog1->FileName = PatchedImageName(image, patch);
    if (!SaveDialog1->Execute(Handle()))
        return;
    const std::string target = SaveDialog1->FileName;

    // What quillet-fix --patch says goes into the same words here: the refusals follow the
    // image's name, as in its messages, and nothing is written.
    const auto tell = [](const std::string& text, UINT icon) {
        ui::Application().MessageBox(text, "Quillet", MB_OK | icon);
    };
    PatchOutcome outcome;
    try {
        outcome = ApplyPatchFile(patch, ReadImageFile(image));
    } catch (const EPatchRefused& refusal) {
        tell(image + ": " + refusal.Message(), MB_ICONWARNING);
        return;
    } catch (const ERepairRefused& refusal) { // an image too large to be a cartridge
        tell(image + ": " + refusal.Message(), MB_ICONWARNING);
        return;
    } catch (const Exception& failure) { // cannot be opened or read
        tell(failure.Message(), MB_ICONERROR);
        return;
    }

    // The dialog asked before an existing file was chosen: it is replaced.
    const std::unique_ptr<FileLayer> files = MakeSystemFileLayer();
    try {
        WriteFileSafely(*files, target, outcome.image, true);
    } catch (const EWriteFailure& failure) {
        const bool existed = files->Exists(target);
        tell(image + ": " + failure.Message() + "; " +
                 (existed ? target + " is as it was" : "nothing was written"),
             MB_ICONERROR);
        return;
    }
    for (const std::string& line : DescribePatchLines(outcome, true))
        LogLine(image + ": " + line);
    LogLine(image + ": wrote " + target);
    OpenFile(target);
}

void TForm1::RefreshDetails() {
    if (frmDetails == nullptr)
        return;
    DetailsOnShow shown;
    if (!FFileName.empty()) {
        shown.file = FFileName;
        shown.problem = FDetailsProblem;
        shown.computing = DetailsComputing();
        if (FDetails) {
            shown.groups = DescribeDetails(*FDetails, DatMatchOnShow());
            if (DatSearching())
                for (DetailGroup& group : shown.groups)
                    if (group.title == "Dat")
                        group.rows.push_back({"Explanation", "Computing\u2026"});
        }
    }
    frmDetails->ShowDetails(shown);
}

std::optional<DatMatch> TForm1::DatMatchOnShow() {
    const std::shared_ptr<const DatCollection> dats =
        datFiles_ != nullptr ? datFiles_->Collection() : nullptr;
    if (!dats || !FDetails)
        return std::nullopt;
    if (datMatch_ && datMatchIn_ == dats)
        return datMatch_;
    // Other DAT files since: what was looked for in the old ones is of no use.
    datSearch_ = {};
    datSearchTicket_.reset();
    datMatchIn_ = dats;
    datMatch_ = MatchInDats(*dats, *FDetails);
    const std::span<const std::uint8_t> data = LoadedData();
    if (datMatch_->kind != DatMatchKind::None || data.empty())
        return datMatch_;
    datSearchTicket_ = std::make_shared<int>();
    ui::Application().Handle(); // the window the result is posted to, before the thread
    auto arrived = [this, ticket = std::weak_ptr<int>(datSearchTicket_)](DatMatch match) {
        if (ticket.expired())
            return;
        datMatch_ = std::move(match);
        datSearchTicket_.reset();
        RefreshDetails();
    };
    datSearch_ = std::jthread(
        [arrived, dats, data, details = *FDetails, name = FFileName](std::stop_token stop) {
            std::optional<DatMatch> match;
            try {
                match = MatchInDatsVia(*dats, details, data, name);
            } catch (const std::exception&) { // out of memory, say: the lookup as it is stands
            }
            if (stop.stop_requested() || !match)
                return;
            try {
                ui::Application().Post(
                    [arrived, match = std::move(*match)]() mutable { arrived(std::move(match)); });
            } catch (...) { // nowhere to go from a thread of its own
            }
        });
    return datMatch_;
}

std::span<const std::uint8_t> TForm1::LoadedData() const {
    if (!FDetails || FDetails->data.offset < loadedFrom_)
        return {};
    const std::uint64_t start = FDetails->data.offset - loadedFrom_;
    if (start + FDetails->data.size > static_cast<std::uint64_t>(loadedSize_))
        return {};
    return std::span(FRomBuffer)
        .subspan(static_cast<std::size_t>(start), static_cast<std::size_t>(FDetails->data.size));
}

void TForm1::About1Click() {
    AboutBox->CenterOnScreen();
    AboutBox->Timer1->SetEnabled(true);
    AboutBox->ShowModal();
}

void TForm1::ShowStatus(std::int32_t status) {
    SpeedButtons[0]->SetTag(status);
    SpeedButtons[0]->SetVisible(false);
    for (std::size_t i = 1; i < SpeedButtons.size(); ++i)
        SpeedButtons[i]->SetVisible(status == static_cast<std::int32_t>(i));
    for (ui::TSpeedButton* button : SpeedButtons)
        button->Invalidate();
    const bool canEmulate = status == kStatusValid || status == kStatusMinor;
    SetDefaultButton(canEmulate ? btnEmu : btnOpen);
    btnEmu->SetEnabled(canEmulate);
}

void TForm1::SpeedButton1Click() {
    const std::string errors = FInfo.Errors.empty() ? "(None)" : FInfo.Errors;
    const std::int32_t status = SpeedButtons[0]->Tag();
    if (status == kStatusNone) {
        ui::Application().MessageBox("No SNES ROM Image has been loaded yet!", "Information", 0);
    } else if (status >= kStatusValid && status <= kStatusUnusable) {
        ui::Application().MessageBox(StatusText(status) + "\rErrors:\r" + errors, "Information", 0);
    }
}

std::unique_ptr<MemberSource> TForm1::FirstImageIn(const std::string& archive) {
    try {
        if (std::unique_ptr<MemberSource> member = ReadFirstImage(archive))
            return member;
        TellLoadProblem("There is no SNES image in " + archive + ".");
    } catch (const EStreamError& failure) {
        TellLoadProblem(failure.Message() + ".");
    }
    return nullptr;
}

void TForm1::LoadRomImage(const std::string& path, SNESImageInfo info) {
    LoadRomImage(path, nullptr, info);
}

void TForm1::LoadRomImage(const std::string& path, std::unique_ptr<ByteSource> source,
                          SNESImageInfo info) {
    // The computation under way reads the buffer that is about to be filled.
    StopComputingDetails();
    FDetails.reset();
    FDetailsProblem.clear();
    Load->CenterOnScreen();
    Load->Restart();
    // On top without taking the activation from the main window, and painted at once: no
    // message is handled until the load ends.
    ShowWindow(Load->Handle(), SW_SHOWNOACTIVATE);
    RedrawWindow(Load->Handle(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    // Whatever happens below, the loading window goes away again, and before any message:
    // it stays on top of everything, a message box included.
    struct HideWhenDone {
        TLoad& load;
        ~HideWhenDone() { load.Finish(); }
    } hide{*Load};
    std::unique_ptr<ByteSource> file = std::move(source);
    try {
        if (!file)
            file = std::make_unique<FileSource>(path);
    } catch (const EFOpenError& failure) {
        // Gone since the analysis, say: the pages show what the analysis found.
        FDetailsProblem = failure.Message();
        Load->Finish();
        TellLoadProblem(failure.Message() + ".");
        return;
    }
    LoadedImage image;
    try {
        image = LoadImageData(*file, info, FRomBuffer,
                              [this](std::int32_t percent) { Load->ShowProgress(percent); });
    } catch (const EReadFailure& failure) {
        // An error of the command, which ends it; the Details window says why too.
        FDetailsProblem = failure.Message();
        throw;
    }
    Load->Finish();
    const std::int64_t dataSize = image.dataSize;
    const std::int32_t loaded = image.loaded;
    loadedFrom_ = image.copierHeader.size();
    loadedSize_ = loaded;
    ComputeDetails(std::move(file), info, std::move(image));
    if (dataSize <= 0)
        TellLoadProblem("The file " + path + " holds no image data after its copier header.");
    else if (dataSize > loaded)
        TellLoadProblem("Only the first " + FormatDecimal(loaded) + " of the " +
                        FormatDecimal(dataSize) +
                        " bytes of image data were loaded: Quillet holds images of up to 32 "
                        "megabits.");
}

void TForm1::ComputeDetails(std::unique_ptr<ByteSource> source, const SNESImageInfo& info,
                            LoadedImage image) {
    StopComputingDetails();
    detailsTicket_ = std::make_shared<int>();
    // The result comes back through the message loop, whose window must exist before another
    // thread posts to it.
    ui::Application().Handle();
    auto arrived =
        [this, ticket = std::weak_ptr<int>(detailsTicket_)](DetailsComputation::Outcome outcome) {
            if (ticket.expired() || detailsComputation_ == nullptr)
                return;
            FDetails = std::move(outcome.details);
            FDetailsProblem = std::move(outcome.problem);
            detailsComputation_.reset();
            RefreshDetails();
        };
    detailsComputation_ = std::make_unique<DetailsComputation>(
        std::move(source), info, std::move(image), FRomBuffer,
        [arrived](DetailsComputation::Outcome outcome) {
            ui::Application().Post(
                [arrived, outcome = std::move(outcome)]() mutable { arrived(std::move(outcome)); });
        });
}

void TForm1::StopComputingDetails() {
    detailsComputation_.reset();
    detailsTicket_.reset();
    datSearch_ = {};
    datSearchTicket_.reset();
    datMatch_.reset();
    datMatchIn_.reset();
}

bool TForm1::AskExit() {
    return ui::Application().MessageBox("Are you sure you want to exit?", "Exit Confirmation",
                                        MB_OKCANCEL | MB_ICONQUESTION) == IDOK;
}

void TForm1::btnExitClick() {
    if (AskExit())
        ui::Application().Terminate();
    SaveKeys("Main");
}

void TForm1::FormCloseQuery(bool& canClose) {
    canClose = AskExit();
    SaveKeys("Main");
}

std::vector<std::pair<const char*, ui::THotKey*>> TForm1::Bindings() const {
    return {{"KeyUp", HotKeyUp},       {"KeyDown", HotKeyDown},   {"KeyLeft", HotKeyLeft},
            {"KeyRight", HotKeyRight}, {"KeyA", HotKeyA},         {"KeyB", HotKeyB},
            {"KeyX", HotKeyX},         {"KeyY", HotKeyY},         {"KeyR", HotKeyR},
            {"KeyL", HotKeyL},         {"KeyStart", HotKeyStart}, {"KeySelect", HotKeySelect}};
}

void TForm1::LoadKeys(const std::string& section) {
    for (const auto& [name, field] : Bindings())
        ReadHotKey(section, name, *field);
}

void TForm1::SaveKeys(const std::string& section) {
    for (const auto& [name, field] : Bindings())
        WriteHotKey(section, name, *field);
}

namespace {

HotKeyBinding BindingOf(const ui::THotKey& field) {
    return {field.VirtualKey(), field.Modifiers()};
}

} // namespace

void TForm1::ReadHotKey(const std::string& section, const std::string& name, ui::THotKey& field) {
    const BYTE before = field.Modifiers();
    const auto stored = static_cast<std::int32_t>(GetPrivateProfileIntA(
        section.c_str(), name.c_str(), ShortcutNumber(BindingOf(field)), kSettingsFile));
    const HotKeyBinding binding = FromShortcutNumber(stored);
    const auto modifierNumber = static_cast<std::int32_t>(GetPrivateProfileIntA(
        section.c_str(), (name + "2").c_str(), kKeepModifiers, kSettingsFile));

    // The key entry gives the key and Shift, Ctrl and Alt; the modifier entry adds the
    // extended flag, or keeps what the field had when it says 255.
    field.SetKey(binding.key, binding.modifiers);
    field.SetKey(binding.key,
                 modifierNumber == kKeepModifiers ? before : IntToModifiers(modifierNumber));
}

void TForm1::WriteHotKey(const std::string& section, const std::string& name, ui::THotKey& field) {
    // A write that fails is not looked at: the bindings stay in the fields, and the next
    // save tries again.
    WritePrivateProfileStringA(section.c_str(), name.c_str(),
                               FormatDecimal(ShortcutNumber(BindingOf(field))).c_str(),
                               kSettingsFile);
    WritePrivateProfileStringA(section.c_str(), (name + "2").c_str(),
                               FormatDecimal(ModifiersToInt(field.Modifiers())).c_str(),
                               kSettingsFile);
}

} // namespace quillet::app
