#include "ui/Controls.h"

#include "base/Exceptions.h"
#include "ui/Application.h"
#include "ui/Forms.h"

#include <algorithm>
#include <cctype>

namespace quillet::ui {

namespace {

int RectWidth(const RECT& r) {
    return r.right - r.left;
}
int RectHeight(const RECT& r) {
    return r.bottom - r.top;
}

char UpperCase(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

// The character after the single "&" of a caption, upper-cased; 0 when there is none.
char HotKeyOf(const std::string& caption) {
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&')
            continue;
        if (caption[i + 1] != '&')
            return UpperCase(caption[i + 1]);
        ++i; // "&&" is a plain "&"
    }
    return 0;
}

} // namespace

TLabel::TLabel(TComponent* owner, TWinControl& parent, int left, int top,
               const std::string& caption, std::optional<SIZE> fixedSize)
    : TWinControl(owner), autoSize_(!fixedSize) {
    SetBounds(left, top, fixedSize ? fixedSize->cx : 1, fixedSize ? fixedSize->cy : 1);
    CreateHandle(&parent, "STATIC", WS_VISIBLE | SS_LEFT | SS_NOTIFY, 0, caption);
    // After the control has taken the new font.
    autoSizeOnFont_ = Font().OnChange.Connect([this] { AutoSize(); });
    AutoSize();
}

void TLabel::SetCaption(const std::string& caption) {
    TWinControl::SetCaption(caption);
    AutoSize();
}

void TLabel::AutoSize() {
    if (!autoSize_)
        return;
    const WindowDC dc(Handle());
    const Selection font(dc.Get(), Font().Handle());
    const std::string text = Caption();
    RECT r{0, 0, 0, 0};
    DrawTextA(dc.Get(), text.empty() ? " " : text.c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE);
    SetBounds(Left(), Top(), r.right, r.bottom);
}

TEdit::TEdit(TComponent* owner, TWinControl& parent, RECT bounds, bool multiLine)
    : TWinControl(owner), multiLine_(multiLine) {
    SetBounds(bounds.left, bounds.top, RectWidth(bounds), RectHeight(bounds));
    DWORD style = WS_VISIBLE | WS_TABSTOP | ES_READONLY | ES_LEFT;
    style |= multiLine ? (ES_MULTILINE | ES_AUTOVSCROLL) : ES_AUTOHSCROLL;
    CreateHandle(&parent, "EDIT", style, 0, "");
}

UINT TEdit::OnGetDlgCode(UINT standard) {
    // Read-only text is for reading and copying: Tab moves on, Enter and Escape go to the form.
    return standard & ~static_cast<UINT>(DLGC_WANTALLKEYS | DLGC_WANTMESSAGE | DLGC_WANTTAB);
}

TBevel::TBevel(TComponent* owner, TWinControl& parent, RECT bounds) : TWinControl(owner) {
    SetBounds(bounds.left, bounds.top, RectWidth(bounds), RectHeight(bounds));
    CreateHandle(&parent, "STATIC", WS_VISIBLE | SS_ETCHEDFRAME, 0, "");
}

TBitBtn::TBitBtn(TComponent* owner, TWinControl& parent, RECT bounds, const std::string& caption)
    : TWinControl(owner) {
    SetBounds(bounds.left, bounds.top, RectWidth(bounds), RectHeight(bounds));
    CreateHandle(&parent, "BUTTON", WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, 0, caption);
}

void TBitBtn::SetGlyph(TBitmap glyph, int glyphCount) {
    glyph_ = std::move(glyph);
    glyphCount_ = std::max(1, glyphCount);
    Invalidate();
}

void TBitBtn::SetDefault(bool isDefault) {
    default_ = isDefault;
    Invalidate();
}

void TBitBtn::Click() {
    if (OnClick)
        OnClick(this);
}

void TBitBtn::OnControlCommand(WORD code) {
    if (code == BN_CLICKED)
        Click();
}

bool TBitBtn::LooksDefault() const {
    if (!Enabled())
        return false;
    if (Focused())
        return true;
    return default_ && dynamic_cast<const TBitBtn*>(ControlOf(GetFocus())) == nullptr;
}

UINT TBitBtn::OnGetDlgCode(UINT standard) {
    // A push button: Enter presses the focused one, as everywhere in Windows.
    return standard | (Focused() ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
}

bool TBitBtn::OnSetButtonStyle(bool) {
    // The dialog manager moves the default style between push buttons; this button draws
    // itself and keeps its style, and its look follows the focus instead.
    Invalidate();
    return true;
}

void TBitBtn::OnSetFocus(HWND) {
    FocusChanged();
}

void TBitBtn::OnKillFocus(HWND) {
    FocusChanged();
}

void TBitBtn::FocusChanged() {
    Invalidate();
    if (TForm* form = Form(); form != nullptr && form->DefaultButton() != nullptr)
        form->DefaultButton()->Invalidate();
}

bool TBitBtn::OnDrawItem(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    const bool focused = (item.itemState & ODS_FOCUS) != 0;
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    if (LooksDefault()) {
        FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        InflateRect(&r, -1, -1);
    }
    DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));

