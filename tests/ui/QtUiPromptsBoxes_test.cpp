// The real message boxes with a long path in their text: the box wraps the
// path and stays within the screen, showing every character of it.

#include "platform/QtUiPrompts.h"
#include "support/NamedRows.h"
#include "support/QtTestApp.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

struct TBoxCase {
    const char* name;
    std::function<void(TQtUiPrompts&, const std::string&)> Show;
};

TAVRIN_PRINT_AS_NAME(TBoxCase)

class LongPathBoxTest : public ::testing::TestWithParam<TBoxCase> {};

TEST_P(LongPathBoxTest, StaysWithinTheScreen)
{
    tavrin::test::QtTestApp();
    const std::string path = "/home/user/" + std::string(200, 'n') + "/" + std::string(60, 'q') + ".cpmdsk";
    const std::string text = "The disk \"" + path + "\" could not be found!";
    QWidget window;
    window.resize(400, 300);
    window.show();
    TQtUiPrompts prompts(&window);
    int width = 0;
    QString shown;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        width = box->frameGeometry().width();
        shown = box->text();
        box->done(QMessageBox::Ok);
    });
    GetParam().Show(prompts, text);
    EXPECT_GT(width, 0);
    EXPECT_LE(width, window.screen()->availableGeometry().width());
    shown.remove(QChar(0x200B));
    EXPECT_EQ(shown.toStdString(), text);
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, LongPathBoxTest,
    ::testing::Values(TBoxCase{"Message", [](TQtUiPrompts& p, const std::string& t) { p.ShowMessage(t); }},
                      TBoxCase{"Error", [](TQtUiPrompts& p, const std::string& t) { p.ShowError(t); }},
                      TBoxCase{"Warning",
                               [](TQtUiPrompts& p, const std::string& t) {
                                   p.MessageDlg(t, TMsgDlgType::Warning, mbOK);
                               }}), tavrin::test::RowName);

} // namespace
