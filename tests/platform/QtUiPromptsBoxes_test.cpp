// The real message boxes with a long path in their text: the box wraps the
// path and stays within the screen, showing every character of it.

#include "platform/QtUiPrompts.h"
#include "support/QtTestApp.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

TEST(QtUiPrompts, LongPathBoxesStayWithinTheScreen) {
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

// The font dialog opens on the font it is given, its style included, so
// confirming it at once hands the same font back.
TEST(QtUiPrompts, FontDialogStartsOnTheGivenFontAndStyle) {
    tavrin::test::QtTestApp();
    QWidget window;
    window.show();
    TQtUiPrompts prompts(&window);
    const TFontChoice fonts[] = {{"DejaVu Sans Mono", 9, false, false},
                                 {"DejaVu Sans Mono", 11, true, false},
                                 {"DejaVu Sans Mono", 10, false, true},
                                 {"DejaVu Sans Mono", 14, true, true}};
    for (const TFontChoice& given : fonts) {
        SCOPED_TRACE(std::to_string(given.PointSize));
        for (bool fixedPitch : {true, false}) {
            QTimer::singleShot(0, [] {
                auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                ASSERT_NE(dialog, nullptr);
                dialog->accept();
            });
            TFontChoice font = given;
            ASSERT_TRUE(prompts.ChooseFont(font, fixedPitch));
            EXPECT_EQ(font.Family, given.Family);
            EXPECT_EQ(font.PointSize, given.PointSize);
            EXPECT_EQ(font.Bold, given.Bold);
            EXPECT_EQ(font.Italic, given.Italic);
        }
    }
}

}  // namespace