    const std::string caption = Caption();
    const Selection font(dc, Font().Handle());
    RECT textSize{0, 0, 0, 0};
    DrawTextA(dc, caption.c_str(), -1, &textSize, DT_CALCRECT | DT_SINGLELINE);
    const int glyphWidth = glyph_.Empty() ? 0 : glyph_.Width() / glyphCount_;
    const int spacing = glyphWidth > 0 ? 4 : 0;
    const int total = glyphWidth + spacing + textSize.right;
    const int shift = pressed ? 1 : 0;
    int x = (item.rcItem.left + item.rcItem.right - total) / 2 + shift;
    const int middle = (item.rcItem.top + item.rcItem.bottom) / 2 + shift;

    if (glyphWidth > 0) {
        const int index = disabled && glyphCount_ > 1 ? 1 : 0;
        glyph_.DrawTransparent(dc, x, middle - glyph_.Height() / 2, index * glyphWidth, glyphWidth);
        x += glyphWidth + spacing;
    }
    RECT textRect{x, middle - textSize.bottom / 2, x + textSize.right, middle + textSize.bottom};
    SetBkMode(dc, TRANSPARENT);
    if (disabled) {
        OffsetRect(&textRect, 1, 1);
        SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
        DrawTextA(dc, caption.c_str(), -1, &textRect, DT_SINGLELINE);
        OffsetRect(&textRect, -1, -1);
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    } else {
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    }
    DrawTextA(dc, caption.c_str(), -1, &textRect, DT_SINGLELINE);
    if (focused) {
        RECT focus = item.rcItem;
        InflateRect(&focus, -4, -4);
        DrawFocusRect(dc, &focus);
    }
    return true;
}

TSpeedButton::TSpeedButton(TComponent* owner, TWinControl& parent, RECT bounds)
    : TWinControl(owner) {
    SetBounds(bounds.left, bounds.top, RectWidth(bounds), RectHeight(bounds));
    // A static control: it reports clicks but can never hold the focus.
    CreateHandle(&parent, "STATIC", SS_OWNERDRAW | SS_NOTIFY, 0, "");
}

void TSpeedButton::OnControlCommand(WORD code) {
    if (code == STN_CLICKED && OnClick)
        OnClick(this);
}

bool TSpeedButton::OnDrawItem(const DRAWITEMSTRUCT& item) {
    RECT r = item.rcItem;
    FillRect(item.hDC, &r, GetSysColorBrush(COLOR_BTNFACE));
    if (!glyph_.Empty()) {
        glyph_.DrawTransparent(item.hDC, (r.right - glyph_.Width()) / 2,
                               (r.bottom - glyph_.Height()) / 2, 0, glyph_.Width());
    }
    return true;
}

TImage::TImage(TComponent* owner, TWinControl& parent, RECT bounds) : TWinControl(owner) {
    SetBounds(bounds.left, bounds.top, RectWidth(bounds), RectHeight(bounds));
    CreateHandle(&parent, "STATIC", WS_VISIBLE | SS_OWNERDRAW | SS_NOTIFY, 0, "");
}

bool TImage::OnDrawItem(const DRAWITEMSTRUCT& item) {
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
    picture_.Draw(item.hDC, 0, 0);
    return true;
}

