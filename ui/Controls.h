// The controls that forms are made of, each a system control or a window of the program's own
// behind the typed handlers of TWinControl.
#pragma once

#include "ui/Graphics.h"
#include "ui/Win32.h"
#include "ui/WinControl.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillet::ui {

// Static text; sized to its text unless a size is given.
class TLabel : public TWinControl {
public:
    // A label of fixed size wraps its words.
    TLabel(TComponent* owner, TWinControl& parent, int left, int top, const std::string& caption,
           std::optional<SIZE> fixedSize = std::nullopt);
    std::string ClassName() const override { return "TLabel"; }
    void SetCaption(const std::string& caption);

private:
    void AutoSize();
    bool autoSize_;
    TConnection autoSizeOnFont_;
};

// Read-only text, one line or several, without border.
class TEdit : public TWinControl {
public:
    TEdit(TComponent* owner, TWinControl& parent, RECT bounds, bool multiLine = false);
    std::string ClassName() const override { return multiLine_ ? "TMemo" : "TEdit"; }
    std::string Text() const { return Caption(); }
    void SetText(const std::string& text) { SetCaption(text); }

protected:
    UINT OnGetDlgCode(UINT standard) override;

private:
    bool multiLine_;
};

// A sunken line.
class TBevel : public TWinControl {
public:
    TBevel(TComponent* owner, TWinControl& parent, RECT bounds);
    std::string ClassName() const override { return "TBevel"; }
};

// A push button with a glyph beside its caption. The glyph bitmap holds `glyphCount` images
// side by side: the first for enabled, the second for disabled.
class TBitBtn : public TWinControl {
public:
    TBitBtn(TComponent* owner, TWinControl& parent, RECT bounds, const std::string& caption);
    std::string ClassName() const override { return "TBitBtn"; }

    void SetGlyph(TBitmap glyph, int glyphCount);
    bool Default() const { return default_; }
    void SetDefault(bool isDefault);
    bool Cancel() const { return cancel_; }
    void SetCancel(bool isCancel) { cancel_ = isCancel; }
    void Click();
    // Whether the button looks like the one Enter presses: the focused button does, and the
    // form's default button does while no other button has the focus.
    bool LooksDefault() const;

protected:
    void OnControlCommand(WORD code) override;
    bool OnDrawItem(const DRAWITEMSTRUCT& item) override;
    UINT OnGetDlgCode(UINT standard) override;
    bool OnSetButtonStyle(bool makeDefault) override;
    void OnSetFocus(HWND previous) override;
    void OnKillFocus(HWND next) override;

private:
    // Repaints the buttons whose default look the focus decides.
    void FocusChanged();
    TBitmap glyph_;
    int glyphCount_ = 1;
    bool default_ = false;
    bool cancel_ = false;
};

// A flat picture button that never takes the focus.
class TSpeedButton : public TWinControl {
public:
    TSpeedButton(TComponent* owner, TWinControl& parent, RECT bounds);
    std::string ClassName() const override { return "TSpeedButton"; }
    void SetGlyph(TBitmap glyph) { glyph_ = std::move(glyph); }

protected:
    void OnControlCommand(WORD code) override;
    bool OnDrawItem(const DRAWITEMSTRUCT& item) override;

private:
    TBitmap glyph_;
};

// A picture drawn at its top left-hand corner.
class TImage : public TWinControl {
public:
    TImage(TComponent* owner, TWinControl& parent, RECT bounds);
    std::string ClassName() const override { return "TImage"; }
    TBitmap& Picture() { return picture_; }

protected:
    bool OnDrawItem(const DRAWITEMSTRUCT& item) override;

private:
    TBitmap picture_;
};

// The hot-key control: one key with its modifiers.
class THotKey : public TWinControl {
public:
    THotKey(TComponent* owner, TWinControl& parent, RECT bounds);
    std::string ClassName() const override { return "THotKey"; }

