// Terminal window, offscreen: the posted data path, capture file, key
// routing, emulator switching, metrics and what ends up on the screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QImage>
#include <QKeyEvent>
#include <QtTest/QTest>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "console/CodePage437.h"
#include "console/QnTerminal.h"
#include "platform/PlatformEvents.h"
#include "support/QtTestApp.h"

namespace {

void Pump() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

// Counts the data events the terminal receives.
class EventCounter : public QObject {
public:
    bool eventFilter(QObject*, QEvent* e) override {
        if (static_cast<int>(e->type()) == WM_TERMINAL_DATA) ++dataEvents;
        return false;
    }
    int dataEvents = 0;
};

// A user emulator that records the keys it is given and can consume them.
class KeyRecorder : public TQnTTYEmulator {
public:
    void KeyDown(uint16_t& key, TShiftState shift) override {
        keys.push_back(key);
        shifts.push_back(shift);
        if (consume) key = 0;
    }
    void ProcessBlock(const uint8_t* data, int len, TQnCharSource source) override {
        ++blocks;
        TQnTTYEmulator::ProcessBlock(data, len, source);
        if (onBlock) {
            auto f = std::move(onBlock);
            onBlock = nullptr;
            f();
        }
    }
    std::vector<std::string> FontNames() const override { return fonts; }
    void Paint(TQnTerminalPainter& painter) override {
        clips.push_back(painter.ClipBox());
        TQnTTYEmulator::Paint(painter);
    }

    std::vector<uint16_t> keys;
    std::vector<TShiftState> shifts;
    bool consume = false;
    int blocks = 0;
    std::function<void()> onBlock;
    std::vector<std::string> fonts;
    std::vector<TQnRect> clips;
};

class TerminalTest : public ::testing::Test {
protected:
    void SetUp() override {
        tavrin::test::QtTestApp();
        term = std::make_unique<TQnTerminal>();
        term->SetTerminalFont(TQnCustomTerminal::TerminalFont(QStringLiteral("DejaVu Sans Mono"), 12));
        term->SetUseLazyDisplay(false);
        term->SetCaretBlinkTime(0);  // a steady caret for the pixel checks
        term->SetFontColor(0xFFFFFF);
        term->resize(term->CharWidth() * 80, term->CharHeight() * 24);
        tempDir = std::filesystem::temp_directory_path() / ("qnterm_test_" + std::to_string(::getpid()));
        std::filesystem::create_directories(tempDir);
    }
    void TearDown() override {
        term.reset();
        std::error_code ec;
        std::filesystem::remove_all(tempDir, ec);
    }

