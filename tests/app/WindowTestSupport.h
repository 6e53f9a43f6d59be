#pragma once
// A main window in a temporary program folder (TAVRIN_HOME), with the
// scripted prompts and helpers that read the TTY grid and the CRT buffer.

#include <QApplication>

#include <functional>
#include <memory>
#include <string>

#include "console/QnTerminal.h"
#include "console/SimpleTerminal.h"
#include "app/frmTavrin.h"
#include "ui/CpuPage.h"
#include "ui/DisksPage.h"
#include "platform/ScriptedUiPrompts.h"
#include "support/MachineTestSupport.h"
#include "support/QtTestApp.h"

namespace tavrin::test {

class TWindowHarness {
public:
    // copyImages: put the example zubios.hex and cpm22.hex in the folder.
    explicit TWindowHarness(bool copyImages = true)
    {
        QtTestApp();
        ::setenv("TAVRIN_HOME", Temp.Folder().c_str(), 1);
        if (copyImages)
            for (const char* name : {"zubios.hex", "cpm22.hex"})
                WriteFile(Temp.File(name), ReadFile(std::string(TAVRIN_PROGRAM_DIR) + "/" + name));
    }
    ~TWindowHarness()
    {
        Window.reset();
        ::unsetenv("TAVRIN_HOME");
    }
    TMainHalvoret& Open()
    {
        Window = std::make_unique<TMainHalvoret>(&Prompts);
        return *Window;
    }

    // Row r of the TTY grid, trailing blanks removed.
    std::string TtyRow(int row) const
    {
        const TSimpleTerminal& t = *Window->SimpleTerminal1;
        std::string text;
        for (int c = 0; c < t.Columns(); ++c) {
            uint8_t ch = t.GetCell(c, row).Ch;
            text += ch ? static_cast<char>(ch) : ' ';
        }
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        return text;
    }
    std::string TtyText() const
    {
        std::string all;
        for (int r = 0; r < Window->SimpleTerminal1->Rows(); ++r)
            all += TtyRow(r) + "\n";
        return all;
    }
    // Screen row r (1-based) of the CRT terminal's buffer, trailing blanks
    // removed.
    std::string CrtRow(int row) const
    {
        const TQnTerminalBuffer* b = Window->QnTerminal1->CurrentEmulator()->Buffer();
        std::string text = b ? b->LineText(row) : std::string();
        for (char& c : text)
            if (c == '\0')
                c = ' ';
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        return text;
    }
    std::string CrtText() const
    {
        std::string all;
        for (int r = 1; r <= Window->QnTerminal1->Rows(); ++r)
            all += CrtRow(r) + "\n";
        return all;
    }
    // Runs bursts (and the event loop between them) until the TTY shows
    // text, the run stops, or maxBursts bursts have run.
    bool RunUntilTty(const std::string& text, int maxBursts = 200)
    {
        return RunUntil([this] { return TtyText(); }, text, maxBursts);
    }
    // The same for the CRT terminal, whose data is shown when the event loop
    // hands it its queued bytes.
    bool RunUntilCrt(const std::string& text, int maxBursts = 200)
    {
        return RunUntil([this] { return CrtText(); }, text, maxBursts);
    }
    bool RunUntil(const std::function<std::string()>& screen, const std::string& text, int maxBursts)
    {
        for (int i = 0; i < maxBursts; ++i) {
            if (screen().find(text) != std::string::npos)
                return true;
            if (!Window->RunCpuAct->isChecked())
                return false;
            Window->ApplicationEvents1Idle();
            QApplication::processEvents();
        }
        QApplication::processEvents();
        return screen().find(text) != std::string::npos;
    }

    TTempFolder Temp;
    TScriptedUiPrompts Prompts;
    std::unique_ptr<TMainHalvoret> Window;
};

} // namespace tavrin::test
