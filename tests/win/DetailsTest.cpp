// The Details window and the DAT files, with the main window as the program makes them.
#include "app/Details.h"
#include "app/DatFiles.h"
#include "app/DatFilesForm.h"
#include "rom/Digests.h"
#include "rom/ImageScanner.h"
#include "tests/win/MainWindowFixture.h"
#include "tools/RomImageBuilder.h"
#include "ui/Clipboard.h"
#include "ui/TextCoding.h"

#include <gtest/gtest.h>

#include <fstream>

namespace quillet::testing {
namespace {

using namespace samples;
using Bytes = std::vector<std::uint8_t>;

class Details : public MainWindow {
protected:
    Details() {
        form.SetDetailsWindows(details, datDialog, datFiles);
        form.Show();
        PumpMessages(30);
    }

    // The rows as the window shows them, "field: value" a line.
    std::string Shown() const { return Narrow(details.RowsText(false)); }
    static std::string Narrow(const std::wstring& text) {
        return std::string(text.begin(), text.end());
    }

    // The same details found independently: the whole file, fed at once.
    std::string Expected(const std::string& path, const Bytes& image,
                         const std::optional<DatMatch>& dat = std::nullopt) const {
        ImageScanner scanner(image.size(), static_cast<std::uint64_t>(form.FInfo.HeaderSize));
        scanner.Feed(image);
        std::string text = "Image: " + path + "\r\n";
        for (const DetailGroup& group : DescribeDetails(scanner.Finish(form.FInfo), dat)) {
            text += group.title + ":\r\n";
            for (const DetailRow& row : group.rows)
                text += row.field + ":" + (row.value.empty() ? "" : " " + row.value) + "\r\n";
        }
        return text;
    }