    TQnTerminalBuffer& Buf() { return *term->CurrentEmulator()->Buffer(); }
    QImage Grab() { return term->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    // Bright pixels inside the cell of a 1-based screen row and column.
    int BrightPixels(const QImage& img, int row, int col) {
        int n = 0;
        const int cw = term->CharWidth(), ch = term->CharHeight();
        for (int y = (row - 1) * ch; y < row * ch; ++y)
            for (int x = (col - 1) * cw; x < col * cw; ++x)
                if (qGray(img.pixel(x, y)) > 128) ++n;
        return n;
    }
    std::string ReadFile(const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void Key(int key, Qt::KeyboardModifiers mods, const QString& text = {}, bool autoRepeat = false) {
        QKeyEvent e(QEvent::KeyPress, key, mods, text, autoRepeat);
        QApplication::sendEvent(term.get(), &e);
    }

    std::unique_ptr<TQnTerminal> term;
    std::filesystem::path tempDir;
};

TEST_F(TerminalTest, WrittenBytesArriveThroughOnePostedEvent) {
    EventCounter counter;
    term->installEventFilter(&counter);
    term->WriteChar('A');
    EXPECT_EQ(Buf().CharAt(1, 1), ' ');  // writers never interpret
    for (int i = 0; i < 999; ++i) term->WriteChar(static_cast<uint8_t>('0' + i % 10));
    term->WriteString("\r\nend");
    Pump();
    EXPECT_EQ(counter.dataEvents, 1);
    EXPECT_EQ(Buf().CharAt(1, 1), 'A');
    EXPECT_EQ(Buf().CharAt(1, 2), '0');
    EXPECT_EQ(Buf().LineText(14).substr(0, 3), "end");  // 1000 characters fill 12.5 rows

    term->WriteString("");  // still posts; nothing to do
    Pump();
    EXPECT_EQ(counter.dataEvents, 2);
    EXPECT_EQ(Buf().LineText(14).substr(0, 4), "end ");
    term->removeEventFilter(&counter);
}

TEST_F(TerminalTest, BytesWrittenWhileProcessingAreKept) {
    KeyRecorder emu;
    term->SetEmulator(&emu);
    // Writing from inside the interpretation makes the queue grow (and move).
    emu.onBlock = [&] { term->WriteString(std::string(5000, 'x') + "tail"); };
    term->WriteString("head");
    Pump();
    EXPECT_EQ(emu.blocks, 2);
    // 4 + 5004 characters fill 63 rows: "head" scrolled into the scrollback,
    // directly followed by the x's written during its own processing.
    int headRow = 0;
    for (int r = Buf().RowCount() - Buf().SVRowCount() + 1; r <= Buf().RowCount(); ++r)
        if (Buf().LineText(r).substr(0, 4) == "head") headRow = r;
    ASSERT_NE(headRow, 0);
    EXPECT_EQ(Buf().LineText(headRow), "head" + std::string(76, 'x'));
    const std::string last = Buf().LineText(Buf().CursorScreenRow());
    EXPECT_NE(last.find("tail"), std::string::npos);

    // A nested event loop inside the interpretation (a modal box, say) does
    // not interpret the newer bytes ahead of the running block.
    Buf().EraseAll();
    emu.onBlock = [&] {
        term->WriteString("2nd");
        QApplication::processEvents();
        EXPECT_EQ(Buf().LineText(1).substr(0, 4), "1st ");
    };
    term->WriteString("1st");
    Pump();
    EXPECT_EQ(Buf().LineText(1).substr(0, 7), "1st2nd ");
    term->SetEmulator(nullptr);
}

TEST_F(TerminalTest, CaptureFileHoldsTheRawBytes) {
    const auto file = tempDir / "raw.cap";
    term->SetCaptureFile(file.string());
    term->SetCapture(cmOn);
    const std::string raw = std::string("ab\r\n\x1b[1m\xC4\x00\xFF", 10);
    term->WriteString(raw);
    Pump();
    term->SetCapture(cmAppend);  // while on: no change
    EXPECT_EQ(term->Capture(), cmOn);
    term->SetCapture(cmOff);
    term->WriteString("not captured");
    Pump();
    EXPECT_EQ(ReadFile(file), raw);

    term->SetCapture(cmAppend);
    EXPECT_EQ(term->Capture(), cmOn);
    term->WriteString("more");
    Pump();
    term->SetCapture(cmOff);
    EXPECT_EQ(ReadFile(file), raw + "more");

    term->SetCapture(cmOn);  // on again: the file starts afresh
    term->WriteChar('z');
    Pump();
    const auto second = tempDir / "second.cap";
    term->SetCaptureFile(second.string());  // switches over, new file created
    term->WriteChar('y');
    Pump();
    term->SetCapture(cmOff);
    EXPECT_EQ(ReadFile(file), "z");
    EXPECT_EQ(ReadFile(second), "y");
}

TEST_F(TerminalTest, BareCaptureNameGoesToTheProgramFolder) {
    const char* old = std::getenv("TAVRIN_HOME");
    const std::string saved = old ? old : "";
    ::setenv("TAVRIN_HOME", tempDir.c_str(), 1);
    term->SetCaptureFile("bare.cap");
    term->SetCapture(cmOn);
    term->WriteString("home");
    Pump();
    term->SetCapture(cmOff);
    term->SetCapture(cmAppend);  // appending finds the same file
    term->WriteString("+");
    Pump();
    term->SetCapture(cmOff);
    if (old) ::setenv("TAVRIN_HOME", saved.c_str(), 1);
    else ::unsetenv("TAVRIN_HOME");
    EXPECT_EQ(term->CaptureFile(), "bare.cap");
    EXPECT_EQ(ReadFile(tempDir / "bare.cap"), "home+");
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::current_path() / "bare.cap"));
}

TEST_F(TerminalTest, CaptureModeChanges) {
    EXPECT_EQ(term->CaptureFile(), "QUONTERM.CAP");
    struct Case { TQnCaptureMode from, to, expected; };
    const Case cases[] = {
        {cmOff, cmOn, cmOn}, {cmOff, cmAppend, cmOn}, {cmOn, cmAppend, cmOn}, {cmOn, cmOff, cmOff}, {cmOff, cmOff, cmOff},
    };
    for (const Case& c : cases) {
        const auto file = tempDir / "mode.cap";
        { std::ofstream(file) << "x"; }
        term->SetCaptureFile(file.string());
        term->SetCapture(c.from);
        term->SetCapture(c.to);
        EXPECT_EQ(term->Capture(), c.expected) << int(c.from) << "->" << int(c.to);
        term->SetCapture(cmOff);
    }
    // A file that cannot be created: the mode is taken, nothing is captured.
    term->SetCaptureFile((tempDir / "no" / "such" / "dir.cap").string());
    EXPECT_THROW(term->SetCapture(cmOn), EQnCaptureError);
    EXPECT_EQ(term->Capture(), cmOn);
    term->WriteString("still shown");
    Pump();
    EXPECT_EQ(Buf().LineText(1).substr(0, 11), "still shown");
    term->SetCapture(cmOff);
}

TEST_F(TerminalTest, KeysReachTheEmulatorAsVirtualKeys) {
    KeyRecorder emu;
    term->SetEmulator(&emu);
    struct Case {
        const char* what;
        int key;
        Qt::KeyboardModifiers mods;
        bool autoRepeat;
        uint16_t expected;
    };
    const Case cases[] = {
        {"Return", Qt::Key_Return, Qt::NoModifier, false, VK_RETURN},
        {"keypad Enter", Qt::Key_Enter, Qt::KeypadModifier, false, VK_EXECUTE},
        {"keypad 7, NumLock off", Qt::Key_Home, Qt::KeypadModifier, false, 0x67},
        {"keypad 7, NumLock on", Qt::Key_7, Qt::KeypadModifier, false, 0x67},
        {"Home of the navigation block", Qt::Key_Home, Qt::NoModifier, false, VK_HOME},
        {"keypad 5, NumLock off", Qt::Key_Clear, Qt::KeypadModifier, false, 0x65},
        {"keypad 0, NumLock off", Qt::Key_Insert, Qt::KeypadModifier, false, 0x60},
        {"keypad point, NumLock off", Qt::Key_Delete, Qt::KeypadModifier, false, VK_DECIMAL},
        {"keypad up, NumLock off", Qt::Key_Up, Qt::KeypadModifier, false, 0x68},
        {"Up of the cursor block", Qt::Key_Up, Qt::NoModifier, false, VK_UP},
        {"keypad page down", Qt::Key_PageDown, Qt::KeypadModifier, false, 0x63},
        {"held key repeats with 8000h", Qt::Key_A, Qt::NoModifier, true, 0x8041},
        {"held cursor key", Qt::Key_Down, Qt::NoModifier, true, 0x8028},
        {"F1", Qt::Key_F1, Qt::NoModifier, false, VK_F1},
    };
    for (const Case& c : cases) {
        emu.keys.clear();
        Key(c.key, c.mods, {}, c.autoRepeat);
        ASSERT_EQ(emu.keys.size(), 1u) << c.what;  // WantAllKeys: only the translated key-down
        EXPECT_EQ(emu.keys[0], c.expected) << c.what;
    }
    // Modifier keys alone reach nobody.
    emu.keys.clear();
    emu.shifts.clear();
    Key(Qt::Key_Shift, Qt::ShiftModifier);
    EXPECT_TRUE(emu.keys.empty());
    Key(Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(emu.shifts.size(), 1u);
    EXPECT_TRUE(emu.shifts[0].Contains(ssCtrl));
    EXPECT_TRUE(emu.shifts[0].Contains(ssShift));
    term->SetEmulator(nullptr);
}

TEST_F(TerminalTest, TypedCharactersGoToTheKeyboardEvent) {
    KeyRecorder emu;
    term->SetEmulator(&emu);
    std::string sent;
    term->OnKeyboardData = [&](TQnTerminalEmulator& sender, char ch) {
        EXPECT_EQ(&sender, &emu);
        sent += ch;
    };
    Key(Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    Key(Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    Key(Qt::Key_C, Qt::ControlModifier);
    Key(Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"));
    Key(Qt::Key_F2, Qt::NoModifier);  // no character
    EXPECT_EQ(sent, "a\r\x03\t");
    emu.consume = true;  // a key the emulator handles sends no character
    Key(Qt::Key_B, Qt::NoModifier, QStringLiteral("b"));
    EXPECT_EQ(sent, "a\r\x03\t");

    // Half duplex shows the typed character too.
    emu.consume = false;
    term->SetHalfDuplex(true);
    Key(Qt::Key_Q, Qt::NoModifier, QStringLiteral("q"));
    EXPECT_EQ(sent.back(), 'q');
    EXPECT_EQ(Buf().CharAt(1, 1), 'q');
    term->SetEmulator(nullptr);
}

TEST_F(TerminalTest, EmulatorSwitchingKeepsTheSizesAndFallsBack) {
    TQnTerminalEmulator* own = term->CurrentEmulator();
    term->SetScrollbackRows(100);
    term->SetRows(30);
    term->SetColumns(132);
    {
        KeyRecorder emu;
        term->SetEmulator(&emu);
        EXPECT_EQ(term->Emulator(), &emu);
        EXPECT_EQ(term->CurrentEmulator(), &emu);
        EXPECT_EQ(emu.Terminal(), term.get());
        EXPECT_EQ(term->ScrollbackRows(), 100);
        EXPECT_EQ(term->Rows(), 30);
        EXPECT_EQ(term->Columns(), 132);
        term->WriteString("user");
        Pump();
        EXPECT_EQ(emu.Buffer()->LineText(1).substr(0, 4), "user");
        EXPECT_EQ(own->Buffer()->CharAt(1, 1), ' ');
    }  // the user emulator goes away: back to the terminal's own
    EXPECT_EQ(term->Emulator(), nullptr);
    EXPECT_EQ(term->CurrentEmulator(), own);
    term->WriteString("own");
    Pump();
    EXPECT_EQ(own->Buffer()->LineText(1).substr(0, 3), "own");

    // Two terminals: an emulator moves from one to the other.
    KeyRecorder emu;
    TQnTerminal other;
    term->SetEmulator(&emu);
    other.SetEmulator(&emu);
    EXPECT_EQ(term->Emulator(), nullptr);
    EXPECT_EQ(other.Emulator(), &emu);
    EXPECT_EQ(emu.Terminal(), &other);
    other.SetEmulator(nullptr);
}

TEST_F(TerminalTest, PropertySetters) {
    struct Case {
        const char* what;
        std::function<void(int)> set;
        std::function<int()> get;
        int value, expected;
    };
    auto blink = [this](int v) { term->SetBlinkTime(v); };
    auto blinkGet = [this] { return term->BlinkTime(); };
    auto bytes = [this](int v) { term->SetLazyByteDelay(v); };
    auto bytesGet = [this] { return term->LazyByteDelay(); };
    auto time = [this](int v) { term->SetLazyTimeDelay(v); };
    auto timeGet = [this] { return term->LazyTimeDelay(); };
    const Case cases[] = {
        {"blink 0", blink, blinkGet, 0, 0},       {"blink -5", blink, blinkGet, -5, 0},
        {"blink 1", blink, blinkGet, 1, 250},     {"blink 250", blink, blinkGet, 250, 250},
        {"blink 251", blink, blinkGet, 251, 251}, {"bytes 0", bytes, bytesGet, 0, 200},
        {"bytes 1025", bytes, bytesGet, 1025, 200}, {"bytes 1", bytes, bytesGet, 1, 1},
        {"bytes 1024", bytes, bytesGet, 1024, 1024}, {"time 0", time, timeGet, 0, 100},
        {"time 1001", time, timeGet, 1001, 100},  {"time 1000", time, timeGet, 1000, 1000},
    };
    for (const Case& c : cases) {
        // Each starts from the defaults.
        term = std::make_unique<TQnTerminal>();
        c.set(c.value);
        EXPECT_EQ(c.get(), c.expected) << c.what;
    }
    EXPECT_EQ(term->Version(), "v4.06");
    EXPECT_EQ(term->CursorType(), ctBlock);
    EXPECT_TRUE(term->WantAllKeys());
    EXPECT_TRUE(term->UseLazyDisplay());
    EXPECT_EQ(term->Columns(), 80);
    EXPECT_EQ(term->Rows(), 24);
    EXPECT_EQ(term->ScrollbackRows(), 200);
    term->SetColumns(0);
    term->SetRows(-3);
    EXPECT_EQ(term->Columns(), 80);
    EXPECT_EQ(term->Rows(), 24);
    EXPECT_THROW(term->SetColumns(1), EQnTerminalBuffer);
}

TEST_F(TerminalTest, CellSizeCoversEveryFont) {
    const QFont mono = TQnCustomTerminal::TerminalFont(QStringLiteral("DejaVu Sans Mono"), 12);
    // The real advance, fractional at this size, fits in the cell; a whole
    // pixel more would be waste.
    const qreal advance = QFontMetricsF(mono).horizontalAdvance(QLatin1Char('M'));
    ASSERT_NE(advance, std::floor(advance)) << "the font no longer shows the case";
    EXPECT_GE(term->CharWidth(), advance);
    EXPECT_LT(term->CharWidth(), advance + 1);
    EXPECT_GE(term->CharHeight(), QFontMetrics(mono).height());
    const int monoWidth = term->CharWidth();

    KeyRecorder emu;
    emu.fonts = {"<Default>", "DejaVu Sans"};
    term->SetEmulator(&emu);
    QFont wide = mono;
    wide.setFamily(QStringLiteral("DejaVu Sans"));
    EXPECT_GE(term->CharWidth(), QFontMetricsF(wide).maxWidth());
    EXPECT_GT(term->CharWidth(), monoWidth);
    term->SetEmulator(nullptr);
    EXPECT_EQ(term->CharWidth(), monoWidth);

    // A name that is not installed still gives a monospace face.
    term->SetTerminalFont(TQnCustomTerminal::TerminalFont(QStringLiteral("Terminal"), 12));
    EXPECT_GT(term->CharWidth(), 1);
    EXPECT_EQ(QFontMetrics(term->font()).horizontalAdvance(QLatin1Char('i')),
              QFontMetrics(term->font()).horizontalAdvance(QLatin1Char('W')));
}

// One glyph drawn alone with its baseline `ascent` below the top of a cell,
// in an image one cell larger on every side: the middle cell is what a cell
// showing that glyph must look like, and the margin must stay blank.
QImage LoneGlyph(const QFont& font, int ascent, QSize cell, QChar glyph, QColor text, QColor back) {
    QImage img(cell * 3, QImage::Format_RGB32);
    img.fill(back);
    QPainter p(&img);
    p.setFont(font);
    p.setPen(text);
    p.drawText(QPoint(cell.width(), cell.height() + ascent), QString(glyph));
    return img;
}

bool MarginBlank(const QImage& lone, QSize cell, QColor back) {
    const QRect middle(QPoint(cell.width(), cell.height()), cell);
    for (int y = 0; y < lone.height(); ++y)
        for (int x = 0; x < lone.width(); ++x)
            if (!middle.contains(x, y) && lone.pixelColor(x, y) != back) return false;
    return true;
}

QImage MiddleCell(const QImage& lone, QSize cell) {
    return lone.copy(QRect(QPoint(cell.width(), cell.height()), cell));
}

TEST(GlyphCell, HoldsTheInkOfEveryPrintableGlyph) {
    tavrin::test::QtTestApp();
    std::vector<QFont> fonts;
    for (int px = 8; px <= 24; ++px) fonts.push_back(TQnCustomTerminal::TerminalFont(QStringLiteral("Terminal"), px));
    QFont bold = TQnCustomTerminal::TerminalFont(QStringLiteral("DejaVu Sans Mono"), 13);
    bold.setBold(true);
    fonts.push_back(bold);
    for (const QFont& font : fonts) {
        SCOPED_TRACE(font.toString().toStdString());
        const TQnGlyphCell cell = QnGlyphCellOf(font);
        const QSize size(cell.Width, cell.Height);
        EXPECT_GE(cell.Width, QFontMetricsF(font).horizontalAdvance(QLatin1Char('M')));
        EXPECT_GE(cell.Height, QFontMetrics(font).height());
        for (char16_t c = 0x21; c < 0x7F; ++c) {
            EXPECT_TRUE(MarginBlank(LoneGlyph(font, cell.Ascent, size, QChar(c), Qt::green, Qt::black), size,
                                    Qt::black))
                << "glyph " << char(c) << " leaves its cell";
        }
    }
}

// Runs drawn straight on an image: each glyph on its own cell, the same as
// when drawn alone, whatever the face's own advance, and also for a glyph
// the face lacks (9Eh, which another face stands in for).
TEST(QtPainter, RunsKeepEveryGlyphOnItsCell) {
    tavrin::test::QtTestApp();
    const QFont own = TQnCustomTerminal::TerminalFont(QStringLiteral("Terminal"), 12);
    const TQnGlyphCell ownCell = QnGlyphCellOf(own);
    struct Case { const char* name; std::string fontName; bool cached; std::string text; };
    for (const Case& c : {Case{"own font", "", false, "> hello world WiW"},
                          Case{"own font, cached run", "", true, "> hello world WiW"},
                          Case{"a proportional face", "DejaVu Sans", false, "WiWi mm ll"},
                          Case{"a face lacking a glyph", "DejaVu Serif", false, "Pt\x9E 12\x9E"}}) {
        SCOPED_TRACE(c.name);
        QFont font = own;
        if (!c.fontName.empty()) font.setFamily(QString::fromStdString(c.fontName));
        const TQnGlyphCell cell = QnGlyphCellOf(font);
        const int width = std::max(ownCell.Width, cell.Width);
        const int height = std::max(ownCell.Height, cell.Height);
        const int n = static_cast<int>(c.text.size());
        QImage canvas(width * (n + 2), height * 3, QImage::Format_RGB32);
        canvas.fill(Qt::black);
        TQnRunImageCache cache;
        {
            TQnQtPainter painter(canvas, own, canvas.rect(), c.cached ? &cache : nullptr, ownCell.Ascent);
            const int left = width, top = height;
            painter.TextOut(left, top, TQnRect{left, top, left + n * width, top + height}, c.text.data(), n, width,
                            0x00FF00, 0x000000, c.fontName, false);
        }
        EXPECT_EQ(cache.Count(), c.cached ? 1 : 0);
        const QSize size(width, height);
        for (int i = 0; i < n; ++i) {
            const uint8_t b = static_cast<uint8_t>(c.text[i]);
            const QChar glyph = b < 0x80 ? QChar(b) : QChar(Cp437ToUnicode(b));
            const QImage lone = LoneGlyph(font, cell.Ascent, size, glyph, QColor(0, 255, 0), Qt::black);
            EXPECT_EQ(canvas.copy((i + 1) * width, height, width, height), MiddleCell(lone, size))
                << "cell " << i << " '" << c.text[i] << "'";
        }
    }
}

// The window as the machine sets it up for its CRT console: lime on black,
// an underline caret, immediate display.
class CrtLikeTerminal : public ::testing::Test {
protected:
    void SetUp() override {
        tavrin::test::QtTestApp();
        term = std::make_unique<TQnTerminal>();
        term->SetAutoScrollback(false);
        term->SetCursorType(ctUnderline);
        term->SetLazyByteDelay(1);
        term->SetLazyTimeDelay(1);
        term->SetScrollback(false);
        term->SetUseLazyDisplay(false);
        term->SetFreezeScrollBack(false);
        term->SetColor(QnBlack);
        term->SetFontColor(0x00FF00);
        term->SetTerminalFont(TQnCustomTerminal::TerminalFont(QStringLiteral("Terminal"), 12));
        term->SetCaretBlinkTime(0);
        term->resize(term->CharWidth() * 80, term->CharHeight() * 24);
        term->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(term.get()));
        term->activateWindow();
        term->setFocus();
        ASSERT_TRUE(QTest::qWaitForWindowActive(term.get()));
        Pump();
    }
    std::unique_ptr<TQnTerminal> term;
};

TEST_F(CrtLikeTerminal, TypedLineShowsEveryGlyphWhole) {
    const std::string line = "> hello world";
    enum Way { ByteByByte, OneWrite, ThenRepaintedWhole };
    struct Case { const char* name; Way way; };
    for (const Case& c : {Case{"a byte per event-loop turn", ByteByByte}, Case{"the line in one write", OneWrite},
                          Case{"then the whole window repainted", ThenRepaintedWhole}}) {
        SCOPED_TRACE(c.name);
        term->Clear();
        term->WriteString("\r");
        Pump();
        if (c.way == OneWrite) {
            term->WriteString(line);
            Pump();
        } else {
            for (char ch : line) {
                term->WriteChar(static_cast<uint8_t>(ch));
                Pump();
            }
        }
        if (c.way == ThenRepaintedWhole) {
            // A new backing image: everything is painted again, a row at a time.
            term->resize(term->width() + 1, term->height());
            Pump();
            term->resize(term->width() - 1, term->height());
            Pump();
        }
        ASSERT_TRUE(term->CaretShown());
        const int cw = term->CharWidth(), ch = term->CharHeight();
        ASSERT_EQ(term->CaretRect().topLeft(), QPoint(static_cast<int>(line.size()) * cw, ch - 2));
        const QImage img = term->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QSize size(cw, ch);
        const int ascent = QnGlyphCellOf(term->font()).Ascent;
        for (size_t i = 0; i < line.size(); ++i) {
            const QImage lone = LoneGlyph(term->font(), ascent, size, QChar(line[i]), QColor(0, 255, 0), Qt::black);
            EXPECT_TRUE(MarginBlank(lone, size, Qt::black)) << "'" << line[i] << "' is wider than its cell";
            EXPECT_EQ(img.copy(static_cast<int>(i) * cw, 0, cw, ch), MiddleCell(lone, size))
                << "cell " << i << " '" << line[i] << "'";
        }
        // Nothing of the last glyph reaches the caret's cell above the caret.
        const QImage caretCell = img.copy(static_cast<int>(line.size()) * cw, 0, cw, ch - 2);
        QImage blank(caretCell.size(), QImage::Format_RGB32);
        blank.fill(Qt::black);
        EXPECT_EQ(caretCell, blank);
    }
}

TEST_F(TerminalTest, ViewOriginFollowsTheBufferSizes) {
    term->SetScrollback(true);
    term->SetTopRow(-150);
    EXPECT_EQ(term->TopRow(), -150);
    term->SetScrollbackRows(30);
    EXPECT_GE(term->TopRow(), term->Rows() - 30 + 1);
    term->SetRows(10);
    EXPECT_GE(term->TopRow(), term->Rows() - term->ScrollbackRows() + 1);
    EXPECT_LE(term->TopRow(), 1);
    term->SetScrollback(false);
    term->SetTopRow(-5);
    EXPECT_EQ(term->TopRow(), 1);
}

TEST_F(TerminalTest, TextAndCaretOnTheScreen) {
    term->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(term.get()));
    term->activateWindow();
    term->setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(term.get()));
    Pump();
    term->WriteString("X\xC4");  // C4h: a code page 437 horizontal line
    Pump();
    ASSERT_TRUE(term->CaretShown());
    QImage img = Grab();
    EXPECT_GT(BrightPixels(img, 1, 1), 5);            // the X
    EXPECT_GT(BrightPixels(img, 1, 2), 2);            // the box-drawing line
    EXPECT_EQ(BrightPixels(img, 2, 1), 0);            // empty cell stays black
    const int cell = term->CharWidth() * term->CharHeight();
    EXPECT_EQ(BrightPixels(img, 1, 3), cell);         // block caret inverts the empty cell

    term->SetCursorType(ctUnderline);
    Pump();
    img = Grab();
    EXPECT_EQ(BrightPixels(img, 1, 3), 2 * term->CharWidth());
    term->SetCursorType(ctNone);
    Pump();
    img = Grab();
    EXPECT_EQ(BrightPixels(img, 1, 3), 0);

    // Colours: the window colour fills, reverse cells swap.
    term->SetColor(0x800000);  // blue
    Pump();
    img = Grab();
    EXPECT_EQ(QColor(img.pixel(term->width() - 1, term->height() - 1)), QColor(0, 0, 0x80));
    Buf().SetCharAttrs(atReverse);
    term->WriteString("\r\n ");
    Pump();
    img = Grab();
    EXPECT_EQ(BrightPixels(img, 2, 1), cell);  // a reversed space shows the fore colour

    // The caret is not shown when its cell lies outside the window.
    term->SetCursorType(ctBlock);
    term->resize(term->CharWidth() * 4, term->CharHeight() * 2);
    term->WriteString("\r\n\r\n\r\n");
    Pump();
    EXPECT_FALSE(term->CaretShown());
}

TEST_F(TerminalTest, InvalidatedRowsArePaintedThroughTheEmulator) {
    KeyRecorder emu;
    term->SetEmulator(&emu);
    term->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(term.get()));
    Pump();
    ASSERT_FALSE(emu.clips.empty());  // the first paint covers the character area
    EXPECT_EQ(emu.clips.back(), (TQnRect{0, 0, 80 * term->CharWidth(), 24 * term->CharHeight()}));
    emu.clips.clear();
    struct Case { int row; bool painted; };
    for (const Case& c : {Case{3, true}, Case{24, true}, Case{0, false}, Case{25, false}}) {
        emu.clips.clear();
        term->InvalidateRow(c.row);
        Pump();
        ASSERT_EQ(emu.clips.size(), c.painted ? 1u : 0u) << c.row;
        if (c.painted) {
            EXPECT_EQ(emu.clips[0].Top, (c.row - 1) * term->CharHeight()) << c.row;
            EXPECT_EQ(emu.clips[0].Bottom - emu.clips[0].Top, term->CharHeight()) << c.row;
        }
    }
    term->SetEmulator(nullptr);
}

// Gives the test the timer's tick without waiting for the timer.
class TickedTerminal : public TQnTerminal {
public:
    using TQnTerminal::TimerTick;
};

TEST_F(TerminalTest, LazyDisplayPaintsFromTheTimer) {
    TickedTerminal lazy;
    lazy.SetTerminalFont(TQnCustomTerminal::TerminalFont(QStringLiteral("DejaVu Sans Mono"), 12));
    lazy.SetFontColor(0xFFFFFF);
    lazy.resize(lazy.CharWidth() * 80, lazy.CharHeight() * 24);
    ASSERT_TRUE(lazy.UseLazyDisplay());
    auto xPixels = [&] {
        const QImage img = lazy.grab().toImage().convertToFormat(QImage::Format_RGB32);
        int n = 0;
        for (int y = 0; y < lazy.CharHeight(); ++y)
            for (int x = 0; x < lazy.CharWidth(); ++x) n += qGray(img.pixel(x, y)) > 128;
        return n;
    };
    EXPECT_EQ(xPixels(), 0);
    lazy.WriteString("X");
    Pump();
    EXPECT_EQ(lazy.CurrentEmulator()->Buffer()->CharAt(1, 1), 'X');
    EXPECT_EQ(xPixels(), 0);  // interpreted, not yet painted
    lazy.TimerTick();         // 100 ms: within LazyTimeDelay and LazyByteDelay
    EXPECT_EQ(xPixels(), 0);
    lazy.TimerTick();         // 200 ms: past the delay
    EXPECT_GT(xPixels(), 5);

    // Enough bytes paint on the next tick.
    lazy.SetLazyByteDelay(1);
    lazy.WriteString("\rY");
    Pump();
    const int before = xPixels();
    lazy.TimerTick();
    EXPECT_NE(xPixels(), before);
}

TEST_F(TerminalTest, CaretBlinksFromTheTimer) {
    TickedTerminal blinking;
    blinking.SetTerminalFont(TQnCustomTerminal::TerminalFont(QStringLiteral("DejaVu Sans Mono"), 12));
    blinking.SetUseLazyDisplay(false);
    blinking.resize(blinking.CharWidth() * 20, blinking.CharHeight() * 4);
    blinking.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&blinking));
    blinking.activateWindow();
    blinking.setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&blinking));
    blinking.WriteString("ab");
    Pump();
    ASSERT_TRUE(blinking.CaretShown());
    blinking.SetCaretBlinkTime(300);
    const int cell = blinking.CharWidth() * blinking.CharHeight();
    auto caretPixels = [&] {
        const QImage img = blinking.grab().toImage().convertToFormat(QImage::Format_RGB32);
        int n = 0;
        for (int y = 0; y < blinking.CharHeight(); ++y)
            for (int x = 2 * blinking.CharWidth(); x < 3 * blinking.CharWidth(); ++x)
                n += qGray(img.pixel(x, y)) > 128;
        return n;
    };
    // Visible, hidden, visible again: three ticks (300 ms) for each half.
    const bool expected[] = {true, true, true, false, false, false, true, true, true, false};
    for (size_t i = 0; i < std::size(expected); ++i) {
        if (i > 0) blinking.TimerTick();
        EXPECT_TRUE(blinking.CaretShown()) << i;
        EXPECT_EQ(blinking.CaretVisible(), expected[i]) << i;
        EXPECT_EQ(caretPixels(), expected[i] ? cell : 0) << i;
    }
    // Moving the caret shows it at once.
    blinking.WriteString("c");
    Pump();
    EXPECT_TRUE(blinking.CaretVisible());
    // A steady caret stops blinking.
    blinking.SetCaretBlinkTime(0);
    for (int i = 0; i < 10; ++i) blinking.TimerTick();
    EXPECT_TRUE(blinking.CaretVisible());
}

TEST_F(TerminalTest, ClearMovesTheScreenIntoTheScrollback) {
    term->WriteString("first");
    Pump();
    term->Clear();
    Pump();
    EXPECT_EQ(Buf().CharAt(1, 1), ' ');
    EXPECT_EQ(Buf().LineText(-23).substr(0, 5), "first");
}

}  // namespace
