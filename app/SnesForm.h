// The main window: the image on show, its pages, the pad's key bindings and the animated logo.
#pragma once

#include "app/Settings.h"
#include "archive/Archive.h"
#include "base/TextSink.h"
#include "dat/DatFile.h"
#include "rom/ImageDetails.h"
#include "rom/ImageLoader.h"
#include "rom/SnesImageInfo.h"
#include "ui/Dialogs.h"
#include "ui/Forms.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace quillet::app {

using quillet::kRomBufferSize;

class TAboutBox;
class TDatFiles;
class TfrmDatFiles;
class TfrmDetails;
class TLoad;
class TdlgWarn;
class TfrmDirectX;

// The name the patch command suggests for its result: the patch's name in the image's folder,
// with the image's extension ("C:\roms\Game.smc" and "Hack v1.2.bps" give
// "C:\roms\Hack v1.2.smc").
std::string PatchedImageName(const std::string& image, const std::string& patch);

class TForm1 : public ui::TForm {
public:
    explicit TForm1(TComponent* owner = nullptr);
    std::string ClassName() const override { return "TForm1"; }

    // Controls, by their design names.
    ui::TBitBtn* btnOpen = nullptr;
    ui::TBitBtn* btnEmu = nullptr;
    ui::TBitBtn* btnExit = nullptr;
    ui::TPageControl* PageControl1 = nullptr;
    ui::TTabSheet* TabSheet1 = nullptr;
    ui::TTabSheet* TabSheet2 = nullptr;
    ui::TTabSheet* TabSheet3 = nullptr;
    ui::TImage* ProgramIcon = nullptr;
    ui::TLabel* Label1 = nullptr;
    ui::TEdit* FilenameEdit = nullptr;
    ui::TEdit* DOSSizeEdit = nullptr;
    ui::TEdit* edtFileFmt = nullptr;
    std::array<ui::TSpeedButton*, 4> SpeedButtons{};
    ui::TLabel* lblGameName = nullptr;
    ui::TEdit* edtRomFmt = nullptr;
    ui::TEdit* edtRomSize = nullptr;
    ui::TEdit* edtSRAMSize = nullptr;
    ui::TEdit* edtSpecial = nullptr;
    ui::TEdit* edtCountry = nullptr;
    ui::TEdit* edtMaker = nullptr;
    ui::TEdit* Memo1 = nullptr;
    ui::THotKey* HotKeyUp = nullptr;
    ui::THotKey* HotKeyDown = nullptr;
    ui::THotKey* HotKeyLeft = nullptr;
    ui::THotKey* HotKeyRight = nullptr;
    ui::THotKey* HotKeyX = nullptr;
    ui::THotKey* HotKeyY = nullptr;
    ui::THotKey* HotKeyA = nullptr;
    ui::THotKey* HotKeyB = nullptr;
    ui::THotKey* HotKeyL = nullptr;
    ui::THotKey* HotKeyR = nullptr;
    ui::THotKey* HotKeyStart = nullptr;
    ui::THotKey* HotKeySelect = nullptr;
    ui::TTimer* Timer1 = nullptr;
    ui::TOpenDialog* OpenDialog1 = nullptr;
    // The patch command's: the patch to apply, and where its result goes.
    ui::TOpenDialog* PatchDialog1 = nullptr;
    ui::TSaveDialog* SaveDialog1 = nullptr;

    std::string FFileName;
    SNESImageInfo FInfo;
    std::vector<std::uint8_t> FRomBuffer;
    // What the load step found out besides: the hashes, the full header, the second opinion
    // and the checksum's diagnosis; or why it could not. They are computed on a thread of
    // their own after the load step, and arrive through the message loop.
    std::optional<ImageDetails> FDetails;
    std::string FDetailsProblem;
    bool DetailsComputing() const { return detailsComputation_ != nullptr; }
    // Whether the forms the data may match its DAT entry in are still being looked for.
    bool DatSearching() const { return datSearchTicket_ != nullptr; }

    // Menu commands.
    enum Command {
        cmdOpenGame = ui::kFirstCommandId,
        cmdResetStaticRam,
        cmdExit,
        cmdDetails,
        cmdDatFiles,
        cmdAbout,
        cmdApplyPatch
    };