THotKey::THotKey(TComponent* owner, TWinControl& parent, RECT bounds) : TWinControl(owner) {
    SetBounds(bounds.left, bounds.top, RectWidth(bounds), RectHeight(bounds));
    CreateHandle(&parent, HOTKEY_CLASSA, WS_VISIBLE | WS_TABSTOP, WS_EX_CLIENTEDGE, "");
    // No combination is refused: without rules the control keeps what the user presses.
    SendMessageA(Handle(), HKM_SETRULES, 0, 0);
}

void THotKey::SetKey(BYTE virtualKey, BYTE modifiers) {
    SendMessageA(Handle(), HKM_SETHOTKEY, MAKEWORD(virtualKey, modifiers), 0);
}

BYTE THotKey::VirtualKey() const {
    return LOBYTE(LOWORD(SendMessageA(Handle(), HKM_GETHOTKEY, 0, 0)));
}

BYTE THotKey::Modifiers() const {
    return HIBYTE(LOWORD(SendMessageA(Handle(), HKM_GETHOTKEY, 0, 0)));
}

TProgressBar::TProgressBar(TComponent* owner, TWinControl& parent, RECT bounds, int minimum,
                           int maximum)
    : TWinControl(owner) {
    SetBounds(bounds.left, bounds.top, RectWidth(bounds), RectHeight(bounds));
    CreateHandle(&parent, PROGRESS_CLASSA, WS_VISIBLE, 0, "");
    SendMessageA(Handle(), PBM_SETRANGE32, static_cast<WPARAM>(minimum), maximum);
}

int TProgressBar::Position() const {
    return static_cast<int>(SendMessageA(Handle(), PBM_GETPOS, 0, 0));
}

