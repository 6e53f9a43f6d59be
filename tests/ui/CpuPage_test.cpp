// The CPU page on a machine of its own (the memory grid in either base, the
// register panel, break points) and the register dialog (its rows and flag
// list, entry in either base, flag clicks, edits applied when committed).

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTableView>
#include <QTest>

#include "console/SimpleTerminal.h"
#include "machine/TavrinMachine.h"
#include "platform/ScriptedUiPrompts.h"
#include "support/PaintRecorder.h"
#include "support/PixelGrab.h"
#include "support/QtTestApp.h"
#include "support/TerminalText.h"
#include "ui/CpuPage.h"
#include "ui/CpuRegistersDlg.h"
#include "ui/MemoryGridModel.h"
#include "ui/MemoryGridView.h"

using tavrin::test::QtTestApp;
using tavrin::test::TPaintRecorder;

namespace {

struct PageHarness {
    QApplication& app = QtTestApp();
    QTemporaryDir folder;
    TTavrinMachine machine{folder.path().toStdString() + "/"};
    TScriptedUiPrompts prompts;
    QAction reset{"Boot"}, run{"Run"}, step{"Step"};
    TCpuPage page{machine, prompts, TCpuPageActions{&reset, &run, &step}};

    QAbstractItemModel& Model() { return *page.MemoryModel; }
    std::string Header(Qt::Orientation o, int i) { return Model().headerData(i, o).toString().toStdString(); }
    std::string Cell(int row, int column) { return Model().data(Model().index(row, column)).toString().toStdString(); }
    std::string PanelRow(int row) { return tavrin::test::TerminalRow(*page.SimpleTerminal2, row, 1); }
    void SetHex(bool hex) {
        if (page.HexMemoryDisplayAct->isChecked() != hex) page.HexMemoryDisplayAct->trigger();
    }
};

TEST(CpuPage, GridShowsHeadingsBytesAndWidthsInTheBase) {
    PageHarness h;
    TMemoryGridView& grid = *h.page.CpuMemoryGrid;
    EXPECT_EQ(h.Model().rowCount(), 4096);
    EXPECT_EQ(h.Model().columnCount(), 17);
    EXPECT_EQ(h.Model().flags(h.Model().index(0, 16)) & Qt::ItemIsSelectable, Qt::NoItemFlags);
    const uint8_t text[16] = {'H', 'i', 0x1F, 0x20, 0x7F, 0x80, 0xFE, 0, 'z', '~', '.', 0x0D, '0', '9', 'A', 'Z'};
    h.machine.Cpu().WriteMemory(0xFFF0, 16, text);
    int hexByteWidth = 0, hexAddressWidth = 0;
    for (const bool hex : {true, false}) {
        h.SetHex(hex);
        // The corner, the first and last column headings, the last row's heading and byte FE.
        EXPECT_EQ(h.page.MemoryModel->CornerText().toStdString() + " " + h.Header(Qt::Horizontal, 0) + " " +
                      h.Header(Qt::Horizontal, 15) + " " + h.Header(Qt::Vertical, 4095) + " " + h.Cell(4095, 6),
                  hex ? "Hex 00 0F FFF0 FE" : "Dec 0 15 65520 254");
        EXPECT_EQ(h.Header(Qt::Horizontal, 16), "ASCII Text");
        EXPECT_EQ(h.Cell(4095, 16), "Hi. \x7F...z~..09AZ");
        if (hex) {
            hexByteWidth = grid.columnWidth(0);
            hexAddressWidth = grid.verticalHeader()->width();
        }
    }
    EXPECT_GT(grid.columnWidth(0), hexByteWidth);
    EXPECT_GT(grid.verticalHeader()->width(), hexAddressWidth);
    EXPECT_GT(grid.columnWidth(16), QFontMetrics(grid.font()).horizontalAdvance(QString(16, QChar('W'))));
}

TEST(CpuPage, TypedTextIsConvertedOrBeeps) {
    // Hex base, text, and the byte stored (-1: unchanged, with a beep).
    const struct {
        bool hex;
        const char* text;
        int stored;
    } rows[] = {{true, "1F", 0x1F},   {true, "31T", 0x1F}, {false, "31t", 0x1F},      {false, "1fh", 0x1F},
                {false, "300", 0x2C}, {true, "", 0},       {false, "-1", 0xFF},       {false, "1F", -1},
                {true, "h", -1},      {true, "-1", -1},    {false, "99999999999", -1}};
    for (const auto& r : rows) {
        PageHarness h;
        h.SetHex(r.hex);
        h.machine.Cpu().WriteMemoryByte(0x0123, 0x77);
        const std::string row = std::string(r.text) + (r.hex ? " in hex" : " in dec");
        EXPECT_EQ(h.Model().setData(h.Model().index(0x12, 3), r.text), r.stored >= 0) << row;
        EXPECT_EQ(h.machine.Cpu().ReadMemoryByte(0x0123), r.stored >= 0 ? r.stored : 0x77) << row;
        EXPECT_EQ(h.prompts.Beeps, r.stored >= 0 ? 0 : 1) << row;
    }
}

// The in-place editor: Enter writes, Esc and a click on the text column
// drop the edit.
TEST(CpuPage, EditorCommitsOrDrops) {
    const std::pair<const char*, int> finishes[] = {{"Enter", 0xAB}, {"Escape", 0x55}, {"ClickTextColumn", 0x55}};
    for (const auto& [finish, stored] : finishes) {
        PageHarness h;
        h.page.resize(800, 500);
        h.page.show();
        TMemoryGridView& view = *h.page.CpuMemoryGrid;
        h.machine.Cpu().WriteMemoryByte(0x0011, 0x55);
        const QModelIndex cell = h.Model().index(1, 1);
        view.setCurrentIndex(cell);
        view.edit(cell);
        auto* editor = static_cast<QLineEdit*>(view.Editor());
        ASSERT_NE(editor, nullptr);
        editor->setText("AB");
        if (finish == std::string("ClickTextColumn"))
            QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.visualRect(h.Model().index(1, 16)).center());
        else
            QTest::keyClick(editor, finish == std::string("Enter") ? Qt::Key_Return : Qt::Key_Escape);
        QApplication::processEvents();
        EXPECT_EQ(h.machine.Cpu().ReadMemoryByte(0x0011), stored) << finish;
        EXPECT_EQ(view.Editor(), nullptr) << finish;
    }
}