    // The loading window, made after this one, and where the log goes.
    void SetLoadWindow(TLoad& load) { Load = &load; }
    void SetAboutBox(TAboutBox& about) { AboutBox = &about; }
    // The warning dialog and the full-screen placeholder that the emulate command shows.
    void SetEmulationWindows(TdlgWarn& warning, TfrmDirectX& placeholder) {
        dlgWarn = &warning;
        frmDirectX = &placeholder;
    }
    // The Details window and the DAT files it looks images up in.
    void SetDetailsWindows(TfrmDetails& details, TfrmDatFiles& datFilesDialog, TDatFiles& datFiles);
    void SetLog(TextSink& log) { log_ = &log; }
    void LogLine(std::string_view text) { log_->LogLine(text); }
    void LogText(std::string_view text) { log_->LogText(text); }

    void FormCreate();
    void btnOpenClick();
    // Opens an image as if the open dialog had returned it: a file named on the command line
    // or dropped on the window. A file that is not there is refused before anything changes.
    void OpenFile(const std::string& path);
    void btnEmuClick();
    void About1Click();
    void Details1Click();
    void DatFiles1Click();
    // Applies a patch to the image on show, as quillet-fix --patch does, writes the result
    // where the save dialog says, and opens it. Either dialog cancelled, nothing happens.
    void ApplyPatch1Click();
    // Shows the image on show, or that there is none, in the Details window.
    void RefreshDetails();
    void SpeedButton1Click();
    void LoadRomImage(const std::string& path, SNESImageInfo info);
    // The same from a source already open (an archive's member), which `path` names.
    void LoadRomImage(const std::string& path, std::unique_ptr<ByteSource> source,
                      SNESImageInfo info);
    void Timer1Timer();
    void TabSheet1Enter();
    void TabSheet1Exit();
    void PageControl1Change();
    void btnExitClick();
    void FormCloseQuery(bool& canClose);

    void LoadKeys(const std::string& section);
    void SaveKeys(const std::string& section);
    void ReadHotKey(const std::string& section, const std::string& name, ui::THotKey& field);
    void WriteHotKey(const std::string& section, const std::string& name, ui::THotKey& field);

private:
    void CreateControls();
    void CreateMenu();
    void CreateGeneralPage();
    void CreateInformationPage();
    void CreateSettingsPage();
    // The bindings in the order the settings file keeps them.
    std::vector<std::pair<const char*, ui::THotKey*>> Bindings() const;
    bool AskExit();
    void ShowStatus(std::int32_t status);
    // The open command from the dialog's answer on: shows and loads the file it names, if any.
    void ShowChosenImage();
    // The first image in an archive, or nothing after saying why there is none.
    std::unique_ptr<MemberSource> FirstImageIn(const std::string& archive);
    // Starts computing the details of the image just loaded, from the buffer and `source`.
    void ComputeDetails(std::unique_ptr<ByteSource> source, const SNESImageInfo& info,
                        LoadedImage image);
    // Stops the computation under way, if any, and the search in the DAT files: their
    // results would be of an image gone.
    void StopComputingDetails();
    // What the DAT files in use know of the image on show: the lookup of its data as it is,
    // at once, and when that finds nothing, the search through the steps on a thread of its
    // own, whose result comes through the message loop. None without DAT files.
    std::optional<DatMatch> DatMatchOnShow();
    // The image's data as the details hash it, when the buffer holds all of it.
    std::span<const std::uint8_t> LoadedData() const;

    TLoad* Load = nullptr;
    TAboutBox* AboutBox = nullptr;
    TdlgWarn* dlgWarn = nullptr;
    TfrmDirectX* frmDirectX = nullptr;
    TfrmDetails* frmDetails = nullptr;
    TfrmDatFiles* frmDatFiles = nullptr;
    TDatFiles* datFiles_ = nullptr;
    NullSink noLog_;
    TextSink* log_ = &noLog_;
    // After FRomBuffer, which it reads: it goes first. The ticket tells a result that arrives
    // through the message loop whether it is still wanted.
    std::unique_ptr<DetailsComputation> detailsComputation_;
    std::shared_ptr<int> detailsTicket_;
    // Where the buffer starts in the file, and how much of it the load step filled.
    std::uint64_t loadedFrom_ = 0;
    std::int32_t loadedSize_ = 0;
    // The last DAT lookup, and the collection it was made in.
    std::shared_ptr<const DatCollection> datMatchIn_;
    std::optional<DatMatch> datMatch_;
    std::jthread datSearch_; // reads FRomBuffer too
    std::shared_ptr<int> datSearchTicket_;
};

} // namespace quillet::app
