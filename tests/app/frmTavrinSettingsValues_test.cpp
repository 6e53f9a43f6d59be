// The TTY console's form values, the settings file a first run writes, and
// hand-edited settings that are out of range or too large for the screen.

#include <gtest/gtest.h>

#include <QScreen>

#include "platform/ProgramFolder.h"
#include "support/NamedRows.h"
#include "WindowTestSupport.h"

using namespace tavrin::test;

namespace {

struct TKeyValue {
    const char* Section;
    const char* Key;
    const char* Value;
};

void WriteSettings(const TWindowHarness& h, std::initializer_list<TKeyValue> values)
{
    TNrKeyValueSections store;
    for (const TKeyValue& v : values)
        store.WriteString(v.Section, v.Key, v.Value);
    store.SaveToFile(h.Temp.Folder() + ProgramName() + ".config");
}

TEST(TtyConsoleFormTest, TheConsoleStartsWithItsFormValues)
{
    TWindowHarness h;
    TMainHalvoret& w = h.Open();
    TSimpleTerminal& t = *w.SimpleTerminal1;
    EXPECT_EQ(std::make_tuple(t.Rows(), t.LineWrap(), t.FontName(), t.FontSize(), t.DefaultAttributes().Empty()),
              std::make_tuple(50, false, std::string("Terminal"), 9, true));
    // Sky blue, yellow font, white and black video, navy cursor.
    EXPECT_EQ((std::vector<TColor>{t.Color(), t.FontColor(), t.HighVideoFontColor(), t.LowVideoFontColor(),
                                   t.CursorColor()}),
              (std::vector<TColor>{0xF0CAA6, 0x00FFFF, 0xFFFFFF, 0x000000, 0x800000}));
    // A cursor address below row 24 is obeyed; a long line stays on its row.
    TSimpTermParser parser;
    w.TtyParserCommand(parser, TSimpTermParser::cmdGotoXY, 30, 2);
    EXPECT_EQ(t.CursorRow(), 30);
    for (int i = 0; i < 100; ++i)
        t.WriteChar('0' + i % 10);
    EXPECT_EQ(t.CursorRow(), 30);
    EXPECT_EQ(t.GetCell(79, 30).Ch, '9');
}

// The first-run column of the settings table, for every key the window or
// its machine holds.
TEST(FirstRunSettingsTest, ClosingAFreshWindowWritesTheFirstRunValues)
{
    TWindowHarness h;
    TMainHalvoret& w = h.Open();
    ASSERT_TRUE(w.close());
    TNrKeyValueSections store;
    ASSERT_TRUE(store.LoadFromFile(w.SettingsFileName()));
    const TKeyValue expected[] = {
        {"MAIN", "DSP_TOP", "-1"}, {"MAIN", "DSP_LEFT", "-1"}, {"CPU", "HexMemoryDisplay", "1"},
        {"CRT", "Crt132", "0"}, {"CRT", "FontFace", "Terminal"}, {"CRT", "FontSize", "9"},
        {"TTY", "TTY132", "0"}, {"TTY", "FontFace", "Terminal"}, {"TTY", "FontSize", "9"},
        {"TTY", "BgColor", "15780518"}, {"TTY", "FontColor", "0"}, {"TTY", "CursorColor", "8388608"},
        {"TTY", "DisplayRows", "50"}, {"DISKS", "CpmSourceFile", "cpm22.hex"},
        {"DISKS", "BiosSourceFile", "zubios.hex"}, {"PORTS", "ColdBootDeviceMapping", "1"},
        {"PORT_DEVICE_COM1", "Com1Enable", "0"}, {"PORT_DEVICE_COM1", "Com1HandShake", "1"},
        {"PORT_DEVICE_COM1", "Com1TCPPort", "9999"}, {"PORT_DEVICE_COM1", "Com1Port", "1"},
        {"PORT_DEVICE_COM1", "Com1Baud", "-1"}, {"PORT_DEVICE_COM1", "Com1Format", "3"},
        {"PORT_DEVICE_COM2", "Com2Port", "2"}, {"PORT_DEVICE_COM2", "Com2Baud", "-1"},
        {"PORT_DEVICE_FILE_IN", "InFileEosDone", "1"}, {"PORT_DEVICE_FILE_IN", "InFileChangeCon", "1"},
        {"DISK SERVER", "DiskServerPort", "999"}, {"DISK SERVER", "UseRemoteDiskAutoUnMount", "1"},
    };
    for (const TKeyValue& v : expected)
        EXPECT_EQ(store.ReadString(v.Section, v.Key, "(missing)"), v.Value) << v.Section << " " << v.Key;
}

// Saved TTY values come back; a window saved on a larger screen is clamped
// to this one and kept on it, which is not an error.
TEST(FirstRunSettingsTest, SavedValuesComeBackAndAHugeWindowFitsTheScreen)
{
    TWindowHarness h;
    WriteSettings(h, {{"TTY", "BgColor", "255"}, {"TTY", "FontColor", "65280"}, {"TTY", "CursorColor", "16711680"},
                      {"TTY", "DisplayRows", "30"}, {"TTY", "FontFace", "DejaVu Sans Mono"}, {"TTY", "FontSize", "12"},
                      {"MAIN", "DSP_WIDTH", "40000"}, {"MAIN", "DSP_HEIGHT", "40000"},
                      {"MAIN", "DSP_TOP", "90000"}, {"MAIN", "DSP_LEFT", "90000"}});
    TMainHalvoret& w = h.Open();
    w.FormActivate();
    const TMainHalvoret::TTtyDisplaySettings tty = w.GetTtyDisplaySettings();
    EXPECT_EQ(std::make_tuple(tty.Background, tty.FontColor, tty.CursorColor, tty.Rows),
              std::make_tuple(0x0000FFu, 0x00FF00u, 0xFF0000u, 30));
    EXPECT_EQ(std::make_tuple(w.SimpleTerminal1->FontName(), w.SimpleTerminal1->FontSize()),
              std::make_tuple(std::string("DejaVu Sans Mono"), 12));
    const QRect free = w.screen()->availableGeometry();
    EXPECT_LE(w.width(), free.width());
    EXPECT_LE(w.height(), free.height());
    EXPECT_TRUE(free.contains(w.frameGeometry().topLeft()));
    EXPECT_TRUE(h.Prompts.Log.empty());
}

struct TOutOfRangeCase {
    const char* name;
    TKeyValue Entry;
    std::function<bool(TMainHalvoret&)> KeptDefault;
};

TAVRIN_PRINT_AS_NAME(TOutOfRangeCase)

class OutOfRangeSettingsTest : public ::testing::TestWithParam<TOutOfRangeCase> {};

TEST_P(OutOfRangeSettingsTest, KeepsTheDefaultAndIsReported)
{
    const TOutOfRangeCase& c = GetParam();
    TWindowHarness h;
    WriteSettings(h, {c.Entry, {"TTY", "DisplayRows", "40"}, {"PORT_DEVICE_COM2", "Com2Format", "9"}});
    TMainHalvoret& w = h.Open();
    w.FormActivate();
    EXPECT_TRUE(c.KeptDefault(w));
    EXPECT_EQ(w.SimpleTerminal1->Rows(), 40) << "values in range still apply";
    ASSERT_EQ(h.Prompts.Log.size(), 1u) << "one box for every refused value";
    const std::string& text = h.Prompts.Log[0].Text;
    EXPECT_EQ(h.Prompts.Log[0].Type, TMsgDlgType::Warning);
    EXPECT_NE(text.find(std::string(c.Entry.Key) + "=" + c.Entry.Value), std::string::npos) << text;
    EXPECT_NE(text.find("Com2Format=9"), std::string::npos) << text;
    EXPECT_EQ(w.Machine().Settings.Com2.FormatIndex, 3);
}

INSTANTIATE_TEST_SUITE_P(
    Values, OutOfRangeSettingsTest,
    ::testing::Values(
        TOutOfRangeCase{"Mapping", {"PORTS", "ColdBootDeviceMapping", "999"},
                        [](TMainHalvoret& w) { return w.Machine().FMapping.FColdBootMapping == 1; }},
        TOutOfRangeCase{"ComPort", {"PORT_DEVICE_COM1", "Com1Port", "300"},
                        [](TMainHalvoret& w) { return w.Machine().Settings.Com1.PortNumber == 1; }},
        TOutOfRangeCase{"Colour", {"TTY", "BgColor", "-5"},
                        [](TMainHalvoret& w) { return w.SimpleTerminal1->Color() == 0xF0CAA6u; }},
        TOutOfRangeCase{"FontSize", {"TTY", "FontSize", "4000"},
                        [](TMainHalvoret& w) { return w.SimpleTerminal1->FontSize() == 9; }}), tavrin::test::RowName);

} // namespace