void TProgressBar::SetPosition(int position) {
    SendMessageA(Handle(), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

TCheckBox::TCheckBox(TComponent* owner, TWinControl& parent, RECT bounds,
                     const std::string& caption)
    : TWinControl(owner) {
    SetBounds(bounds.left, bounds.top, RectWidth(bounds), RectHeight(bounds));
    CreateHandle(&parent, "BUTTON", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, caption);
}

bool TCheckBox::Checked() const {
    return SendMessageA(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TCheckBox::SetChecked(bool checked) {
    SendMessageA(Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

TPanel::TPanel(TComponent* owner, TWinControl& parent, RECT bounds, COLORREF color,
               COLORREF textColor, bool bevel)
    : TWinControl(owner), brush_(CreateSolidBrush(color), true), textColor_(textColor),
      bevel_(bevel) {
    SetBounds(bounds.left, bounds.top, RectWidth(bounds), RectHeight(bounds));
    CreateHandle(&parent, nullptr, WS_VISIBLE, WS_EX_CONTROLPARENT, "");
}

bool TPanel::OnEraseBackground(HDC dc) {
    RECT r{};
    GetClientRect(Handle(), &r);
    ::FillRect(dc, &r, brush_.Get());
    if (bevel_)
        DrawEdge(dc, &r, BDR_RAISEDINNER | BDR_SUNKENOUTER, BF_RECT);
    return true;
}

HBRUSH TPanel::OnCtlColor(HDC dc, TWinControl& child, HBRUSH) {
    SetTextColor(dc, child.Font().HasColor() ? child.Font().Color() : textColor_);
    SetBkMode(dc, TRANSPARENT);
    return brush_.Get();
}

TTabSheet::TTabSheet(TComponent* owner, TWinControl& pageControl, const std::string& caption)
    : TWinControl(owner), tabCaption_(caption) {
    RECT area{0, 0, pageControl.Width(), pageControl.Height()};
    TabCtrl_AdjustRect(pageControl.Handle(), FALSE, &area);
    SetBounds(area.left, area.top, RectWidth(area), RectHeight(area));
    // Its controls take part in the form's Tab order.
    CreateHandle(&pageControl, nullptr, WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT, "");
}

HBRUSH TTabSheet::OnCtlColor(HDC dc, TWinControl& child, HBRUSH standard) {
    // Static text and read-only fields on a page take the page's colour, and their own text
    // colour when they have one.
    TWinControl::OnCtlColor(dc, child, standard);
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return standard != nullptr ? standard : GetSysColorBrush(COLOR_BTNFACE);
}

TListView::TListView(TComponent* owner, TWinControl& parent, RECT bounds) : TWinControl(owner) {
    SetBounds(bounds.left, bounds.top, RectWidth(bounds), RectHeight(bounds));
    CreateHandle(&parent, WC_LISTVIEWA,
                 WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER,
                 WS_EX_CLIENTEDGE, "");
    // Whole rows select, and a row's full text shows as a tip when it does not fit.
    SendMessageA(Handle(), LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP | LVS_EX_GRIDLINES);
}

void TListView::AddColumn(const std::string& caption, int width) {
    std::string text = caption;
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = text.data();
    column.cx = width;
    const auto count = static_cast<int>(
        SendMessageA(reinterpret_cast<HWND>(SendMessageA(Handle(), LVM_GETHEADER, 0, 0)),
                     HDM_GETITEMCOUNT, 0, 0));
    if (SendMessageA(Handle(), LVM_INSERTCOLUMNA, static_cast<WPARAM>(count),
                     reinterpret_cast<LPARAM>(&column)) < 0)
        throw Exception("Error creating window");
    widths_.push_back(width);
}

void TListView::Clear() {
    SendMessageA(Handle(), LVM_DELETEALLITEMS, 0, 0);
    headings_.clear();
}

void TListView::AddRow(const std::vector<std::wstring>& texts, TRowStyle style) {
    const int row = RowCount();
    for (std::size_t column = 0; column < texts.size(); ++column) {
        std::wstring text = texts[column];
        LVITEMW item{};
        item.mask = LVIF_TEXT | (column == 0 ? LVIF_INDENT : 0);
        item.iItem = row;
        item.iSubItem = static_cast<int>(column);
        item.iIndent = style == TRowStyle::Indented ? 1 : 0;
        item.pszText = text.data();
        const UINT message = column == 0 ? LVM_INSERTITEMW : LVM_SETITEMTEXTW;
        if (SendMessageW(Handle(), message, column == 0 ? 0 : static_cast<WPARAM>(row),
                         reinterpret_cast<LPARAM>(&item)) < 0)
            throw Exception("Out of system resources");
    }
    headings_.push_back(style == TRowStyle::Heading);
}

int TListView::RowCount() const {
    return static_cast<int>(SendMessageA(Handle(), LVM_GETITEMCOUNT, 0, 0));
}

std::wstring TListView::Text(int row, int column) const {
    // The list hands out at most as much as it is given room for: grow until it fits.
    for (std::size_t room = 256;; room *= 4) {
        std::wstring text(room, L'\0');
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = text.data();
        item.cchTextMax = static_cast<int>(room);
        const auto length = static_cast<std::size_t>(SendMessageW(
            Handle(), LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
        if (length + 1 < room) {
            text.resize(length);
            return text;
        }
    }
}

bool TListView::IsHeading(int row) const {
    return row >= 0 && static_cast<std::size_t>(row) < headings_.size() &&
           headings_[static_cast<std::size_t>(row)];
}

std::vector<int> TListView::SelectedRows() const {
    std::vector<int> rows;
    for (int row = -1;;) {
        row = static_cast<int>(
            SendMessageA(Handle(), LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED));
        if (row < 0)
            return rows;
        rows.push_back(row);
    }
}

void TListView::SelectRow(int row, bool selected) {
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED;
    item.state = selected ? LVIS_SELECTED : 0;
    SendMessageA(Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&item));
}

void TListView::FitColumn(int column) {
    const auto width = [&] {
        return SendMessageA(Handle(), LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0);
    };
    // The widest of the texts, the heading and the width it was made with. Indented texts of
    // the first column are measured without their indent: a margin for it.
    SendMessageA(Handle(), LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), LVSCW_AUTOSIZE);
    const LRESULT byText = width() + (column == 0 ? 16 : 0);
    SendMessageA(Handle(), LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column),
                 LVSCW_AUTOSIZE_USEHEADER);
    const LRESULT byHeading = width();
    const LRESULT made = column >= 0 && static_cast<std::size_t>(column) < widths_.size()
                             ? widths_[static_cast<std::size_t>(column)]
                             : 0;
    SendMessageA(Handle(), LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column),
                 std::max({byText, byHeading, made}));
}

std::optional<LRESULT> TListView::OnControlNotify(NMHDR& header) {
    if (header.code == static_cast<UINT>(LVN_GETINFOTIPW)) {
        // The tip of a row: all of its texts, whatever the columns' widths.
        auto& tip = reinterpret_cast<NMLVGETINFOTIPW&>(header);
        std::wstring text = Text(tip.iItem, 0);
        const std::wstring value = Text(tip.iItem, 1);
        if (!value.empty())
            text += L": " + value;
        if (tip.pszText != nullptr && tip.cchTextMax > 0) {
            const std::size_t room = static_cast<std::size_t>(tip.cchTextMax) - 1;
            text.resize(std::min(text.size(), room));
            std::copy(text.begin(), text.end(), tip.pszText);
            tip.pszText[text.size()] = L'\0';
        }
        return 0;
    }
    if (header.code == static_cast<UINT>(NM_CUSTOMDRAW)) {
        auto& draw = reinterpret_cast<NMLVCUSTOMDRAW&>(header);
        if (draw.nmcd.dwDrawStage == CDDS_PREPAINT)
            return CDRF_NOTIFYITEMDRAW;
        if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT &&
            IsHeading(static_cast<int>(draw.nmcd.dwItemSpec))) {
            if (bold_.Get() == nullptr) {
                LOGFONTA font{};
                GetObjectA(Font().Handle(), sizeof font, &font);
                font.lfWeight = FW_BOLD;
                bold_ = GdiHandle<HFONT>(CreateFontIndirectA(&font), true);
            }
            // The list selects its own font back after the row: that is what CDRF_NEWFONT
            // tells it.
            if (bold_.Get() != nullptr) {
                SelectObject(draw.nmcd.hdc, bold_.Get());
                return CDRF_NEWFONT;
            }
        }
        return CDRF_DODEFAULT;
    }
    return std::nullopt;
}

TPageControl::TPageControl(TComponent* owner, TWinControl& parent, RECT bounds)
    : TWinControl(owner) {
    SetBounds(bounds.left, bounds.top, RectWidth(bounds), RectHeight(bounds));
    CreateHandle(&parent, WC_TABCONTROLA, WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS,
                 WS_EX_CONTROLPARENT, "");
}

TTabSheet& TPageControl::AddPage(const std::string& caption) {
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    std::string text = caption;
    item.pszText = text.data();
    if (TabCtrl_InsertItem(Handle(), PageCount(), &item) < 0)
        throw Exception("Error creating window");
    TTabSheet& page = Owner()->Create<TTabSheet>(*this, caption);
    pages_.push_back(&page);
    ShowActivePage();
    return page;
}

int TPageControl::ActivePageIndex() const {
    return TabCtrl_GetCurSel(Handle());
}

void TPageControl::SetActivePageIndex(int index) {
    TabCtrl_SetCurSel(Handle(), index);
    ShowActivePage();
    if (OnChange)
        OnChange(this);
}

void TPageControl::ShowActivePage() {
    const int active = ActivePageIndex();
    for (int i = 0; i < PageCount(); ++i)
        ShowWindow(pages_[static_cast<std::size_t>(i)]->Handle(), i == active ? SW_SHOW : SW_HIDE);
}

bool TPageControl::SelectByHotKey(char key) {
    for (int i = 0; i < PageCount(); ++i) {
        if (HotKeyOf(Page(i).TabCaption()) != UpperCase(key))
            continue;
        // Focus first: leaving a page's fields for the tabs is an exit from the page, and the
        // change that follows decides what the new page starts.
        SetFocus();
        if (i != ActivePageIndex())
            SetActivePageIndex(i);
        return true;
    }
    return false;
}

std::optional<LRESULT> TPageControl::OnControlNotify(NMHDR& header) {
    if (header.code == TCN_SELCHANGE) {
        ShowActivePage();
        if (OnChange)
            OnChange(this);
        return 0;
    }
    return std::nullopt;
}

} // namespace quillet::ui
