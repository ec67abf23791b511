// Top-level windows, window-message timers and main menus.
#pragma once

#include "ui/Application.h"
#include "ui/Controls.h"

#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace quillet::ui {

enum class TBorderStyle { None, Single, Dialog, Sizeable };

struct TBorderIcons {
    bool systemMenu = true;
    bool minimize = true;
    bool maximize = false;
};

// Modal results, as the buttons of a modal form report them.
inline constexpr int mrNone = 0;
inline constexpr int mrOk = IDOK;
inline constexpr int mrCancel = IDCANCEL;

class TForm : public TWinControl {
public:
    explicit TForm(TComponent* owner = nullptr);
    ~TForm() override;
    std::string ClassName() const override { return "TForm"; }

    // Makes the window with a client area of the given size; hidden until shown.
    // Every form is owned by the application's window, or by `owner`: it then stays above
    // that form and goes when it is minimised.
    void CreateForm(const std::string& caption, int clientWidth, int clientHeight,
                    TBorderStyle border, TBorderIcons icons, bool stayOnTop = false,
                    TForm* owner = nullptr);
    // Resizes the window so that its client area has this size.
    void SetClientSize(int width, int height);
    int ClientWidth() const;
    int ClientHeight() const;
    void SetPosition(int left, int top);
    // Centres the window on the screen, left first, then top.
    void CenterOnScreen();
    void SetIcon(HICON icon);
    // Changes the frame of a window already made; the client area keeps its place.
    void SetBorderStyle(TBorderStyle border, TBorderIcons icons);
    void SetStayOnTop(bool stayOnTop);
    // A background colour of the form's own, instead of the button face.
    void SetColor(COLORREF color);

    void Show();
    void Hide();
    int ShowModal();
    // Closes as the close box does: asks OnCloseQuery first.
    void Close();
    int ModalResult() const { return modalResult_; }
    void SetModalResult(int result) { modalResult_ = result; }

    void SetMenu(HMENU menu);
    // The buttons that Enter and Escape press.
    void SetDefaultButton(TBitBtn* button);
    void SetCancelButton(TBitBtn* button);
    TBitBtn* DefaultButton() const { return defaultButton_; }
    TBitBtn* CancelButton() const { return cancelButton_; }
    // Files dropped on the form from a file manager.
    void SetAcceptFiles(bool accept);
    // A key with Ctrl that runs a menu command wherever the focus is on the form.
    void AddShortcut(char key, int command);
    // Runs the command of a shortcut the message is; true when it was one.
    bool TranslateShortcut(MSG& message);

    std::function<void(TComponent* sender, bool& canClose)> OnCloseQuery;
    // The form became the active window.
    TSignal<TComponent*> OnActivate;
    // A character typed while the form itself has the focus; it then also takes Tab, Enter
    // and Escape, which the dialog manager would otherwise turn into commands.
    std::function<void(TComponent* sender, char& key)> OnKeyPress;
    // Menu items report here by their command number.
    std::function<void(int command)> OnMenuCommand;
    std::function<void(const std::vector<std::string>& files)> OnFilesDropped;
    // The form's size changed, by the user or the program.
    TNotifyEvent OnResize;

    // Tool tips for the controls on this form: a control's tip shows over it, also while it
    // is disabled, and changing its text keeps a tip on show.
    void UpdateHint(TWinControl& control);
    HWND ToolTips() const { return toolTips_; }

    // Looks at a message from the queue before the dialog manager does; true when it was
    // handled here: Tab and Shift+Tab, which follow the order the controls were made in, into
    // the page on show after the page control itself; and Alt with a page's hot key.
    bool PreTranslateMessage(const MSG& message);
    // The controls Tab visits, in order: visible, enabled tab stops.
    std::vector<TWinControl*> TabOrder() const;

protected:
    // Tells the form's listeners that it became the active window.
    virtual void Activate();
    bool OnEraseBackground(HDC dc) override;
    bool OnCommand(int id, int code) override;
    std::optional<int> OnGetDefaultId() override;
    bool OnWindowActivate(bool active, bool minimized) override;
    void OnSetFocus(HWND previous) override;
    UINT OnGetDlgCode(UINT standard) override;
    bool OnChar(char& key) override;
    bool OnClose() override;
    bool OnDropFiles(const std::vector<std::string>& files) override;
    void OnSize(int width, int height) override;

private:
    void EnsureToolTips();
    // The control that had the focus last, or else the first in the Tab order; null for a form
    // without one that can take it.
    HWND FocusTarget() const;
    // Puts the focus on it, or on the form itself.
    void RestoreFocus();
    bool MoveFocus(bool backwards);
    // Calls `visit` for every control owned by this form and by the controls it owns.
    void ForEachControl(const std::function<bool(TWinControl&)>& visit);

    GdiHandle<HBRUSH> background_;
    int modalResult_ = mrNone;
    bool modal_ = false;
    bool hasCloseBox_ = true;
    HMENU menu_ = nullptr;
    HWND toolTips_ = nullptr;
    HWND lastFocus_ = nullptr;
    TBitBtn* defaultButton_ = nullptr;
    TBitBtn* cancelButton_ = nullptr;
    std::vector<ACCEL> shortcuts_;
    struct AcceleratorDeleter {
        void operator()(HACCEL table) const { DestroyAcceleratorTable(table); }
    };
    std::unique_ptr<std::remove_pointer_t<HACCEL>, AcceleratorDeleter> accelerators_;
};

// A window-message timer: OnTimer runs between two messages of the thread.
class TTimer : public TComponent {
public:
    explicit TTimer(TComponent* owner, UINT interval = 1000);
    ~TTimer() override;
    std::string ClassName() const override { return "TTimer"; }

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    UINT Interval() const { return interval_; }

    TNotifyEvent OnTimer;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND window_ = nullptr;
    UINT interval_;
    bool enabled_ = false;
};

// A menu bar: top menus with items; a caption "-" is a separator.
class TMainMenu {
public:
    TMainMenu();
    ~TMainMenu();
    TMainMenu(const TMainMenu&) = delete;
    TMainMenu& operator=(const TMainMenu&) = delete;

    // Adds a top menu; items are (caption, command number), command 0 for none.
    void AddMenu(const std::string& caption, const std::vector<std::pair<std::string, int>>& items);
    HMENU Handle() const { return menu_; }
    // The menu belongs to the form once attached; it is destroyed with the form's window.
    HMENU Release() { return std::exchange(menu_, nullptr); }

private:
    HMENU menu_;
};

} // namespace quillet::ui
