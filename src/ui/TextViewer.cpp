#include "ui/TextViewer.h"

#include "disk/DiskManagerText.h"
#include "platform/QtUiPrompts.h"
#include "platform/UiPrompts.h"
#include "platform/WindowPlacement.h"
#include "platform/core/HostPathText.h"

#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QShowEvent>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

QString Latin1(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

TTextViewer::TTextViewer(IUiPrompts& prompts, QWidget* parent) : QWidget(parent, Qt::Window), FPrompts(prompts) {
    setWindowTitle(QStringLiteral("View Text"));
    resize(507, 392);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    FindNextAct = new QAction(QStringLiteral("Find Next"), this);
    FindNextAct->setToolTip(QStringLiteral("FInd Next Match"));
    FindNextAct->setShortcut(QKeySequence(Qt::Key_F3));
    FindNextAct->setShortcutContext(Qt::WindowShortcut);
    connect(FindNextAct, &QAction::triggered, this, [this] { FindNextActExecute(); });
    SearchAct = new QAction(QStringLiteral("Find"), this);
    SearchAct->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    SearchAct->setShortcutContext(Qt::WindowShortcut);
    connect(SearchAct, &QAction::triggered, this, [this] { SearchActExecute(); });
    addAction(FindNextAct);
    addAction(SearchAct);

    auto* bar = new QToolBar(this);
    bar->addAction(FindNextAct);
    bar->addSeparator();
    bar->addWidget(new QLabel(QStringLiteral("Find:"), bar));
    FindTextEdit = new QLineEdit(bar);
    FindTextEdit->setFixedWidth(145);
    FindTextEdit->installEventFilter(this);
    connect(FindTextEdit, &QLineEdit::textChanged, this, [this] { FindNextActUpdate(); });
    bar->addWidget(FindTextEdit);
    bar->addSeparator();
    WholeWordBtn = new QCheckBox(QStringLiteral("Whole Words"), bar);
    MatchCaseBtn = new QCheckBox(QStringLiteral("Match Case"), bar);
    bar->addWidget(WholeWordBtn);
    bar->addWidget(MatchCaseBtn);
    layout->addWidget(bar);

    TextViewer = new QPlainTextEdit(this);
    TextViewer->setReadOnly(true);
    TextViewer->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    TextViewer->setLineWrapMode(QPlainTextEdit::NoWrap);
    TextViewer->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QFont font(QStringLiteral("Lucida Console"));
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    font.setPixelSize(13);
    if (!QFontInfo(font).fixedPitch()) font.setFamily(QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
    TextViewer->setFont(font);
    connect(TextViewer, &QPlainTextEdit::cursorPositionChanged, this, [this] { TextViewerSelectionChange(); });
    connect(TextViewer, &QPlainTextEdit::textChanged, this, [this] { TextViewerSelectionChange(); });
    layout->addWidget(TextViewer, 1);

    auto* status = new QStatusBar(this);
    status->setSizeGripEnabled(false);
    auto label = [status](const QString& text, Qt::Alignment align) {
        auto* l = new QLabel(text, status);
        l->setAlignment(align);
        status->addWidget(l);
        return l;
    };
    label(QStringLiteral("Line"), Qt::AlignRight);
    LineValue = label(QString(), Qt::AlignCenter);
    label(QStringLiteral("Column"), Qt::AlignRight);
    ColumnValue = label(QString(), Qt::AlignCenter);
    label(QStringLiteral("Disk File Name"), Qt::AlignRight);
    DiskFileValue = label(QString(), Qt::AlignLeft);
    layout->addWidget(status);

    FindNextActUpdate();
    TextViewerSelectionChange();
}

void TTextViewer::showEvent(QShowEvent* event) {
    // Later shows keep the place the user left the window in.
    if (!FPlaced && !event->spontaneous()) {
        FPlaced = true;
        CentreOnMainWindow();
    }
    QWidget::showEvent(event);
}

// Kept on the main window's screen when the main window hangs over its edge.
void TTextViewer::CentreOnMainWindow() {
    const QWidget* main = parentWidget() ? parentWidget()->window() : nullptr;
    if (!main) return;
    QRect frame = frameGeometry();
    frame.moveCenter(main->frameGeometry().center());
    if (const QScreen* screen = main->screen()) frame.moveTopLeft(KeptInside(frame, screen->availableGeometry()));
    move(frame.topLeft());
}

void TTextViewer::LoadText(const std::string& bytes) { TextViewer->setPlainText(Latin1(CpmTextToHost(bytes))); }

void TTextViewer::SetFileInfo(const std::string& DiskFile, const std::string& FileName, uint8_t User) {
    setWindowTitle(QStringLiteral("View [") + Latin1(FileName) + QStringLiteral(" user area: ") +
                   QString::number(User) + QStringLiteral("]"));
    DiskFileValue->setText(QFileInfo(PathToQt(DiskFile)).completeBaseName());
}

bool TTextViewer::FindPhrase(const std::string& Phrase, bool MatchCase, bool WholeWord) {
    const QTextCursor current = TextViewer->textCursor();
    const int start = current.hasSelection() ? current.selectionEnd() : current.position();
    QTextDocument::FindFlags flags;
    if (MatchCase) flags |= QTextDocument::FindCaseSensitively;
    if (WholeWord) flags |= QTextDocument::FindWholeWords;
    const QTextCursor found = TextViewer->document()->find(Latin1(Phrase), start, flags);
    if (found.isNull() || Phrase.empty()) {
        FPrompts.MessageDlg("Unable to find search phrase \"" + Phrase + "\".", TMsgDlgType::Information, mbOK);
        return false;
    }
    TextViewer->setFocus();
    TextViewer->setTextCursor(found);
    return true;
}

void TTextViewer::TextViewerSelectionChange() {
    const QTextCursor cursor = TextViewer->textCursor();
    const int start = cursor.selectionStart();
    const QTextBlock block = TextViewer->document()->findBlock(start);
    const int line = block.isValid() ? block.blockNumber() : 0;
    const int column = block.isValid() ? start - block.position() : 0;
    LineValue->setText(QString::number(line + 1));
    ColumnValue->setText(QString::number(column + 1));
}

void TTextViewer::FindNextActUpdate() { FindNextAct->setEnabled(!FindTextEdit->text().trimmed().isEmpty()); }

void TTextViewer::FindNextActExecute() {
    FindNextActUpdate();
    if (!FindNextAct->isEnabled()) return;
    FindPhrase(FindTextEdit->text().toLatin1().toStdString(), MatchCaseBtn->isChecked(), WholeWordBtn->isChecked());
}

void TTextViewer::SearchActExecute() {
    FindTextEdit->setFocus();
    FindTextEdit->selectAll();
}

// Enter in the find box searches and leaves the focus there.
bool TTextViewer::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FindTextEdit && (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (enter && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            if (event->type() == QEvent::KeyPress) {
                FindNextActExecute();
                FindTextEdit->setFocus();
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
