// Typed keys reach the console of the page shown after a menu or a dialog
// has closed, instead of the menu bar or a widget the user did not choose.

#include <gtest/gtest.h>

#include <QAction>
#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "ui/MapTermKeysDlg.h"
#include "support/NamedRows.h"
#include "WindowTestSupport.h"

using namespace tavrin::test;

namespace {

// Opens a menu of the bar with the mouse and closes it with Esc.
void OpenAndEscapeMenu(TMainHalvoret& w, const char* title)
{
    for (QAction* action : w.menuBar()->actions()) {
        if (action->text() != QString::fromLatin1(title))
            continue;
        QTest::mouseClick(w.menuBar(), Qt::LeftButton, {}, w.menuBar()->actionGeometry(action).center());
        QApplication::processEvents();
        ASSERT_NE(QApplication::activePopupWidget(), nullptr) << title;
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
        QApplication::processEvents();
        return;
    }
    FAIL() << "no menu " << title;
}

void CloseMapKeysDialog(TMainHalvoret& w)
{
    QTimer::singleShot(0, w.MapTermKeys, [&w] { w.MapTermKeys->reject(); });
    w.TTYMapKeysAct->trigger();
    QApplication::processEvents();
}

struct TFocusCase {
    const char* name;
    bool TtyPage;
    std::function<void(TMainHalvoret&)> Interrupt;
};

TAVRIN_PRINT_AS_NAME(TFocusCase)

class ConsoleFocusTest : public ::testing::TestWithParam<TFocusCase> {};

TEST_P(ConsoleFocusTest, TypedKeysReachThePagesConsole)
{
    const TFocusCase& c = GetParam();
    TWindowHarness h;
    TMainHalvoret& w = h.Open();
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    w.PageControl1->setCurrentWidget(c.TtyPage ? w.TtyPage : w.CrtPage);
    QApplication::processEvents();

    c.Interrupt(w);
    QWidget* console = c.TtyPage ? static_cast<QWidget*>(w.SimpleTerminal1) : w.QnTerminal1;
    QWidget* focus = QApplication::focusWidget();
    ASSERT_EQ(focus, console) << (focus ? focus->metaObject()->className() : "no widget");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_D);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << "no menu opened";
    TByteFIFO& queue = c.TtyPage ? w.Machine().FTtyKeyQueue : w.Machine().FCrtKeyQueue;
    uint8_t key = 0;
    ASSERT_TRUE(queue.GetByte(key));
    EXPECT_EQ(key, 'd');
}

INSTANTIATE_TEST_SUITE_P(
    Interruptions, ConsoleFocusTest,
    ::testing::Values(TFocusCase{"DisksMenuOnCrt", false, [](TMainHalvoret& w) { OpenAndEscapeMenu(w, "&Disks"); }},
                      TFocusCase{"FileMenuOnTty", true, [](TMainHalvoret& w) { OpenAndEscapeMenu(w, "&File"); }},
                      TFocusCase{"DialogOnTty", true, CloseMapKeysDialog}), tavrin::test::RowName);

} // namespace