TEST(CpuPage, PanelShowsLabelsRegistersFlagsAndInstructions) {
    PageHarness h;
    TCpuEmu& cpu = h.machine.Cpu();
    const uint8_t program[] = {0x3E, 0x42, 0x31, 0x00, 0xFA};  // LD A,42h; LD SP,FA00h
    cpu.WriteMemory(0x0100, sizeof program, program);
    cpu.Reset(0x0100);
    cpu.SetStatusFlags(0x41);
    cpu.SetExRegisterA(0x9A);
    cpu.SetExStatusFlags(0xBC);
    h.page.show();  // a page shown again may have missed refreshes
    const char* labels[] = {"PC : ", "SP : ", "IX : ", "IY : ", "BC : ", "DE : ", "HL : ",
                            "AF : ", "BC': ", "DE': ", "HL': ", "AF': ", "FLAGS:"};
    for (int row = 1; row <= 13; ++row) {
        EXPECT_EQ(h.PanelRow(row).substr(0, std::string(labels[row - 1]).size()), labels[row - 1]) << row;
        EXPECT_TRUE(h.page.SimpleTerminal2->GetCell(1, row).Attributes.Contains(tca_Bold)) << row;
    }
    EXPECT_EQ(h.PanelRow(1) + "|" + h.PanelRow(12) + "|" + h.PanelRow(14), "PC : 01 00|AF': 9A BC|CnpxhyZs");
    for (int bit = 0; bit < 8; ++bit)
        EXPECT_EQ(h.page.SimpleTerminal2->GetCell(1 + bit, 14).Attributes.Contains(tca_Inverted), bit == 0 || bit == 6)
            << bit;
    EXPECT_EQ(h.PanelRow(16) + "|" + h.PanelRow(17), "----|0100 LD A,42");

    cpu.ExecuteOpcode();
    h.page.UpdateCpuDisplay();
    EXPECT_EQ(h.PanelRow(8) + "|" + h.PanelRow(16) + "|" + h.PanelRow(17), "AF : 42 41|0100 LD A,42|0102 LD SP,FA00");
}

