// Boxes and dialogs raised from a tool window belong to it: the tool window
// is their parent (their window's transient parent), and closing them
// returns to it instead of raising the main window over it.

#include "console/TTYDisplayOptionsDlg.h"
#include "platform/QtUiPrompts.h"
#include "support/QtEventually.h"
#include "support/QtTestApp.h"
#include "ui/TextViewer.h"

#include <QApplication>
#include <QColorDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

namespace {

using tavrin::test::EventuallyWithEvents;

bool Active(QWidget& window) {
    return EventuallyWithEvents([&] { return QApplication::activeWindow() == &window; });
}

// The parent of the modal box that opens next, and of its window; the box
// is closed at once.
struct TBoxOwner {
    QWidget* Parent = nullptr;
    QWindow* TransientParent = nullptr;
    bool Seen = false;

    void CloseNextBox() {
        QTimer::singleShot(0, [this] {
            QWidget* box = QApplication::activeModalWidget();
            if (!box) return;
            Seen = true;
            Parent = box->parentWidget();
            TransientParent = box->windowHandle() ? box->windowHandle()->transientParent() : nullptr;
            if (auto* dialog = qobject_cast<QDialog*>(box)) dialog->reject();
        });
    }
};

struct ToolWindowBoxes : ::testing::Test {
    QApplication& App = tavrin::test::QtTestApp();
    QWidget Main;
    TQtUiPrompts Prompts{&Main};

    void SetUp() override {
        Main.resize(640, 480);
        Main.show();
        Main.activateWindow();
        ASSERT_TRUE(Active(Main));
    }
};

TEST_F(ToolWindowBoxes, TheTextViewersNotFoundBoxBelongsToTheViewer) {
    TTextViewer viewer(Prompts, &Main);
    viewer.LoadText("one line\r\n");
    viewer.show();
    viewer.activateWindow();
    ASSERT_TRUE(Active(viewer));
    TBoxOwner box;
    box.CloseNextBox();
    EXPECT_FALSE(viewer.FindPhrase("missing", false, false));
    ASSERT_TRUE(box.Seen);
    EXPECT_EQ(box.Parent, &viewer);
    EXPECT_EQ(box.TransientParent, viewer.windowHandle());
    EXPECT_TRUE(Active(viewer)) << "closing the box returns to the viewer";
}

TEST_F(ToolWindowBoxes, TheColourDialogOfTheTtySettingsBelongsToTheSettings) {
    TTTYDisplaySettingsDlg settings(Prompts, &Main);
    TBoxOwner colour;
    bool backToSettings = false;
    QTimer::singleShot(0, [&] {
        if (Active(settings)) {
            colour.CloseNextBox();
            settings.BGColorBtn->click();
            backToSettings = Active(settings);
        }
        settings.reject();
    });
    settings.exec();
    ASSERT_TRUE(colour.Seen);
    EXPECT_EQ(colour.Parent, &settings);
    EXPECT_EQ(colour.TransientParent, settings.windowHandle());
    EXPECT_TRUE(backToSettings) << "closing the colour dialog returns to the settings";
}

}  // namespace
