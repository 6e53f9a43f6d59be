#include "ui/CpuPage.h"

#include "console/SimpleTerminal.h"
#include "cpu/OpcodeToText.h"
#include "platform/core/ConfigObject.h"
#include "machine/TavrinMachine.h"
#include "platform/UiPrompts.h"
#include "ui/CpuRegistersDlg.h"
#include "ui/GridCorner.h"
#include "ui/MemoryGridModel.h"
#include "ui/MemoryGridView.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

#include <cstdio>

namespace {

// Windows system colours as the console draws them (index with FFh on top).
constexpr TColor clHighlightText = 0xFF00000E;
constexpr TColor clInactiveCaptionText = 0xFF000013;
constexpr TColor clGradientActiveCaption = 0xFF00001B;

constexpr const char* PanelLabels[13] = {"PC : ", "SP : ", "IX : ", "IY : ", "BC : ", "DE : ",  "HL : ",
                                         "AF : ", "BC': ", "DE': ", "HL': ", "AF': ", "FLAGS: "};
constexpr char FlagLetters[] = "CNPXHYZS";

std::string Hex2(uint8_t b) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X", b);
    return text;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

TCpuPage::TCpuPage(TTavrinMachine& machine, IUiPrompts& prompts, const TCpuPageActions& actions, QWidget* parent)
    : QFrame(parent), FMachine(machine), FPrompts(prompts) {
    setFrameShape(QFrame::StyledPanel);
    auto make = [this](const char* name, const char* caption, const char* hint) {
        auto* action = new QAction(QString::fromLatin1(caption), this);
        action->setObjectName(QString::fromLatin1(name));
        action->setToolTip(QString::fromLatin1(hint));
        action->setStatusTip(QString::fromLatin1(hint));
        return action;
    };
    HexMemoryDisplayAct =
        make("HexMemoryDisplayAct", "Hex Memory Display", "Display cpu memory as hex based numbers when checked");
    HexMemoryDisplayAct->setCheckable(true);
    HexMemoryDisplayAct->setChecked(true);
    SetBreakPoint = make("SetBreakPoint", "Set Break Point", "Set CPU break point address");
    ClearBreakPointAct = make("ClearBreakPointAct", "Clear Break Point", "Clear the current CPU break point");
    ShowCPUWindowAct = make("ShowCPUWindowAct", "Edit CPU Regiters", "Show alter CPU registers window");
    connect(HexMemoryDisplayAct, &QAction::triggered, this, [this] { HexMemoryDisplayActExecute(); });
    connect(SetBreakPoint, &QAction::triggered, this, [this] { SetBreakPointExecute(); });
    connect(ClearBreakPointAct, &QAction::triggered, this, [this] { ClearBreakPointActExecute(); });
    connect(ShowCPUWindowAct, &QAction::triggered, this, [this] { ShowCPUWindowActExecute(); });
    ClearBreakPointActUpdate(*ClearBreakPointAct);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->addAction(actions.ResetCPM);
    ToolBar1->addSeparator();
    ToolBar1->addAction(actions.RunCpu);
    ToolBar1->addAction(actions.StepCpu);
    ToolBar1->addSeparator();
    ToolBar1->addAction(SetBreakPoint);
    ToolBar1->addAction(ClearBreakPointAct);
    ToolBar1->addSeparator();
    ToolBar1->addAction(ShowCPUWindowAct);
    layout->addWidget(ToolBar1);

    auto* body = new QHBoxLayout();
    SimpleTerminal2 = new TSimpleTerminal(this);
    SimpleTerminal2->setObjectName(QStringLiteral("SimpleTerminal2"));
    SimpleTerminal2->SetTerminalFont(TSimpleTerminal::MakeFont("Lucida Console", -13));
    SimpleTerminal2->SetRows(18);
    SimpleTerminal2->SetColumns(20);
    SimpleTerminal2->SetColor(clGradientActiveCaption);
    SimpleTerminal2->SetLowVideoFontColor(clHighlightText);
    SimpleTerminal2->SetHighVideoFontColor(clInactiveCaptionText);
    SimpleTerminal2->SetLineWrap(false);
    SimpleTerminal2->SetDisplayCursor(false);
    SimpleTerminal2->SetScrollToCursor(false);
    SimpleTerminal2->SetWantReturns(false);
    SimpleTerminal2->SetWantArrowKeys(false);
    SimpleTerminal2->SetWantTabs(false);
    // As wide as its 20 columns (the control's AutoSize), whatever the font.
    SimpleTerminal2->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    SimpleTerminal2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    SimpleTerminal2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    body->addWidget(SimpleTerminal2);

    MemoryModel = new TMemoryGridModel(this);
    MemoryModel->SetCpu(&FMachine.Cpu());
    MemoryModel->OnBadValue = [this] { FPrompts.Beep(); };
    CpuMemoryGrid = new TMemoryGridView(this);
    CpuMemoryGrid->setObjectName(QStringLiteral("CpuMemoryGrid"));
    CpuMemoryGrid->setModel(MemoryModel);
    CpuMemoryGrid->setFont(TSimpleTerminal::MakeFont("Lucida Console", -13));
    SetGridCornerText(*CpuMemoryGrid, [this] { return MemoryModel->CornerText(); });
    body->addWidget(CpuMemoryGrid, 1);
    layout->addLayout(body, 1);

    SetupMemoryGrid();
    DrawRegisterLabels();
    UpdateCpuDisplay();
}

bool TCpuPage::Hex() const { return HexMemoryDisplayAct->isChecked(); }

void TCpuPage::SetupMemoryGrid() {
    MemoryModel->SetHex(Hex());
    const QFontMetrics metrics(CpuMemoryGrid->font());
    const bool hex = Hex();
    QHeaderView* rows = CpuMemoryGrid->verticalHeader();
    QHeaderView* columns = CpuMemoryGrid->horizontalHeader();
    for (QHeaderView* header : {rows, columns}) {
        header->setFont(CpuMemoryGrid->font());
        header->setMinimumSectionSize(1);
        header->setSectionResizeMode(QHeaderView::Fixed);
    }
    // Each cell holds its text and 3 pixels either side, beyond the margins
    // the style puts around an item's text.
    const int styleMargin =
        2 * (CpuMemoryGrid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, CpuMemoryGrid) + 1);
    auto width = [&](const char* sample) {
        return metrics.horizontalAdvance(QString::fromLatin1(sample)) + 6 + styleMargin;
    };
    const int rowHeight = metrics.height() + 6;
    rows->setDefaultSectionSize(rowHeight);
    columns->setFixedHeight(rowHeight);
    for (int c = 0; c < TMemoryGridModel::ByteColumns; ++c) CpuMemoryGrid->setColumnWidth(c, width(hex ? "00" : "000"));
    CpuMemoryGrid->setColumnWidth(TMemoryGridModel::TextColumn, width("WWWWWWWWWWWWWWWW"));
    rows->setFixedWidth(width(hex ? "0000" : "00000"));
    CpuMemoryGrid->viewport()->update();
}