TEST(CpuPage, PanelShowsTheWholeOfItsLongestInstructionsSharply) {
    // Instructions whose text runs to the panel's last columns.
    const struct {
        const char* name;
        std::vector<uint8_t> code;
        const char* text;
    } rows[] = {{"IndexedLoad", {0xDD, 0x36, 0x05, 0x00}, "0100 LD (IX+05),00"},
                {"IndexedBitSet", {0xDD, 0xCB, 0x05, 0xC6}, "0100 SET 0,(IX+05)"}};
    for (const auto& r : rows) {
        PageHarness h;
        TSimpleTerminal& panel = *h.page.SimpleTerminal2;
        panel.SetLowVideoFontColor(0x000000);  // black text stands out from any background
        h.machine.Cpu().WriteMemory(0x0100, static_cast<uint16_t>(r.code.size()), r.code.data());
        h.machine.Cpu().Reset(0x0100);
        h.page.show();
        h.page.UpdateCpuDisplay();
        QApplication::processEvents();
        ASSERT_EQ(h.PanelRow(17), r.text) << r.name;
        // All 20 columns fit the panel, and the text's last character shows.
        const int cw = panel.CellWidth(), ch = panel.CellHeight();
        EXPECT_LE(20 * cw, panel.viewport()->width()) << r.name;
        const int last = static_cast<int>(std::string(r.text).size());  // the text starts in column 1
        const QColor background = ToQColor(panel.Color());
        const QImage plain = tavrin::test::RenderAt(*panel.viewport(), 1);
        EXPECT_GT(tavrin::test::InkPixels(plain, QRect(last * cw, 17 * ch, cw, ch), background), 0) << r.name;
        // At twice the scale the text is drawn anew, not enlarged.
        const QImage fine = tavrin::test::RenderAt(*panel.viewport(), 2);
        const QRect text(cw, 17 * ch, last * cw, ch);
        SCOPED_TRACE(r.name);
        tavrin::test::ExpectDrawnAtItsRatio(fine, plain, text, background);
    }
}

// An instruction row that shows a shorter instruction than before keeps
// nothing of the old text: not in its cells, not on screen.
TEST(CpuPage, AShorterInstructionLeavesNothingOfTheLongerOneBehind) {
    PageHarness h;
    TSimpleTerminal& panel = *h.page.SimpleTerminal2;
    panel.SetLowVideoFontColor(0x000000);  // black text stands out from any background
    TCpuEmu& cpu = h.machine.Cpu();
    const uint8_t program[] = {0xDD, 0x36, 0x05, 0x00, 0x00, 0x00};  // LD (IX+05),00; NOP; NOP
    cpu.WriteMemory(0x0100, sizeof program, program);
    cpu.Reset(0x0100);
    h.page.show();
    QApplication::processEvents();
    ASSERT_EQ(h.PanelRow(17), "0100 LD (IX+05),00");
    // The last and the next instruction after each step: the next row, then
    // the last row, turns from the long instruction to a short one.
    const std::pair<const char*, const char*> steps[] = {{"0100 LD (IX+05),00", "0104 NOP"}, {"0104 NOP", "0105 NOP"}};
    const int cw = panel.CellWidth(), ch = panel.CellHeight();
    const QColor background = ToQColor(panel.Color());
    for (const auto& [last, next] : steps) {
        SCOPED_TRACE(next);
        cpu.ExecuteOpcode();
        h.page.UpdateCpuDisplay();
        QApplication::processEvents();
        EXPECT_EQ(h.PanelRow(16) + "|" + h.PanelRow(17), std::string(last) + "|" + next);
        const QImage image = tavrin::test::RenderAt(*panel.viewport(), 1);
        for (const auto& [row, text] : {std::pair(16, last), std::pair(17, next)}) {
            const int end = 1 + static_cast<int>(std::string(text).size());  // the column after the text
            const QRect rest(end * cw, row * ch, (panel.Columns() - end) * cw, ch);
            EXPECT_EQ(tavrin::test::InkPixels(image, rest, background), 0) << "row " << row << " after its text";
        }
    }
}

