// The register dialog: its rows and flag list, hexadecimal and decimal
// entry, flag clicks, and edits applied once when the editor commits.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTableView>
#include <QTest>

#include "cpu/z80Cpu.h"
#include "support/QtTestApp.h"
#include "ui/CpuRegistersDlg.h"

using tavrin::test::QtTestApp;

namespace {

struct DialogHarness {
    QApplication& app = QtTestApp();
    TCpuEmu cpu;
    TZ80RegistersDlg dialog;
    int changes = 0;

    DialogHarness()
    {
        dialog.SetCpu(&cpu);
        dialog.OnRegisterChange = [this](TZ80RegistersDlg&) { ++changes; };
    }
    TRegisterGridModel& Model() { return *dialog.Model(); }
    bool Edit(int row, int column, const char* text)
    {
        return Model().setData(Model().index(row, column), QString::fromLatin1(text), Qt::EditRole);
    }
    std::string Cell(int row, int column)
    {
        return Model().data(Model().index(row, column), Qt::DisplayRole).toString().toStdString();
    }
};

TEST(CpuRegistersDlg, RowsHeadingsAndFlagItems)
{
    DialogHarness h;
    EXPECT_EQ(h.dialog.windowTitle().toStdString(), "Z80 Registers");
    EXPECT_TRUE(h.dialog.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(h.dialog.isModal());
    std::vector<std::string> rows;
    for (int r = 0; r < h.Model().rowCount(); ++r)
        rows.push_back(h.Model().headerData(r, Qt::Vertical, Qt::DisplayRole).toString().toStdString());
    EXPECT_EQ(rows, (std::vector<std::string>{"PC", "SP", "IX", "IY", "AF", "BC", "DE", "HL", "AF'", "BC'", "DE'", "HL'"}));
    EXPECT_EQ(h.Model().headerData(0, Qt::Horizontal, Qt::DisplayRole).toString().toStdString(), "High");
    EXPECT_EQ(h.Model().headerData(1, Qt::Horizontal, Qt::DisplayRole).toString().toStdString(), "Low");
    std::vector<std::string> flags;
    for (int i = 0; i < h.dialog.FlagDisplay->count(); ++i)
        flags.push_back(h.dialog.FlagDisplay->item(i)->text().toStdString());
    EXPECT_EQ(flags, (std::vector<std::string>{"C - carry", "N - negative", "P - parity / overflow", "x -  n/u",
                                               "H - half carry", "y -  n/u", "Z - zero", "S - sign"}));
    EXPECT_EQ(h.dialog.GroupBox1->title().toStdString(), "[ CPU Flags ]");
    EXPECT_EQ(h.dialog.HexMemoryDisplay->text().toStdString(), "Display Hex");
    EXPECT_TRUE(h.dialog.HexMemoryDisplay->isChecked());
}

struct EntryCase {
    const char* name;
    bool hex;
    int row, column;
    const char* text;
    int expected;  // -1: ignored
    std::function<uint8_t(const TCpuEmu&)> read;
};

class CpuRegistersEntry : public ::testing::TestWithParam<EntryCase> {};

TEST_P(CpuRegistersEntry, SetsTheRegisterOrIgnoresTheText)
{
    const EntryCase& c = GetParam();
    DialogHarness h;
    h.dialog.HexMemoryDisplay->setChecked(c.hex);
    h.cpu.Reset(0x0100);
    const uint8_t before = c.read(h.cpu);
    EXPECT_EQ(h.Edit(c.row, c.column, c.text), c.expected >= 0);
    EXPECT_EQ(c.read(h.cpu), c.expected >= 0 ? c.expected : before);
    EXPECT_EQ(h.changes, c.expected >= 0 ? 1 : 0);
    const QString shown = QString::number(c.read(h.cpu), c.hex ? 16 : 10).toUpper();
    EXPECT_EQ(h.Cell(c.row, c.column), (c.hex ? shown.rightJustified(2, '0') : shown).toStdString());
}

// A PC edit also moves the next instruction.
auto PcHigh = [](const TCpuEmu& cpu) { return uint8_t(cpu.NextPC >> 8); };

INSTANTIATE_TEST_SUITE_P(
    Texts, CpuRegistersEntry,
    ::testing::Values(EntryCase{"HexFF", true, 0, 0, "FF", 0xFF, PcHigh},
                      EntryCase{"Decimal255", false, 0, 0, "255", 0xFF, PcHigh},
                      EntryCase{"Decimal256Ignored", false, 0, 0, "256", -1, PcHigh},
                      EntryCase{"HexBadDigitIgnored", true, 0, 0, "1G", -1, PcHigh},
                      EntryCase{"NegativeIgnored", false, 0, 0, "-1", -1, PcHigh},
                      EntryCase{"EmptyIgnored", true, 0, 0, "", -1, PcHigh},
                      EntryCase{"AlternateFlags", true, 8, 1, "C3", 0xC3, [](const TCpuEmu& c) { return c.ExStatusFlags(); }},
                      EntryCase{"IndexLow", true, 3, 1, "7e", 0x7E, [](const TCpuEmu& c) { return c.RegisterIYL(); }},
                      EntryCase{"AlternateL", false, 11, 1, "10", 10, [](const TCpuEmu& c) { return c.ExRegisterL(); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CpuRegistersDlg, FlagClicksSetFAndAlternateFLeavesTheList)
{
    DialogHarness h;
    h.cpu.SetStatusFlags(0x00);
    h.dialog.RefreshGrid();
    h.dialog.FlagDisplay->item(0)->setCheckState(Qt::Checked);
    EXPECT_EQ(h.cpu.StatusFlags(), 0x01);
    EXPECT_EQ(h.Cell(4, 1), "01");
    EXPECT_EQ(h.changes, 1);

    h.Edit(8, 1, "FF");
    EXPECT_EQ(h.dialog.GetFlags(), 0x01) << "the list shows F, not F'";
    h.Edit(4, 1, "C0");
    EXPECT_EQ(h.dialog.GetFlags(), 0xC0);
    EXPECT_EQ(h.dialog.FlagDisplay->item(7)->checkState(), Qt::Checked);
}

TEST(CpuRegistersDlg, WithoutCpuNothingIsDrawnOrWritten)
{
    QtTestApp();
    TZ80RegistersDlg dialog;
    int changes = 0;
    dialog.OnRegisterChange = [&](TZ80RegistersDlg&) { ++changes; };
    TRegisterGridModel& model = *dialog.Model();
    EXPECT_FALSE(model.data(model.index(0, 0), Qt::DisplayRole).isValid());
    EXPECT_EQ(model.headerData(0, Qt::Vertical, Qt::DisplayRole).toString().toStdString(), "PC");
    EXPECT_FALSE(model.setData(model.index(0, 0), "12", Qt::EditRole));
    dialog.FlagDisplay->item(3)->setCheckState(Qt::Checked);
    EXPECT_EQ(changes, 0);
}

TEST(CpuRegistersDlg, TypedCellIsAppliedOnceWhenTheEditorCommits)
{
    DialogHarness h;
    h.cpu.SetRegisterB(0x11);
    h.dialog.show();
    QTableView& grid = *h.dialog.DrawGrid1;
    const QModelIndex cell = h.Model().index(5, 0);  // B
    grid.setCurrentIndex(cell);
    grid.edit(cell);
    auto* editor = grid.findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->clear();
    QTest::keyClicks(editor, "3C");
    EXPECT_EQ(h.changes, 0) << "nothing applied while typing";
    EXPECT_EQ(h.cpu.RegisterB(), 0x11);
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(h.cpu.RegisterB(), 0x3C);
    EXPECT_EQ(h.changes, 1);
    h.dialog.hide();
}

} // namespace
