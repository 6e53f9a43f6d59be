// The CPU page on a machine of its own: the memory grid's layout, headings
// and editing, the register panel, and the break-point actions with their
// messages through the scripted prompts.

#include <gtest/gtest.h>

#include <QAction>
#include <QHeaderView>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include "console/SimpleTerminal.h"
#include "machine/TavrinMachine.h"
#include "platform/ScriptedUiPrompts.h"
#include "support/QtTestApp.h"
#include "support/TerminalText.h"
#include "ui/CpuPage.h"
#include "ui/MemoryGridModel.h"
#include "ui/MemoryGridView.h"

using tavrin::test::QtTestApp;

namespace {

struct PageHarness {
    QApplication& app = QtTestApp();
    QTemporaryDir folder;
    TTavrinMachine machine{folder.path().toStdString() + "/"};
    TScriptedUiPrompts prompts;
    QAction reset{"Boot"}, run{"Run"}, step{"Step"};
    TCpuPage page{machine, prompts, TCpuPageActions{&reset, &run, &step}};

    TMemoryGridModel& Model() { return *page.MemoryModel; }
    std::string Header(Qt::Orientation o, int section)
    {
        return Model().headerData(section, o, Qt::DisplayRole).toString().toStdString();
    }
    std::string Cell(int row, int column)
    {
        return Model().data(Model().index(row, column), Qt::DisplayRole).toString().toStdString();
    }
    std::string PanelRow(int row) { return tavrin::test::TerminalRow(*page.SimpleTerminal2, row, 1); }
    void SetHex(bool hex)
    {
        if (page.HexMemoryDisplayAct->isChecked() != hex)
            page.HexMemoryDisplayAct->trigger();
    }
};

struct BaseCase {
    const char* name;
    bool hex;
    const char* corner;
    const char* column15;
    const char* lastRow;
    const char* byteFE;
};

class CpuPageGrid : public ::testing::TestWithParam<BaseCase> {};

TEST_P(CpuPageGrid, ShowsHeadingsAndBytesInTheBase)
{
    const BaseCase& c = GetParam();
    PageHarness h;
    h.SetHex(c.hex);
    EXPECT_EQ(h.Model().rowCount(), 4096);
    EXPECT_EQ(h.Model().columnCount(), 17);
    EXPECT_EQ(h.Model().CornerText().toStdString(), c.corner);
    EXPECT_EQ(h.Header(Qt::Horizontal, 0), c.hex ? "00" : "0");
    EXPECT_EQ(h.Header(Qt::Horizontal, 15), c.column15);
    EXPECT_EQ(h.Header(Qt::Horizontal, 16), "ASCII Text");
    EXPECT_EQ(h.Header(Qt::Vertical, 4095), c.lastRow);
    h.machine.CpuEmu1.WriteMemoryByte(0xFFF1, 0xFE);
    EXPECT_EQ(h.Cell(4095, 1), c.byteFE);
    const uint8_t text[16] = {'H', 'i', 0x1F, 0x20, 0x7F, 0x80, 0xFF, 0, 'z', '~', '.', 0x0D, '0', '9', 'A', 'Z'};
    h.machine.CpuEmu1.WriteMemory(0xFFF0, 16, text);
    EXPECT_EQ(h.Cell(4095, 16), "Hi. \x7F...z~..09AZ");
    EXPECT_EQ(h.Model().flags(h.Model().index(0, 16)) & Qt::ItemIsSelectable, Qt::NoItemFlags);
}

INSTANTIATE_TEST_SUITE_P(Bases, CpuPageGrid,
                         ::testing::Values(BaseCase{"Hex", true, "Hex", "0F", "FFF0", "FE"},
                                           BaseCase{"Dec", false, "Dec", "15", "65520", "254"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CpuPage, WidthsFollowTheBase)
{
    PageHarness h;
    const int hexByte = h.page.CpuMemoryGrid->columnWidth(0);
    const int hexAddress = h.page.CpuMemoryGrid->verticalHeader()->width();
    h.SetHex(false);
    EXPECT_GT(h.page.CpuMemoryGrid->columnWidth(0), hexByte);
    EXPECT_GT(h.page.CpuMemoryGrid->verticalHeader()->width(), hexAddress);
    const QFontMetrics metrics(h.page.CpuMemoryGrid->font());
    EXPECT_GT(h.page.CpuMemoryGrid->columnWidth(16), metrics.horizontalAdvance(QString(16, QChar('W'))));
}

struct EditCase {
    const char* name;
    bool hex;
    const char* text;
    int stored;  // -1: unchanged, with a beep
};

class CpuPageEdit : public ::testing::TestWithParam<EditCase> {};

TEST_P(CpuPageEdit, ConvertsTheTextOrBeeps)
{
    const EditCase& c = GetParam();
    PageHarness h;
    h.SetHex(c.hex);
    h.machine.CpuEmu1.WriteMemoryByte(0x0123, 0x77);
    const QModelIndex cell = h.Model().index(0x12, 3);
    EXPECT_EQ(h.Model().setData(cell, QString::fromLatin1(c.text), Qt::EditRole), c.stored >= 0);
    EXPECT_EQ(h.machine.CpuEmu1.ReadMemoryByte(0x0123), c.stored >= 0 ? c.stored : 0x77);
    EXPECT_EQ(h.prompts.Beeps, c.stored >= 0 ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CpuPageEdit,
    ::testing::Values(EditCase{"HexPlain", true, "1F", 0x1F}, EditCase{"DecimalSuffixInHex", true, "31T", 0x1F},
                      EditCase{"DecimalSuffixInDec", false, "31t", 0x1F}, EditCase{"HexSuffixInDec", false, "1fh", 0x1F},
                      EditCase{"DecimalLow8Bits", false, "300", 0x2C}, EditCase{"EmptyIsZero", true, "", 0},
                      EditCase{"NegativeDecimal", false, "-1", 0xFF}, EditCase{"HexDigitsInDecBeep", false, "1F", -1},
                      EditCase{"SuffixAloneBeeps", true, "h", -1},
                      EditCase{"SignedHexBeeps", true, "-1", -1}, EditCase{"BeyondIntegerBeeps", false, "99999999999", -1}),
    [](const auto& info) { return std::string(info.param.name); });

// The in-place editor: Enter writes, Esc and a click on the text column
// drop the edit.
struct EditorCase {
    const char* name;
    std::function<void(TMemoryGridView&, QWidget& editor)> finish;
    int stored;
};

class CpuPageEditor : public ::testing::TestWithParam<EditorCase> {};

TEST_P(CpuPageEditor, CommitsOrDrops)
{
    PageHarness h;
    h.page.resize(800, 500);
    h.page.show();
    TMemoryGridView& view = *h.page.CpuMemoryGrid;
    h.machine.CpuEmu1.WriteMemoryByte(0x0011, 0x55);
    const QModelIndex cell = h.Model().index(1, 1);
    view.setCurrentIndex(cell);
    view.edit(cell);
    QWidget* editor = view.Editor();
    ASSERT_NE(editor, nullptr);
    static_cast<QLineEdit*>(editor)->setText("AB");
    GetParam().finish(view, *editor);
    QApplication::processEvents();
    EXPECT_EQ(h.machine.CpuEmu1.ReadMemoryByte(0x0011), GetParam().stored);
    EXPECT_EQ(view.Editor(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, CpuPageEditor,
    ::testing::Values(
        EditorCase{"Enter", [](TMemoryGridView&, QWidget& e) { QTest::keyClick(&e, Qt::Key_Return); }, 0xAB},
        EditorCase{"Escape", [](TMemoryGridView&, QWidget& e) { QTest::keyClick(&e, Qt::Key_Escape); }, 0x55},
        EditorCase{"ClickTextColumn",
                   [](TMemoryGridView& v, QWidget&) {
                       QRect r = v.visualRect(v.model()->index(1, 16));
                       QTest::mouseClick(v.viewport(), Qt::LeftButton, {}, r.center());
                   },
                   0x55}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CpuPage, PanelShowsLabelsRegistersFlagsAndInstructions)
{
    PageHarness h;
    TCpuEmu& cpu = h.machine.CpuEmu1;
    const uint8_t program[] = {0x3E, 0x42, 0x31, 0x00, 0xFA};  // LD A,42h; LD SP,FA00h
    cpu.WriteMemory(0x0100, sizeof program, program);
    cpu.Reset(0x0100);
    cpu.SetStatusFlags(0x41);
    cpu.SetExRegisterA(0x9A);
    cpu.SetExStatusFlags(0xBC);
    h.page.UpdateCpuDisplay();
    const char* labels[] = {"PC : ", "SP : ", "IX : ", "IY : ", "BC : ", "DE : ", "HL : ",
                            "AF : ", "BC': ", "DE': ", "HL': ", "AF': ", "FLAGS:"};
    for (int row = 1; row <= 13; ++row) {
        EXPECT_EQ(h.PanelRow(row).substr(0, std::string(labels[row - 1]).size()), labels[row - 1]) << row;
        EXPECT_TRUE(h.page.SimpleTerminal2->GetCell(1, row).Attributes.Contains(tca_Bold)) << row;
    }
    EXPECT_EQ(h.PanelRow(1), "PC : 01 00");
    EXPECT_EQ(h.PanelRow(12), "AF': 9A BC");
    EXPECT_EQ(h.PanelRow(14), "CnpxhyZs");
    for (int bit = 0; bit < 8; ++bit)
        EXPECT_EQ(h.page.SimpleTerminal2->GetCell(1 + bit, 14).Attributes.Contains(tca_Inverted), bit == 0 || bit == 6)
            << bit;
    EXPECT_EQ(h.PanelRow(16), "----");
    EXPECT_EQ(h.PanelRow(17), "0100 LD A,42");

    cpu.ExecuteOpcode();
    h.page.UpdateCpuDisplay();
    EXPECT_EQ(h.PanelRow(8), "AF : 42 41");
    EXPECT_EQ(h.PanelRow(16), "0100 LD A,42");
    EXPECT_EQ(h.PanelRow(17), "0102 LD SP,FA00");
}

struct BreakCase {
    const char* name;
    std::optional<std::string> answer;  // nullopt: Cancel
    const char* message;                // "" when none
    bool armed;
    uint16_t address;
};

class CpuPageBreakPoint : public ::testing::TestWithParam<BreakCase> {};

TEST_P(CpuPageBreakPoint, IsSetOrWarned)
{
    const BreakCase& c = GetParam();
    PageHarness h;
    h.machine.FBreakPoint = 0x1234;
    h.prompts.InputAnswers.push_back(c.answer);
    h.page.SetBreakPoint->trigger();
    ASSERT_EQ(h.prompts.Log.at(0).Kind, TScriptedUiPrompts::TKind::Input);
    EXPECT_EQ(h.prompts.Log.at(0).Text, "Hex Address");
    EXPECT_EQ(h.prompts.Texts(), c.message[0] ? std::vector<std::string>{c.message} : std::vector<std::string>{});
    EXPECT_EQ(h.machine.FBreakPointSet, c.armed);
    EXPECT_EQ(h.machine.FBreakPoint, c.address);
    EXPECT_EQ(h.page.ClearBreakPointAct->isEnabled(), c.armed);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, CpuPageBreakPoint,
    ::testing::Values(BreakCase{"OutOfRange", "10000", "The address \"10000\" is out of range.", false, 0x1234},
                      BreakCase{"NotHex", "12G4", "\"12G4\" is not a valid hex address.", false, 0x1234},
                      BreakCase{"Empty", "", "\"\" is not a valid hex address.", false, 0x1234},
                      BreakCase{"ArmedAtTheTop", "ffff", "", true, 0xFFFF},
                      BreakCase{"Cancel", std::nullopt, "", false, 0x1234}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CpuPage, ShowingThePageRefreshesIt)
{
    PageHarness h;
    h.machine.CpuEmu1.Reset(0x4321);
    EXPECT_NE(h.PanelRow(1), "PC : 43 21");
    h.page.show();
    EXPECT_EQ(h.PanelRow(1), "PC : 43 21");
}

TEST(CpuPage, ClearBreakPointDisarmsAndDisablesAtOnce)
{
    PageHarness h;
    h.machine.FBreakPointSet = true;
    h.page.ClearBreakPointActUpdate(*h.page.ClearBreakPointAct);
    h.page.ClearBreakPointAct->trigger();
    EXPECT_FALSE(h.machine.FBreakPointSet);
    EXPECT_FALSE(h.page.ClearBreakPointAct->isEnabled());
}

} // namespace