TEST(CpuPage, BreakPointIsSetOrWarnedAndClearDisarmsAtOnce) {
    // The answer (nullopt: Cancel), the message ("" when none), and the break point afterwards.
    const struct {
        std::optional<std::string> answer;
        const char* message;
        bool armed;
        uint16_t address;
    } rows[] = {{"10000", "The address \"10000\" is out of range.", false, 0x1234},
                {"12G4", "\"12G4\" is not a valid hex address.", false, 0x1234},
                {"", "\"\" is not a valid hex address.", false, 0x1234},
                {std::nullopt, "", false, 0x1234},
                {"ffff", "", true, 0xFFFF}};
    PageHarness h;
    for (const auto& r : rows) {
        h.machine.SetBreakPoint(0x1234);
        h.machine.ClearBreakPoint();
        h.prompts.Clear();
        h.prompts.InputAnswers.push_back(r.answer);
        h.page.SetBreakPoint->trigger();
        const std::string row = r.answer.value_or("Cancel");
        ASSERT_EQ(h.prompts.Log.at(0).Kind, TScriptedUiPrompts::TKind::Input) << row;
        EXPECT_EQ(h.prompts.Log.at(0).Text, "Hex Address") << row;
        EXPECT_EQ(h.prompts.Texts(), r.message[0] ? std::vector<std::string>{r.message} : std::vector<std::string>{})
            << row;
        EXPECT_EQ(h.machine.BreakPointSet(), r.armed) << row;
        EXPECT_EQ(h.machine.BreakPoint(), r.address) << row;
        EXPECT_EQ(h.page.ClearBreakPointAct->isEnabled(), r.armed) << row;
    }
    h.page.ClearBreakPointAct->trigger();
    EXPECT_FALSE(h.machine.BreakPointSet());
    EXPECT_FALSE(h.page.ClearBreakPointAct->isEnabled());
}

// Runs the posted paints, then starts the recorders afresh.
void Settle(std::initializer_list<TPaintRecorder*> recorders) {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
    for (TPaintRecorder* r : recorders) r->Clear();
}

// A refresh draws again the memory cells, panel rows and dialog cells whose
// values changed, and only those: with nothing changed nothing is painted.
TEST(CpuPage, ARefreshRepaintsOnlyWhatChanged) {
    PageHarness h;
    h.page.resize(900, 500);
    h.page.show();
    TMemoryGridView& grid = *h.page.CpuMemoryGrid;
    TPaintRecorder gridPaints(*grid.viewport());
    TPaintRecorder panelPaints(*h.page.SimpleTerminal2->viewport());
    TCpuEmu& cpu = h.machine.Cpu();
    using Cells = std::vector<std::pair<int, int>>;  // (row, column), in reading order
    auto rectOf = [&](int row, int column) { return grid.visualRect(h.Model().index(row, column)); };
    // The cells in view the grid painted into: a range of cells repaints the
    // grid lines between them too, so a cell counts by its inside.
    auto paintedCells = [&] {
        Cells painted;
        const int lastRow = grid.rowAt(grid.viewport()->height() - 1);
        for (int row = grid.rowAt(0); row <= (lastRow < 0 ? h.Model().rowCount() - 1 : lastRow); ++row)
            for (int column = 0; column < h.Model().columnCount(); ++column)
                if (gridPaints.Painted.intersects(rectOf(row, column).adjusted(2, 2, -2, -2)))
                    painted.emplace_back(row, column);
        return painted;
    };
    const struct {
        const char* Name;
        std::function<void()> Change;
        Cells Grid;  // the cells the grid repaints, each whole
        bool Panel;
    } rows[] = {
        {"nothing", [] {}, {}, false},
        {"a byte in view", [&] { cpu.WriteMemoryByte(0x0012, 0x3C); }, {{1, 2}, {1, 16}}, false},
        {"two bytes in view",
         [&] {
             cpu.WriteMemoryByte(0x0020, 0x01);
             cpu.WriteMemoryByte(0x0025, 0x02);
         },
         {{2, 0}, {2, 5}, {2, 16}},
         false},
        {"adjacent bytes in view",
         [&] {
             const uint8_t bytes[] = {0x41, 0x42, 0x43};
             cpu.WriteMemory(0x0033, sizeof bytes, bytes);
         },
         {{3, 3}, {3, 4}, {3, 5}, {3, 16}},
         false},
        {"a byte out of view", [&] { cpu.WriteMemoryByte(0xF000, 0x3C); }, {}, false},
        {"a register",
         [&] {
             cpu.SetRegisterH(0x12);
             cpu.SetRegisterL(0x34);
         },
         {},
         true},
        {"nothing again", [] {}, {}, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.Name);
        Settle({&gridPaints, &panelPaints});
        r.Change();
        h.page.UpdateCpuDisplay();
        QApplication::processEvents();
        EXPECT_EQ(gridPaints.Paints > 0, !r.Grid.empty());
        EXPECT_EQ(paintedCells(), r.Grid);
        for (const auto& [row, column] : r.Grid)
            EXPECT_TRUE((QRegion(rectOf(row, column)) - gridPaints.Painted).isEmpty())
                << "cell " << row << "," << column << " wholly";
        EXPECT_EQ(panelPaints.Paints > 0, r.Panel);
    }
    EXPECT_EQ(h.PanelRow(7), "HL : 12 34");
    EXPECT_EQ(h.Cell(1, 2), "3C");
    EXPECT_EQ(h.Cell(3, 16), "...ABC..........");
}

