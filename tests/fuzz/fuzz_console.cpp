// Drives the console with random writes, size, mode, colour and window changes, and checks at
// every call it makes on its window that the cursor and the repainted spans lie inside the grid.
#include "base/Exceptions.h"
#include "console/CrtCore.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

namespace {

using namespace quillet;

void Require(bool condition) {
    if (!condition)
        std::abort();
}

class CheckingWindow final : public ConsoleWindowSystem {
public:
    const TCrtCore* crt = nullptr;
    bool window = false; // created at some point, never destroyed
    bool queued = false;
    std::int32_t width = 0;
    std::int32_t height = 0;

    bool HasWindow() const override { return window; }
    void Invalidate(const Rect& r) override {
        CheckCursor();
        Require(window);
        if (r == ClientRect())
            return;
        const std::int64_t cw = crt->CellWidth();
        const std::int64_t ch = crt->CellHeight();
        if (cw <= 0 || ch <= 0)
            return;
        // A span of the cursor's row, from column first to last, last at most one past the end.
        Require(r.Left % cw == 0 && r.Right % cw == 0);
        const std::int64_t first = r.Left / cw + 1;
        const std::int64_t last = r.Right / cw;
        Require(1 <= first && first <= last && last <= crt->Columns() + 1);
        Require(r.Top == (crt->CursorY() - 1) * ch && r.Bottom == r.Top + ch);
    }
    void Update() override { CheckCursor(); }
    Rect ClientRect() const override { return Rect{0, 0, width, height}; }
    bool TakeQueuedScrollRepaint() override {
        CheckCursor();
        const bool was = queued;
        queued = false;
        return was;
    }
    void PostScrollRepaint() override {
        CheckCursor();
        Require(!queued);
        queued = true;
    }
    void Beep() override { CheckCursor(); }
    std::int32_t Width() const override { return width; }
    std::int32_t Height() const override { return height; }
    void SetWidth(std::int32_t w) override {
        CheckCursor();
        width = w;
    }
    void SetHeight(std::int32_t h) override {
        CheckCursor();
        height = h;
    }
    void SetColor(TColor) override { CheckCursor(); }
    void FillRect(const Rect&, TColor) override { CheckCursor(); }
    void PaintNow() override {}
    void CreateCaret(std::int32_t, std::int32_t) override { CheckCursor(); }
    void SetCaretPos(std::int32_t, std::int32_t) override { CheckCursor(); }
    void ShowCaret() override {}
    void DestroyCaret() override {}

    // Whenever the console calls out, its cursor is inside the visible grid.
    void CheckCursor() const {
        Require(1 <= crt->CursorX() && crt->CursorX() <= crt->Columns());
        Require(1 <= crt->CursorY() && crt->CursorY() <= crt->Rows());
        Require(2 <= crt->Columns() && crt->Columns() <= TCrtCore::MaxColumns);
        Require(2 <= crt->Rows() && crt->Rows() <= TCrtCore::MaxRows);
    }
};

class Input {
public:
    explicit Input(std::span<const std::uint8_t> data) : data_(data) {}
    bool Empty() const { return data_.empty(); }
    std::uint8_t Byte() {
        if (data_.empty())
            return 0;
        const std::uint8_t b = data_[0];
        data_ = data_.subspan(1);
        return b;
    }
    std::int32_t Int() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v = (v << 8) | Byte();
        return static_cast<std::int32_t>(v);
    }
    // A run of text whose length the next byte gives, sometimes longer than one staging buffer.
    std::string_view Text() {
        std::size_t n = Byte();
        if (n >= 240)
            n = (n - 239) * 100;
        n = std::min(n, data_.size());
        const std::string_view text(reinterpret_cast<const char*>(data_.data()), n);
        data_ = data_.subspan(n);
        return text;
    }

private:
    std::span<const std::uint8_t> data_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(std::span<const std::uint8_t>(data, size));
    CheckingWindow window;
    TCrtCore crt(window);
    window.crt = &crt;
    crt.SetCellSize(7, 14);
    bool hugeCells = false;

    while (!in.Empty()) {
        try {
            switch (in.Byte() % 16) {
            case 0:
            case 1:
            case 2:
                crt.Write(in.Text());
                break;
            case 3:
                crt.WriteLine(in.Text());
                break;
            case 4:
                crt.WriteBuffer(in.Text());
                break;
            case 5: {
                // Small values, the edges of the range and anything at all.
                const std::uint8_t how = in.Byte();
                crt.SetColumns(how < 200 ? how % 140 : in.Int());
                break;
            }
            case 6: {
                const std::uint8_t how = in.Byte();
                crt.SetRows(how < 200 ? how % 30 : in.Int());
                break;
            }
            case 7:
                crt.SetLineBreak(in.Byte() % 2 ? TLineBreak::CR : TLineBreak::CRLF);
                break;
            case 8:
                if (window.queued) {
                    window.queued = false;
                    crt.ScrollRepaint();
                }
                break;
            case 9:
                crt.ClearScreen();
                break;
            case 10: {
                const std::uint8_t w = in.Byte();
                const std::uint8_t h = in.Byte();
                hugeCells = w == 255 || h == 255;
                crt.SetCellSize(w == 255 ? 0x7FFFFFF : w % 20, h == 255 ? 0x7FFFFFF : h % 30);
                break;
            }
            case 11: {
                const std::uint8_t flags = in.Byte();
                window.window = window.window || (flags & 1) != 0;
                crt.SetOwnerDraw((flags & 2) != 0);
                crt.SetDesigning((flags & 4) != 0);
                crt.SetCursor((flags & 8) == 0);
                if (flags & 16)
                    crt.FocusGained();
                else
                    crt.FocusLost();
                break;
            }
            case 12:
                crt.SetBackColor(static_cast<TColor>(in.Int()));
                break;
            case 13:
                crt.SetTextColor(static_cast<TColor>(in.Int()));
                break;
            case 14: {
                Rect clip{in.Int(), in.Int(), in.Int(), in.Int()};
                if (in.Byte() % 2)
                    clip = Rect{clip.Left % 1000, clip.Top % 400, clip.Right % 1000,
                                clip.Bottom % 400};
                crt.PaintText(clip, [&crt](const CrtRun& run) {
                    const std::int64_t cw = crt.CellWidth();
                    const std::int64_t ch = crt.CellHeight();
                    Require(run.Bounds.Left >= 0 && run.Bounds.Right <= crt.Columns() * cw);
                    Require(run.Bounds.Top >= 0 && run.Bounds.Bottom <= crt.Rows() * ch);
                    Require(!run.Text.empty() &&
                            static_cast<std::int64_t>(run.Text.size()) * cw ==
                                std::int64_t{run.Bounds.Right} - run.Bounds.Left);
                });
                break;
            }
            default:
                crt.Write(std::string_view("\r\n\n\b\f\a", 6).substr(in.Byte() % 6, 1));
                break;
            }
        } catch (const EIntOverflow&) {
            // Pixel arithmetic with cells of absurd size is refused, and nothing else fails.
            Require(hugeCells);
        }
        window.CheckCursor();
        Require(crt.ScrollPending() == (crt.ScrollCount() > 0));
        Require(crt.ScrollCount() <= 18);
        Require(!crt.ScrollPending() || window.queued);
    }
    return 0;
}