void TCpuPage::DrawRegisterLabels() {
    TSimpleTerminal& t = *SimpleTerminal2;
    t.SetDefaultAttributes({});
    t.RebuildScreen(false);
    FPanelText = {};
    t.SetDefaultAttributes(TTerminalCharAttributes{tca_Bold});
    for (int i = 0; i < 13; ++i) {
        t.GotoXY(1, i + 1);
        t.WriteString(PanelLabels[i]);
        t.ClearToEndOfText();
    }
    t.SetDefaultAttributes({});
}

void TCpuPage::WritePanelRow(int row, int column, const std::string& text) {
    std::string& shown = FPanelText[static_cast<size_t>(row)];
    if (shown == text) return;
    shown = text;
    TSimpleTerminal& t = *SimpleTerminal2;
    t.GotoXY(column, row);
    t.WriteString(text);
    t.ClearToEndOfText();
}

void TCpuPage::WriteInstructionRow(int row, uint16_t address, bool known) {
    std::string text = "----";
    if (known) {
        const TCpuEmu& cpu = FMachine.Cpu();
        uint32_t bytes = 0;
        for (int i = 3; i >= 0; --i) bytes = (bytes << 8) | cpu.ReadMemoryByte(static_cast<uint16_t>(address + i));
        char head[8];
        std::snprintf(head, sizeof head, "%04X ", address);
        text = head + DisassembleOpcode(bytes);
    }
    WritePanelRow(row, 1, text);
}

