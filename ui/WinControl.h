// The windowed control: one object per window. One window procedure serves every kind; it
// unpacks each message once into a typed handler, so controls never decode wParam and lParam.
#pragma once

#include "base/Component.h"
#include "ui/Canvas.h"
#include "ui/Graphics.h"
#include "ui/Win32.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillet::ui {

// Ids of a form's controls and of its menu and shortcut commands lie in ranges that cannot
// meet: a command is never taken for a control's. Controls stay clear of IDOK, IDCANCEL and
// the other standard ids below 100.
inline constexpr int kFirstControlId = 100;
inline constexpr int kLastControlId = 0x7FFF;
inline constexpr int kFirstCommandId = 0x8000;

// An event that says only who sent it.
using TNotifyEvent = std::function<void(TComponent* sender)>;

class TWinControl;
class TForm;

// The control object behind a window handle, or null for windows that are not ours.
TWinControl* ControlOf(HWND window);

class TWinControl : public TComponent {
public:
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;

    HWND Handle() const { return handle_; }
    TWinControl* Parent() const { return parent_; }
    // The controls made inside this one, in the order they were made: the Tab order.
    const std::vector<TWinControl*>& Children() const { return children_; }
    // The top-level form the control lives on (itself for a form); null before it has a window.
    TForm* Form() const;
    // Unique among the controls of one form; dialog-manager messages name controls by it.
    int Id() const { return id_; }

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
    bool Focused() const { return handle_ != nullptr && GetFocus() == handle_; }
    void SetFocus();

    TFont& Font() { return font_; }
    const TFont& Font() const { return font_; }
    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& hint);
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool show);

    void Invalidate();
    // Invalidates and paints at once, without waiting for the message loop.
    void Repaint();

    // Destroys the window and every window inside it. Their objects are detached first, so
    // that no handler runs on the way out; afterwards Handle() is null for all of them.
    void DestroyHandle();
    void BeforeDestruction() override { DestroyHandle(); }

    TNotifyEvent OnClick;
    // The focus comes into this control or a control inside it from elsewhere in the same
    // window, or leaves them for elsewhere in the same window. Moving to or from another
    // window (a message box, another form) is neither.
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;

protected:
    // Makes the window. `baseClass` null means a plain window of the program's own; otherwise
    // the system class it wraps ("BUTTON", "EDIT", ...). A top-level window takes `owner`.
    void CreateHandle(TWinControl* parent, const char* baseClass, DWORD style, DWORD exStyle,
                      const std::string& text, HWND owner = nullptr);

    // Typed handlers. Those returning bool say whether they handled the message; a message not
    // handled goes to the window's own procedure.
    virtual bool OnPaint(TPaintCanvas& canvas);
    virtual bool OnEraseBackground(HDC dc);
    // A control inside this one asks for its colours; `standard` is what the window's own
    // procedure would give. By default the child's font colour, when it has one, is applied.
    virtual HBRUSH OnCtlColor(HDC dc, TWinControl& child, HBRUSH standard);
    virtual bool OnChar(char& key);
    // A command of a menu, an accelerator or the dialog manager (IDOK, IDCANCEL).
    virtual bool OnCommand(int id, int code);
    // Notifications that the parent received about this control, handed back to it.
    virtual void OnControlCommand(WORD code);
    virtual std::optional<LRESULT> OnControlNotify(NMHDR& header);
    virtual bool OnDrawItem(const DRAWITEMSTRUCT& item);
    // Before the window's own procedure.
    virtual void OnSetFocus(HWND previous);
    // After the window's own procedure.
    virtual void OnKillFocus(HWND next);
    // After the window's own procedure.
    virtual void OnSize(int width, int height);
    // The dialog manager asks which keys the control wants; `standard` is the system's answer.
    virtual UINT OnGetDlgCode(UINT standard);
    virtual bool OnWindowActivate(bool active, bool minimized);
    virtual bool OnClose();
    virtual std::optional<int> OnGetDefaultId();
    // A push button is told to take, or give up, the default-button look.
    virtual bool OnSetButtonStyle(bool makeDefault);
    virtual bool OnDropFiles(const std::vector<std::string>& files);
    // A message of the program's own (WM_USER and up) sent to a window of its own class.
    virtual bool OnPrivateMessage(UINT message);

    void FontChanged();

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT CallDefault(UINT message, WPARAM wParam, LPARAM lParam);
    void Attach(HWND window);
    void Detach();
    static BOOL CALLBACK DetachWindow(HWND window, LPARAM);
    // Enter and exit events for the focus coming from, or going to, `other`.
    void FocusMoved(HWND other, bool entering);
    void HintStateChanged();

    HWND handle_ = nullptr;
    TWinControl* parent_ = nullptr;
    std::vector<TWinControl*> children_;
    bool ownClass_ = false;
    int id_ = 0;
    int nextChildId_ = kFirstControlId; // on a form: the id the next control gets
    int left_ = 0;
    int top_ = 0;
    int width_ = 0;
    int height_ = 0;
    TFont font_;
    TConnection fontChange_;
    std::string hint_;
    bool showHint_ = false;
};

} // namespace quillet::ui
