#include "platform/QtUiPrompts.h"

#include <QApplication>
#include <QColorDialog>
#include <QFontDialog>
#include <QFontInfo>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QSettings>

#include <mutex>

#include "platform/QtColor.h"

namespace {

// Texts of boxes and dialogs name host files, so they decode as paths do.
QString Q(const std::string& s) { return WrappableText(s); }
// Fixed texts: titles, filters, suffixes.
QString F(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// Qt's file dialogs keep their history and last folder, and its colour
// dialog the custom colours, in a per-user "QtProject" settings file. The
// program keeps nothing outside its own folder, so that file is placed
// below a path that is no folder and can never become one: Qt finds
// nothing there and writes nothing.
void KeepQtDialogsFromUserSettings() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
            QSettings::setPath(format, QSettings::UserScope, QStringLiteral("/dev/null"));
    });
}

QString Caption() {
    QString title = QApplication::applicationDisplayName();
    return title.isEmpty() ? QStringLiteral("Tavrin") : title;
}

}  // namespace

// One box or dialog: it is parented to the window the request comes from,
// and closing it returns there.
class TQtUiPrompts::TModalScope {
public:
    explicit TModalScope(const TQtUiPrompts& owner) : FOwner(owner), FParent(owner.DialogParent()) {
        if (FOwner.OnModal) FOwner.OnModal(true);
    }
    ~TModalScope() {
        // Without this the window system may hand the focus to the main
        // window, which then covers the tool window the box came from.
        if (FParent && FParent->isVisible()) {
            FParent->raise();
            FParent->activateWindow();
        }
        if (FOwner.OnModal) FOwner.OnModal(false);
    }
    QWidget* Parent() const { return FParent; }

private:
    const TQtUiPrompts& FOwner;
    QPointer<QWidget> FParent;
};

TQtUiPrompts::TQtUiPrompts(QWidget* parent) : FParent(parent) { KeepQtDialogsFromUserSettings(); }

// The window the request comes from: a modal dialog that is open, else the
// program's active window (a tool window the user works in), else the main
// window.
QWidget* TQtUiPrompts::DialogParent() const {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    if (QWidget* active = QApplication::activeWindow()) return active;
    return FParent;
}

void TQtUiPrompts::ShowMessage(const std::string& text) {
    TModalScope scope(*this);
    QMessageBox box(QMessageBox::NoIcon, Caption(), Q(text), QMessageBox::Ok, scope.Parent());
    box.exec();
}

int TQtUiPrompts::MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons) {
    TModalScope scope(*this);
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title = Caption();
    switch (type) {
        case TMsgDlgType::Warning:
            icon = QMessageBox::Warning;
            title = QStringLiteral("Warning");
            break;
        case TMsgDlgType::Error:
            icon = QMessageBox::Critical;
            title = QStringLiteral("Error");
            break;
        case TMsgDlgType::Information:
            icon = QMessageBox::Information;
            title = QStringLiteral("Information");
            break;
        case TMsgDlgType::Confirmation:
            icon = QMessageBox::Question;
            title = QStringLiteral("Confirm");
            break;
        case TMsgDlgType::Custom:
            break;
    }
    static const std::pair<TMsgDlgBtn, QMessageBox::StandardButton> map[] = {
        {mbYes, QMessageBox::Yes},       {mbNo, QMessageBox::No},       {mbOK, QMessageBox::Ok},
        {mbCancel, QMessageBox::Cancel}, {mbAbort, QMessageBox::Abort}, {mbRetry, QMessageBox::Retry},
        {mbIgnore, QMessageBox::Ignore}, {mbAll, QMessageBox::YesToAll}};
    QMessageBox::StandardButtons set;
    for (const auto& [b, q] : map)
        if (buttons & b) set |= q;
    if (!set) set = QMessageBox::Ok;
    QMessageBox box(icon, title, Q(text), set, scope.Parent());
    switch (box.exec()) {
        case QMessageBox::Yes:
            return mrYes;
        case QMessageBox::No:
            return mrNo;
        case QMessageBox::Ok:
            return mrOk;
        case QMessageBox::Cancel:
            return mrCancel;
        case QMessageBox::Abort:
            return mrAbort;
        case QMessageBox::Retry:
            return mrRetry;
        case QMessageBox::Ignore:
            return mrIgnore;
        case QMessageBox::YesToAll:
            return mrAll;
        default:
            return mrCancel;
    }
}

void TQtUiPrompts::ShowError(const std::string& text) {
    TModalScope scope(*this);
    QMessageBox box(QMessageBox::Critical, Caption(), Q(text), QMessageBox::Ok, scope.Parent());
    box.exec();
}

