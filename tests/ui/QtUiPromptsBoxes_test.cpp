// The real message boxes with a long path in their text: the box wraps the
// path and stays within the screen, showing every character of it.

#include "platform/QtUiPrompts.h"
#include "support/QtTestApp.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

TEST(QtUiPrompts, LongPathBoxesStayWithinTheScreen)
{
    tavrin::test::QtTestApp();
    const std::string path = "/home/user/" + std::string(200, 'n') + "/" + std::string(60, 'q') + ".cpmdsk";
    const std::string text = "The disk \"" + path + "\" could not be found!";
    QWidget window;
    window.resize(400, 300);
    window.show();
    TQtUiPrompts prompts(&window);
    const std::pair<const char*, std::function<void()>> boxes[] = {
        {"message", [&] { prompts.ShowMessage(text); }},
        {"error", [&] { prompts.ShowError(text); }},
        {"warning", [&] { prompts.MessageDlg(text, TMsgDlgType::Warning, mbOK); }}};
    for (const auto& [name, show] : boxes) {
        int width = 0;
        QString shown;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            width = box->frameGeometry().width();
            shown = box->text();
            box->done(QMessageBox::Ok);
        });
        show();
        EXPECT_GT(width, 0) << name;
        EXPECT_LE(width, window.screen()->availableGeometry().width()) << name;
        EXPECT_EQ(shown.remove(QChar(0x200B)).toStdString(), text) << name;
    }
}

}  // namespace
