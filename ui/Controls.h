// Windowed controls over the Windows user interface: one object per window, messages unpacked
// once in the base class into typed handlers.
#pragma once

#include "base/Component.h"
#include "ui/Graphics.h"
#include "ui/Win32.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace quillet::ui {

// An event that says only who sent it.
using TNotifyEvent = std::function<void(TComponent* sender)>;

class TWinControl;

// Returns the control object behind a window handle, or null for windows that are not ours.
TWinControl* ControlOf(HWND window);

class TWinControl : public TComponent {
public:
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;

    HWND Handle() const { return handle_; }
    TWinControl* Parent() const { return parent_; }

    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetBounds(int left, int top, int width, int height);

    std::string Caption() const;
    void SetCaption(const std::string& caption);
    bool Visible() const;
    void SetVisible(bool visible);
    bool Enabled() const;
    void SetEnabled(bool enabled);
    bool Focused() const { return GetFocus() == handle_; }
    void SetFocus();

    TFont& Font() { return font_; }
    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& hint);
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool show);

    void Invalidate();
    // Invalidates and paints at once, without waiting for the message loop.
    void Repaint();

    TNotifyEvent OnClick;
    // The focus comes into this control or a control inside it, or leaves them.
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;

protected:
    // Makes the window; `className` null means the program's own plain window class.
    void CreateHandle(TWinControl* parent, const char* className, DWORD style, DWORD exStyle,
                      const std::string& text);

    // Messages this control handles itself; empty means the window's own procedure.
    virtual std::optional<LRESULT> HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Notifications that the parent received and hands back to the control they concern.
    virtual void HandleCommand(WORD code);
    virtual std::optional<LRESULT> HandleNotify(NMHDR& header);
    virtual bool HandleDrawItem(const DRAWITEMSTRUCT& item);

    // Calls the window's own procedure.
    LRESULT DefaultHandler(UINT message, WPARAM wParam, LPARAM lParam);
    void FontChanged();

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    // Enter and exit events for the focus coming from, or going to, `other`.
    void FocusMoved(HWND other, bool entering);

    HWND handle_ = nullptr;
    TWinControl* parent_ = nullptr;
    WNDPROC original_ = nullptr;
    int left_ = 0;
    int top_ = 0;
    int width_ = 0;
    int height_ = 0;
    TFont font_;
    std::string hint_;
    bool showHint_ = false;
};

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
};

// Read-only text, one line or several, without border.
class TEdit : public TWinControl {
public:
    TEdit(TComponent* owner, TWinControl& parent, RECT bounds, bool multiLine = false);
    std::string ClassName() const override { return multiLine_ ? "TMemo" : "TEdit"; }
    std::string Text() const { return Caption(); }
    void SetText(const std::string& text) { SetCaption(text); }

protected:
    std::optional<LRESULT> HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

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

protected:
    void HandleCommand(WORD code) override;
    bool HandleDrawItem(const DRAWITEMSTRUCT& item) override;

private:
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
    void HandleCommand(WORD code) override;
    bool HandleDrawItem(const DRAWITEMSTRUCT& item) override;

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
    bool HandleDrawItem(const DRAWITEMSTRUCT& item) override;

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
    std::optional<LRESULT> HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

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
    std::optional<LRESULT> HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    std::string tabCaption_;
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

    TNotifyEvent OnChange;

protected:
    std::optional<LRESULT> HandleNotify(NMHDR& header) override;

private:
    void ShowActivePage();
    std::vector<TTabSheet*> pages_;
};

} // namespace quillet::ui