    // Virtual-key code and the control's modifier flags (HOTKEYF_SHIFT, _CONTROL, _ALT, _EXT).
    void SetKey(BYTE virtualKey, BYTE modifiers);
    BYTE VirtualKey() const;
    BYTE Modifiers() const;
};

class TProgressBar : public TWinControl {
public:
    TProgressBar(TComponent* owner, TWinControl& parent, RECT bounds, int minimum = 0,
                 int maximum = 100);
    std::string ClassName() const override { return "TProgressBar"; }
    int Position() const;
    void SetPosition(int position);
};

class TCheckBox : public TWinControl {
public:
    TCheckBox(TComponent* owner, TWinControl& parent, RECT bounds, const std::string& caption);
    std::string ClassName() const override { return "TCheckBox"; }
    bool Checked() const;
    void SetChecked(bool checked);
};

// A container with its own colours: its background, and the text colour of the labels on it.
// With `bevel` it has a raised inner and a lowered outer edge.
class TPanel : public TWinControl {
public:
    TPanel(TComponent* owner, TWinControl& parent, RECT bounds, COLORREF color, COLORREF textColor,
           bool bevel);
    std::string ClassName() const override { return "TPanel"; }

protected:
    bool OnEraseBackground(HDC dc) override;
    HBRUSH OnCtlColor(HDC dc, TWinControl& child, HBRUSH standard) override;

private:
    GdiHandle<HBRUSH> brush_;
    COLORREF textColor_;
    bool bevel_;
};

// A page of a page control: a panel that holds the page's controls.
class TTabSheet : public TWinControl {
public:
    TTabSheet(TComponent* owner, TWinControl& pageControl, const std::string& caption);
    std::string ClassName() const override { return "TTabSheet"; }
    const std::string& TabCaption() const { return tabCaption_; }

protected:
    HBRUSH OnCtlColor(HDC dc, TWinControl& child, HBRUSH standard) override;

private:
    std::string tabCaption_;
};

// How a row of a list looks: plain; a heading, drawn bold; or a row under a heading, indented.
enum class TRowStyle { Plain, Heading, Indented };

// A list of rows in columns (the list view in its report style). Texts are wide, so that names
// from files in UTF-8 show as they are.
class TListView : public TWinControl {
public:
    TListView(TComponent* owner, TWinControl& parent, RECT bounds);
    std::string ClassName() const override { return "TListView"; }

    void AddColumn(const std::string& caption, int width);
    void Clear();
    void AddRow(const std::vector<std::wstring>& texts, TRowStyle style = TRowStyle::Plain);
    int RowCount() const;
    std::wstring Text(int row, int column) const;
    bool IsHeading(int row) const;
    std::vector<int> SelectedRows() const;
    void SelectRow(int row, bool selected);
    // Sizes a column to its longest text, so that nothing in it is cut, and never narrower
    // than it was made.
    void FitColumn(int column);

protected:
    std::optional<LRESULT> OnControlNotify(NMHDR& header) override;

private:
    std::vector<bool> headings_;
    std::vector<int> widths_; // as the columns were made
    GdiHandle<HFONT> bold_;
};

class TPageControl : public TWinControl {
public:
    TPageControl(TComponent* owner, TWinControl& parent, RECT bounds);
    std::string ClassName() const override { return "TPageControl"; }

    TTabSheet& AddPage(const std::string& caption);
    int PageCount() const { return static_cast<int>(pages_.size()); }
    TTabSheet& Page(int index) const { return *pages_.at(static_cast<std::size_t>(index)); }
    int ActivePageIndex() const;
    void SetActivePageIndex(int index);
    // Alt and a page's hot key: the page control takes the focus, as a click on the tab gives
    // it, and shows that page. False when no page has that hot key.
    bool SelectByHotKey(char key);

    TNotifyEvent OnChange;

protected:
    std::optional<LRESULT> OnControlNotify(NMHDR& header) override;

private:
    void ShowActivePage();
    std::vector<TTabSheet*> pages_;
};

} // namespace quillet::ui