    app::TDatFiles datFiles;
    app::TfrmDetails details{form};
    app::TfrmProgress progress{form};
    app::TfrmDatFiles datDialog{form, datFiles, progress};
};

TEST_F(Details, ShowTheLoadStepsFindingsForEveryKindOfImageAndFollowEachOpen) {
    EXPECT_EQ(Shown(), "Image: No image is loaded yet.\r\n");

    Bytes exHiRom = MakeRomData(6 * 1048576, 19); // past the 4 MiB buffer
    WriteInternalHeader(exHiRom, 0x40FFC0, {.title = "EX", .makeup = 0x35, .romSizeCode = 0x0D});
    FixChecksum(exHiRom, 0x40FFC0);
    const std::pair<const char*, Bytes> images[] = {
        {"demo.smc", DemoImage()},
        {"exhirom.smc", Concatenate(SuperWildCardHeader(0, 0), exHiRom)},
    };
    for (const auto& [name, image] : images) {
        const std::string path = folder.Write(name, image);
        Open(path);
        EXPECT_EQ(Shown(), Expected(path, image)) << name;
    }
    // The hashes of the data are those of its bytes, after the copier header.
    const Bytes demo = DemoImage();
    DigestSet data;
    data.Update(std::span(demo).subspan(512));
    const std::string demoPath = folder.Write("demo.smc", demo);
    Open(demoPath);
    EXPECT_NE(Shown().find("SHA-1: " + data.Finish().sha1 + "\r\n"), std::string::npos);

    // A file that cannot be read: the window says why instead.
    Open((folder.Path() / "gone.sfc").string());
    EXPECT_NE(Shown().find("Details: Cannot open file"), std::string::npos) << Shown();
}

TEST_F(Details, ComputeAfterTheOpenCommandAndANewerOpenOutrunsAnOlderOne) {
    const Bytes big = Concatenate(SuperWildCardHeader(0, 0), MakeRomData(6 * 1048576, 23));
    const std::string bigPath = folder.Write("big.smc", big);
    const std::string demoPath = folder.Write("demo.smc", DemoImage());
    // The pages are shown before the details are had.
    Open(demoPath, false);
    EXPECT_EQ(form.lblGameName->Caption(), "QUILLET DEMO CART    ");
    EXPECT_EQ(Shown(), "Image: " + demoPath +
                           "\r\nData: Computing&\r\nFile: Computing&\r\nCartridge: "
                           "Computing&\r\nOpinion: Computing&\r\nChecksum: Computing&\r\nCopier: "
                           "Computing&\r\n");
    // An answer already on its way, for an image no longer on show, is not taken.
    MSG posted{};
    const DWORD start = GetTickCount();
    while (!PeekMessageA(&posted, ui::Application().Handle(), WM_APP, WM_APP + 10, PM_NOREMOVE) &&
           GetTickCount() - start < 60000)
        Sleep(1);
    Open(bigPath);
    EXPECT_EQ(Shown(), Expected(bigPath, big));
    // And one still under way stops.
    Open(bigPath, false);
    Open(demoPath);
    EXPECT_EQ(Shown(), Expected(demoPath, DemoImage()));
}

TEST_F(Details, MenuAndCtrlDShowTheWindowAndItsRowsCopyAsFieldAndValueLines) {
    const std::string path = folder.Write("demo.smc", DemoImage());
    Open(path);
    form.btnOpen->SetFocus();
    PressKeyWith(VK_CONTROL, GetFocus(), 'D');
    ASSERT_TRUE(details.Visible());
    EXPECT_EQ(GetWindow(details.Handle(), GW_OWNER), form.Handle());

    // Ctrl+C: the selected rows; Copy all: every row.
    const int sha1Row = [&] {
        for (int row = 0; row < details.lvDetails->RowCount(); ++row)
            if (details.lvDetails->Text(row, 0) == L"SHA-1")
                return row;
        return -1;
    }();
    ASSERT_GE(sha1Row, 0);
    details.lvDetails->SetFocus();
    details.lvDetails->SelectRow(sha1Row, true);
    details.lvDetails->SelectRow(sha1Row - 1, true);
    PressKeyWith(VK_CONTROL, GetFocus(), 'C');
    const std::string copied = Narrow(ui::ClipboardText(details.Handle()));
    EXPECT_EQ(copied, "MD5: " + Narrow(details.lvDetails->Text(sha1Row - 1, 1)) +
                          "\r\nSHA-1: " + Narrow(details.lvDetails->Text(sha1Row, 1)) + "\r\n");
    details.btnCopyAll->Click();
    EXPECT_EQ(Narrow(ui::ClipboardText(details.Handle())), Shown());

    // Values are never cut: the column holds the longest, a SHA-256.
    RECT cell{};
    cell.top = 1;
    cell.left = LVIR_LABEL;
    SendMessageA(details.lvDetails->Handle(), LVM_GETSUBITEMRECT, static_cast<WPARAM>(sha1Row + 1),
                 reinterpret_cast<LPARAM>(&cell));
    const int needed = static_cast<int>(
        SendMessageW(details.lvDetails->Handle(), LVM_GETSTRINGWIDTHW, 0,
                     reinterpret_cast<LPARAM>(details.lvDetails->Text(sha1Row + 1, 1).c_str())));
    EXPECT_GE(cell.right - cell.left, needed);

    // Enter and Escape close it, as in any dialog.
    for (const WORD key : {WORD{VK_RETURN}, WORD{VK_ESCAPE}}) {
        details.Show();
        details.lvDetails->SetFocus();
        PressKey(GetFocus(), key);
        PumpMessages(50);
        EXPECT_FALSE(details.Visible()) << key;
    }
}

TEST_F(Details, DatFilesAreKeptInTheirOwnSectionAndABrokenOneIsListedWithItsReason) {
    const Bytes demo = DemoImage();
    DigestSet data;
    data.Update(std::span(demo).subspan(512));
    const Digests hashes = data.Finish();
    const std::string good = folder.Write("good.dat", [&] {
        const std::string xml =
            "<?xml version=\"1.0\"?><datafile><game name=\"Demo &amp; Friends\"><rom "
            "name=\"d.sfc\" size=\"1048576\" crc=\"" +
            hashes.crc32 + "\" sha1=\"" + hashes.sha1 + "\"/></game></datafile>";
        return Bytes(xml.begin(), xml.end());
    }());
    // Cut off after its root's start: a reader that loops on it would hang the window.
    const std::string cut = "<datafile>\n";
    const std::string broken = folder.Write("broken.dat", Bytes(cut.begin(), cut.end()));
    const std::string missing = (folder.Path() / "missing.dat").string();
    for (const std::string& path : {good, broken, missing})
        EXPECT_TRUE(datFiles.Add(path));
    EXPECT_FALSE(datFiles.Add(good)); // once only
    datFiles.SaveList();

    app::TDatFiles again;
    again.LoadList();
    ASSERT_EQ(again.Entries().size(), 3u);
    again.ReadAll();
    EXPECT_EQ(again.Entries()[0].Status(), "1 ROM");
    EXPECT_FALSE(again.Entries()[1].read);
    EXPECT_NE(again.Entries()[1].Status(), "");
    EXPECT_EQ(again.Entries()[1].Status().find(broken), std::string::npos); // named once
    EXPECT_FALSE(again.Entries()[2].read);
    // A count that lies is not taken at its word: the entries there are the list.
    WritePrivateProfileStringA(app::kDatFilesSection, "Count", "4000000000", "QUILLET.INI");
    app::TDatFiles lying;
    lying.LoadList();
    EXPECT_EQ(lying.Entries().size(), 3u);
    // The section is the list's alone: the design's sections are as they were.
    EXPECT_EQ(GetPrivateProfileIntA("Main", "KeyUp", -1, "QUILLET.INI"), -1);

    // The dialog shows each file with what reading it gave, and the window the game.
    datFiles.ReadAll();
    datDialog.Refresh();
    ASSERT_EQ(datDialog.lvFiles->RowCount(), 3);
    EXPECT_EQ(datDialog.lvFiles->Text(0, 1), L"1 ROM");
    EXPECT_EQ(datDialog.lvFiles->Text(1, 1), ui::AnsiToWide(datFiles.Entries()[1].Status()));
    const std::string path = folder.Write("demo.smc", demo);
    Open(path);
    EXPECT_EQ(Shown(),
              Expected(path, demo, DatMatch{DatMatchKind::Sha1, "Demo & Friends", "d.sfc", good}));

    // Data that matches only once an overdump is cut off is looked for off the window's thread,
    // and the window says how it matches.
    const std::string overdumped =
        folder.Write("overdumped.smc", Concatenate(demo, Bytes(demo.begin() + 512, demo.end())));
    Open(overdumped, false);
    // The posted calls one at a time, up to the details' arrival: the search's own answer
    // waits behind it.
    const DWORD start = GetTickCount();
    MSG posted{};
    while (!form.DatSearching() && GetTickCount() - start < 60000)
        if (PeekMessageA(&posted, ui::Application().Handle(), WM_APP, WM_APP + 10, PM_REMOVE))
            DispatchMessageA(&posted);
        else
            Sleep(1);
    EXPECT_NE(Shown().find("Explanation: Computing&"), std::string::npos) << Shown();
    WaitForDetails();
    EXPECT_NE(Shown().find("Game: Demo & Friends\r\nMatch: verified by SHA-1"), std::string::npos)
        << Shown();
    EXPECT_NE(Shown().find("Via: trim-overdump\r\n"), std::string::npos) << Shown();

    // Removing files reads the list again, and the window follows.
    datDialog.lvFiles->SelectRow(0, true);
    datDialog.btnRemoveClick();
    EXPECT_EQ(datDialog.lvFiles->RowCount(), 2);
    EXPECT_NE(Shown().find("Game: (unknown)"), std::string::npos) << Shown();
}

} // namespace
} // namespace quillet::testing
