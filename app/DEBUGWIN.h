// The debugger window: the console in which the program logs what it does.
#pragma once

#include "base/TextSink.h"
#include "console/Lumocrt.h"
#include "ui/Forms.h"

namespace quillet::app {

class TDebugger : public ui::TForm, public TextSink {
public:
    explicit TDebugger(TComponent* owner = nullptr);
    std::string ClassName() const override { return "TDebugger"; }

    TLumocrt* CRT = nullptr;

    void FormCreate();

    // The program's log: a line, or text that the next output continues.
    void LogLine(std::string_view text) override { CRT->WriteLine(text); }
    void LogText(std::string_view text) override { CRT->Write(text); }
};

} // namespace quillet::app