void TCpuPage::WriteFlagsRow(uint8_t f) {
    // In bit order: a set bit upper case and inverted, a clear one lower case.
    std::string letters;
    for (int bit = 0; bit < 8; ++bit)
        letters += static_cast<char>((f >> bit) & 1 ? FlagLetters[bit] : FlagLetters[bit] + ('a' - 'A'));
    std::string& shown = FPanelText[static_cast<size_t>(FlagsRow)];
    if (shown == letters) return;
    shown = letters;
    TSimpleTerminal& t = *SimpleTerminal2;
    t.GotoXY(1, FlagsRow);
    for (const char letter : letters) {
        const bool set = letter >= 'A' && letter <= 'Z';
        t.SetDefaultAttributes(set ? TTerminalCharAttributes{tca_Inverted} : TTerminalCharAttributes{});
        t.WriteChar(static_cast<uint8_t>(letter));
    }
    t.SetDefaultAttributes({});
}

void TCpuPage::UpdateCpuDisplay() {
    // Only what changed is written, so a CPU that only polls for input
    // redraws a few rows and no memory.
    const TCpuEmu& cpu = FMachine.Cpu();
    SimpleTerminal2->SetDefaultAttributes({});
    const uint8_t pairs[12][2] = {{cpu.RegisterPCH(), cpu.RegisterPCL()}, {cpu.RegisterSPH(), cpu.RegisterSPL()},
                                  {cpu.RegisterIXH(), cpu.RegisterIXL()}, {cpu.RegisterIYH(), cpu.RegisterIYL()},
                                  {cpu.RegisterB(), cpu.RegisterC()},     {cpu.RegisterD(), cpu.RegisterE()},
                                  {cpu.RegisterH(), cpu.RegisterL()},     {cpu.RegisterA(), cpu.StatusFlags()},
                                  {cpu.ExRegisterB(), cpu.ExRegisterC()}, {cpu.ExRegisterD(), cpu.ExRegisterE()},
                                  {cpu.ExRegisterH(), cpu.ExRegisterL()}, {cpu.ExRegisterA(), cpu.ExStatusFlags()}};
    for (int i = 0; i < 12; ++i) WritePanelRow(i + 1, 6, Hex2(pairs[i][0]) + " " + Hex2(pairs[i][1]));
    WriteFlagsRow(cpu.StatusFlags());
    WriteInstructionRow(16, cpu.LastPC, cpu.OpcodeCount > 0);
    WriteInstructionRow(17, cpu.NextPC, true);
    MemoryModel->Refresh();
    RefreshRegisterDialog();
}

void TCpuPage::showEvent(QShowEvent* event) {
    QFrame::showEvent(event);
    UpdateCpuDisplay();
}

void TCpuPage::RefreshRegisterDialog() {
    if (FRegistersDlg && FRegistersDlg->isVisible()) FRegistersDlg->RefreshGrid();
}

void TCpuPage::SetBreakPointExecute() {
    char preset[8];
    std::snprintf(preset, sizeof preset, "%04X", FMachine.BreakPoint());
    std::string text = preset;
    if (!FPrompts.InputQuery("Set New Break Point", "Hex Address", text)) return;
    const std::optional<int64_t> address = ParseGridInteger(text, true);
    if (!address)
        FPrompts.MessageDlg(Quoted(text) + " is not a valid hex address.", TMsgDlgType::Warning, mbOK);
    else if (*address > 0xFFFF)
        FPrompts.MessageDlg("The address " + Quoted(text) + " is out of range.", TMsgDlgType::Warning, mbOK);
    else {
        FMachine.SetBreakPoint(static_cast<uint16_t>(*address));
        ClearBreakPointActUpdate(*ClearBreakPointAct);
    }
}

void TCpuPage::ClearBreakPointActUpdate(QAction& action) { action.setEnabled(FMachine.BreakPointSet()); }

void TCpuPage::ClearBreakPointActExecute() {
    FMachine.ClearBreakPoint();
    ClearBreakPointAct->setEnabled(false);
}

void TCpuPage::ShowCPUWindowActExecute() {
    if (!FRegistersDlg) return;
    FRegistersDlg->SetCpu(&FMachine.Cpu());
    FRegistersDlg->OnRegisterChange = [this](TZ80RegistersDlg&) { UpdateCpuDisplay(); };
    FRegistersDlg->show();
    FRegistersDlg->raise();
}

void TCpuPage::HexMemoryDisplayActExecute() { SetupMemoryGrid(); }

void TCpuPage::LoadSettings(const TNrKeyValueSections& store) {
    HexMemoryDisplayAct->setChecked(store.ReadBool("CPU", "HexMemoryDisplay", HexMemoryDisplayAct->isChecked()));
    SetupMemoryGrid();
}

void TCpuPage::SaveSettings(TNrKeyValueSections& store) const {
    store.WriteBool("CPU", "HexMemoryDisplay", HexMemoryDisplayAct->isChecked());
}