struct DialogHarness {
    QApplication& app = QtTestApp();
    TCpuEmu cpu;
    TZ80RegistersDlg dialog;
    int changes = 0;

    DialogHarness() {
        dialog.SetCpu(&cpu);
        dialog.OnRegisterChange = [this](TZ80RegistersDlg&) { ++changes; };
    }
    QAbstractItemModel& Model() { return *dialog.Model(); }
    bool Edit(int row, int column, const char* text) { return Model().setData(Model().index(row, column), text); }
    std::string Cell(int row, int column) { return Model().data(Model().index(row, column)).toString().toStdString(); }
};

TEST(CpuRegistersDlg, RowsHeadingsAndFlagItems) {
    DialogHarness h;
    EXPECT_EQ(h.dialog.windowTitle().toStdString(), "Z80 Registers");
    EXPECT_TRUE(h.dialog.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(h.dialog.isModal());
    std::vector<std::string> rows;
    for (int r = 0; r < h.Model().rowCount(); ++r)
        rows.push_back(h.Model().headerData(r, Qt::Vertical).toString().toStdString());
    EXPECT_EQ(rows,
              (std::vector<std::string>{"PC", "SP", "IX", "IY", "AF", "BC", "DE", "HL", "AF'", "BC'", "DE'", "HL'"}));
    EXPECT_EQ(h.Model().headerData(0, Qt::Horizontal).toString() + h.Model().headerData(1, Qt::Horizontal).toString(),
              "HighLow");
    std::vector<std::string> flags;
    for (int i = 0; i < h.dialog.FlagDisplay->count(); ++i)
        flags.push_back(h.dialog.FlagDisplay->item(i)->text().toStdString());
    EXPECT_EQ(flags, (std::vector<std::string>{"C - carry", "N - negative", "P - parity / overflow", "x -  n/u",
                                               "H - half carry", "y -  n/u", "Z - zero", "S - sign"}));
    EXPECT_EQ(h.dialog.GroupBox1->title().toStdString(), "[ CPU Flags ]");
    EXPECT_EQ(h.dialog.HexMemoryDisplay->text().toStdString(), "Display Hex");
    EXPECT_TRUE(h.dialog.HexMemoryDisplay->isChecked());
}

TEST(CpuRegistersDlg, EntrySetsTheRegisterOrIgnoresTheText) {
    // Hex base, cell, text, the cell's text afterwards (PC was 0100h) and whether it was applied.
    const struct {
        bool hex;
        int row, column;
        const char* text;
        const char* shown;
        bool applied;
    } rows[] = {{true, 0, 0, "FF", "FF", true},  {false, 0, 0, "255", "255", true}, {false, 0, 0, "256", "1", false},
                {true, 0, 0, "1G", "01", false}, {false, 0, 0, "-1", "1", false},   {true, 0, 0, "", "01", false},
                {true, 8, 1, "C3", "C3", true},  {true, 3, 1, "7e", "7E", true},    {false, 11, 1, "10", "10", true}};
    for (const auto& r : rows) {
        DialogHarness h;
        h.dialog.HexMemoryDisplay->setChecked(r.hex);
        h.cpu.Reset(0x0100);
        const std::string row = std::string(r.text) + (r.hex ? " hex" : " dec");
        EXPECT_EQ(h.Edit(r.row, r.column, r.text), r.applied) << row;
        EXPECT_EQ(h.changes, r.applied ? 1 : 0) << row;
        EXPECT_EQ(h.Cell(r.row, r.column), r.shown) << row;
        EXPECT_EQ(h.cpu.NextPC >> 8, r.row == 0 && r.applied ? 0xFF : 1) << row;  // a PC edit moves the next too
    }
}

TEST(CpuRegistersDlg, ARefreshRepaintsOnlyTheRegistersThatChanged) {
    DialogHarness h;
    h.dialog.show();
    QTableView& grid = *h.dialog.DrawGrid1;
    TPaintRecorder paints(*grid.viewport());
    Settle({&paints});
    h.dialog.RefreshGrid();
    QApplication::processEvents();
    EXPECT_EQ(paints.Paints, 0) << "nothing changed";

    h.cpu.SetRegisterC(0x42);
    h.dialog.RefreshGrid();
    QApplication::processEvents();
    EXPECT_GT(paints.Paints, 0);
    EXPECT_TRUE((paints.Painted - QRegion(grid.visualRect(h.Model().index(5, 1)))).isEmpty()) << "C alone";
    EXPECT_EQ(h.Cell(5, 1), "42");
}

TEST(CpuRegistersDlg, FlagClicksSetFAndAlternateFLeavesTheList) {
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

TEST(CpuRegistersDlg, TypedCellIsAppliedOnceWhenTheEditorCommits) {
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
}

// The first and last row (or column) of a rectangle that hold dark text pixels; -1 when none do.
std::pair<int, int> InkSpan(const QImage& image, const QRect& area, Qt::Orientation along) {
    const bool rows = along == Qt::Vertical;
    int first = -1, last = -1;
    for (int a = rows ? area.top() : area.left(); a <= (rows ? area.bottom() : area.right()); ++a)
        for (int b = rows ? area.left() : area.top(); b <= (rows ? area.right() : area.bottom()); ++b)
            if (qGray(rows ? image.pixel(b, a) : image.pixel(a, b)) < 100) {
                first = first < 0 ? a : first;
                last = a;
                break;
            }
    return {first, last};
}

// The grid fills the dialog's width in three columns and its rows fill the
// grid's height; each row's name sits on the line of its values, and the
// "Reg" and "High" headings stand apart, in any dialog font.
TEST(CpuRegistersDlg, GridFillsTheDialogAndItsRowsLineUp) {
    for (int pointSize : {9, 12}) {
        SCOPED_TRACE(pointSize);
        DialogHarness h;
        QFont font = h.dialog.font();
        font.setPointSize(pointSize);
        h.dialog.setFont(font);
        h.dialog.show();
        QApplication::processEvents();
        QTableView& grid = *h.dialog.DrawGrid1;
        const QHeaderView& names = *grid.verticalHeader();
        const QHeaderView& headings = *grid.horizontalHeader();
        const int frame = grid.frameWidth();

        EXPECT_EQ(grid.width(), h.dialog.width());
        EXPECT_GE(h.dialog.width(), 150);
        EXPECT_NEAR(names.width() + grid.columnWidth(0) + grid.columnWidth(1), grid.width() - 2 * frame, 1);
        EXPECT_NEAR(names.width(), grid.columnWidth(0), 2) << "three equal columns";
        const int lastRow = TRegisterGridModel::RegisterRows - 1;
        EXPECT_NEAR(names.sectionViewportPosition(lastRow) + names.sectionSize(lastRow), grid.viewport()->height(), 1)
            << "no empty band below the last row";

        const QImage image = grid.grab().toImage();
        const QPoint cells = grid.viewport()->geometry().topLeft();
        for (int row = 0; row <= lastRow; ++row) {
            const QRect name(frame + 2, cells.y() + names.sectionViewportPosition(row) + 1, names.width() - 4,
                             names.sectionSize(row) - 2);
            const QRect value = grid.visualRect(h.Model().index(row, 1)).translated(cells).adjusted(2, 1, -2, -1);
            const auto [nameTop, nameBottom] = InkSpan(image, name, Qt::Vertical);
            const auto [valueTop, valueBottom] = InkSpan(image, value, Qt::Vertical);
            ASSERT_GE(nameTop, 0) << row;
            ASSERT_GE(valueTop, 0) << row;
            EXPECT_NEAR(nameTop + nameBottom, valueTop + valueBottom, 2) << "row " << row;
        }

        // "Reg" ends well before "High" begins: more than two characters apart,
        // not a word space.
        const int line = frame + names.width();
        const int top = frame + 1, height = headings.height() - 3;
        const int regEnd = InkSpan(image, QRect(frame, top, names.width(), height), Qt::Horizontal).second;
        const int highStart = InkSpan(image, QRect(line, top, grid.columnWidth(0), height), Qt::Horizontal).first;
        ASSERT_GE(regEnd, 0);
        ASSERT_GE(highStart, 0);
        EXPECT_GT(highStart - regEnd, 2 * QFontMetrics(headings.font()).averageCharWidth());
    }
}

}  // namespace