std::string TQtUiPrompts::QtFilter(const std::string& filter) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= filter.size()) {
        size_t bar = filter.find('|', start);
        if (bar == std::string::npos) bar = filter.size();
        parts.push_back(filter.substr(start, bar - start));
        start = bar + 1;
    }
    std::string result;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        std::string patterns;
        size_t p = 0;
        const std::string& list = parts[i + 1];
        while (p <= list.size()) {
            size_t semi = list.find(';', p);
            if (semi == std::string::npos) semi = list.size();
            std::string one = list.substr(p, semi - p);
            if (one == "*.*") one = "*";
            if (!one.empty()) patterns += (patterns.empty() ? "" : " ") + one;
            p = semi + 1;
        }
        if (!result.empty()) result += ";;";
        result += parts[i] + " (" + patterns + ")";
    }
    return result;
}

bool TQtUiPrompts::OpenFileDialog(TFileDialogRequest& request) {
    TModalScope scope(*this);
    QFileDialog dialog(scope.Parent(), F(request.Title), PathToQt(request.InitialDir), F(QtFilter(request.Filter)));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(request.MustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (!request.DefaultExt.empty()) dialog.setDefaultSuffix(F(request.DefaultExt));
    if (!request.FileName.empty() && request.FileName.find('*') == std::string::npos)
        dialog.selectFile(PathToQt(request.FileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    request.FileName = PathFromQt(dialog.selectedFiles().front());
    return true;
}

bool TQtUiPrompts::SaveFileDialog(TFileDialogRequest& request) {
    TModalScope scope(*this);
    QFileDialog dialog(scope.Parent(), F(request.Title), PathToQt(request.InitialDir), F(QtFilter(request.Filter)));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (!request.DefaultExt.empty()) dialog.setDefaultSuffix(F(request.DefaultExt));
    if (!request.FileName.empty()) dialog.selectFile(PathToQt(request.FileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    request.FileName = PathFromQt(dialog.selectedFiles().front());
    return true;
}

bool TQtUiPrompts::InputQuery(const std::string& caption, const std::string& prompt, std::string& value) {
    TModalScope scope(*this);
    bool ok = false;
    QString text =
        QInputDialog::getText(scope.Parent(), Q(caption), Q(prompt), QLineEdit::Normal, PathToQt(value), &ok);
    if (!ok) return false;
    value = PathFromQt(text);
    return true;
}

void TQtUiPrompts::Beep() { QApplication::beep(); }

// Colours are 00BBGGRRh values outside this file.
bool TQtUiPrompts::ChooseColor(TColor& color) {
    TModalScope scope(*this);
    QColor chosen = QColorDialog::getColor(ToQColor(color), scope.Parent());
    if (!chosen.isValid()) return false;
    color = FromQColor(chosen);
    return true;
}

TFontChoice FontChoiceInUse(const QFont& font, int pointSize) {
    return {QFontInfo(font).family().toStdString(), pointSize, font.bold(), font.italic()};
}

// The dialog selects its style by name: an upright font asked for by weight
// and slant alone lands on the family's first style, often the oblique one.
// So it starts from the family and style the font really resolves to.
bool TQtUiPrompts::ChooseFont(TFontChoice& font, bool fixedPitch) {
    TModalScope scope(*this);
    QFont wanted(F(font.Family), font.PointSize > 0 ? font.PointSize : 9);
    wanted.setBold(font.Bold);
    wanted.setItalic(font.Italic);
    const QFontInfo used(wanted);
    QFont start(used.family(), wanted.pointSize());
    start.setStyleName(used.styleName());
    bool ok = false;
    QFont chosen = QFontDialog::getFont(&ok, start, scope.Parent(), QString(),
                                        fixedPitch ? QFontDialog::MonospacedFonts : QFontDialog::FontDialogOptions());
    if (!ok) return false;
    font.Family = chosen.family().toStdString();
    font.PointSize = chosen.pointSize() > 0 ? chosen.pointSize() : font.PointSize;
    font.Bold = chosen.bold();
    font.Italic = chosen.italic();
    return true;
}

bool TQtUiPrompts::OpenFilesDialog(TFileDialogRequest& request, std::vector<std::string>& files) {
    TModalScope scope(*this);
    QFileDialog dialog(scope.Parent(), Q(request.Title), PathToQt(request.InitialDir), Q(QtFilter(request.Filter)));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    files.clear();
    for (const QString& file : dialog.selectedFiles()) files.push_back(PathFromQt(file));
    request.FileName = files.front();
    return true;
}

bool TQtUiPrompts::SelectDirectory(const std::string& caption, std::string& folder) {
    TModalScope scope(*this);
    QFileDialog dialog(scope.Parent(), Q(caption), PathToQt(folder));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // A typed name of a folder that does not exist yet is taken too.
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    folder = PathFromQt(dialog.selectedFiles().front());
    return true;
}
