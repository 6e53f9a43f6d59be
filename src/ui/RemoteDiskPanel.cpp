// The remote disk server panel: its controls, the start and stop of the
// server, and the client list drawn from a snapshot of the sessions.

#include "ui/RemoteDiskPanel.h"

#include <arpa/inet.h>

#include <QAbstractListModel>
#include <QAction>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTimer>

#include <cstring>
#include <ctime>
#include <vector>

#include "platform/core/ConfigObject.h"
#include "net/PortNumber.h"
#include "net/RmtDisk.h"
#include "platform/UiPrompts.h"
#include "ui/PortSetting.h"

namespace {

const char* const kSection = "DISK SERVER";

QString Latin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// "DDD MMM DD @ hh:nn:ss" in local time, with English names.
std::string FormatLastUsed(TRmtDskTime when) {
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&t, &local);
    char text[40];
    std::snprintf(text, sizeof(text), "%s %s %02d @ %02d:%02d:%02d", days[local.tm_wday % 7], months[local.tm_mon % 12],
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

}  // namespace

std::string IpAddressToStr(uint32_t address) {
    uint8_t bytes[4];
    std::memcpy(bytes, &address, sizeof(bytes));
    return std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." + std::to_string(bytes[2]) + "." +
           std::to_string(bytes[3]);
}

std::array<std::string, 3> RemoteSessionLines(const TRmtDskSession& session) {
    const TRmtDskClientInfo& client = session.ClientInfo;
    return {"Client: " + IpAddressToStr(client.Address) + ":" + std::to_string(ntohs(client.Port)) +
                "  Disk: " + std::to_string(client.ClientDisk) + (session.ReadOnly ? " RO" : " RW"),
            "File name: " + session.FileName, "Last used: " + FormatLastUsed(session.LastUsed)};
}

// The sessions as of the last refresh, one item per session.
class TRemoteSessionListModel : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;

    void SetRows(std::vector<std::array<std::string, 3>> rows) {
        beginResetModel();
        FRows = std::move(rows);
        endResetModel();
    }
    const std::vector<std::array<std::string, 3>>& Rows() const { return FRows; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : static_cast<int>(FRows.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) return {};
        const auto& lines = FRows[static_cast<size_t>(index.row())];
        return Latin1(lines[0] + "\n" + lines[1] + "\n" + lines[2]);
    }

private:
    std::vector<std::array<std::string, 3>> FRows;
};

namespace {

// Three lines per item, each one line height below the last.
class TRemoteSessionDelegate : public QStyledItemDelegate {
public:
    TRemoteSessionDelegate(const int& lineHeight, QObject* parent)
        : QStyledItemDelegate(parent), FLineHeight(lineHeight) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const bool selected = option.state & QStyle::State_Selected;
        if (selected) painter->fillRect(option.rect, option.palette.highlight());
        painter->setPen(selected ? option.palette.highlightedText().color() : option.palette.text().color());
        const QStringList lines = index.data().toString().split(QLatin1Char('\n'));
        for (int i = 0; i < lines.size(); ++i) {
            const QRect line(option.rect.left(), option.rect.top() + i * FLineHeight, option.rect.width(), FLineHeight);
            painter->drawText(line, Qt::AlignLeft | Qt::AlignTop, lines[i]);
        }
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        return QSize(option.rect.width(), 3 * FLineHeight);
    }

private:
    const int& FLineHeight;
};

}  // namespace

TRemoteDiskPanel::TRemoteDiskPanel(TRmtDskMod* server, IUiPrompts& prompts, QWidget* parent)
    : QWidget(parent), FServer(server), FPrompts(prompts) {
    setObjectName(QStringLiteral("Panel5"));
    ActivateRemoteDiskServerAct = new QAction(QStringLiteral("Activate Disk Server"), this);
    ActivateRemoteDiskServerAct->setObjectName(QStringLiteral("ActivateRemoteDiskServerAct"));
    ActivateRemoteDiskServerAct->setProperty("Category", QStringLiteral("Disk Manager"));
    ActivateRemoteDiskServerAct->setCheckable(true);
    connect(ActivateRemoteDiskServerAct, &QAction::triggered, this, [this] { ActivateRemoteDiskServerActExecute(); });

    C_RemoteDiskServerActive = new QCheckBox(ActivateRemoteDiskServerAct->text(), this);
    C_RemoteDiskServerActive->setObjectName(QStringLiteral("C_RemoteDiskServerActive"));
    connect(C_RemoteDiskServerActive, &QCheckBox::clicked, ActivateRemoteDiskServerAct, &QAction::trigger);
    connect(ActivateRemoteDiskServerAct, &QAction::changed, this, [this] {
        C_RemoteDiskServerActive->setChecked(ActivateRemoteDiskServerAct->isChecked());
        C_RemoteDiskServerActive->setEnabled(ActivateRemoteDiskServerAct->isEnabled());
    });

    C_DiskServerPort = new QLineEdit(QString::fromLatin1(TRmtDskMod::DefaultPort), this);
    C_DiskServerPort->setObjectName(QStringLiteral("C_DiskServerPort"));
    C_DiskServerPort->setToolTip(QStringLiteral("IP port used by disk server (default 999)"));
    C_UseRemoteDiskAutoUnMount = new QCheckBox(QStringLiteral("Allow auto unmount"), this);
    C_UseRemoteDiskAutoUnMount->setObjectName(QStringLiteral("C_UseRemoteDiskAutoUnMount"));
    C_UseRemoteDiskAutoUnMount->setChecked(true);
    C_UseRemoteDiskAutoUnMount->setToolTip(QStringLiteral("Auto unmount current disk if new disk mount requested"));
    connect(C_UseRemoteDiskAutoUnMount, &QCheckBox::clicked, this, [this] { C_UseRemoteDiskAutoUnMountClick(); });

    FModel = new TRemoteSessionListModel(this);
    RemoteDiskServerStatus = new QListView(this);
    RemoteDiskServerStatus->setObjectName(QStringLiteral("RemoteDiskServerStatus"));
    RemoteDiskServerStatus->setToolTip(QStringLiteral("Shows a list of active clients"));
    RemoteDiskServerStatus->setModel(FModel);
    RemoteDiskServerStatus->setItemDelegate(new TRemoteSessionDelegate(FServerListLineHeight, RemoteDiskServerStatus));
    RemoteDiskServerStatus->setUniformItemSizes(true);
    Refresh = new QPushButton(QStringLiteral("Refresh"), this);
    Refresh->setObjectName(QStringLiteral("Refresh"));
    Refresh->setToolTip(QStringLiteral("Update client status display"));
    connect(Refresh, &QPushButton::clicked, this, [this] { RefreshClick(); });

    RemoteDiskStatus = new QTimer(this);
    RemoteDiskStatus->setObjectName(QStringLiteral("RemoteDiskStatus"));
    RemoteDiskStatus->setInterval(StatusIntervalMs);
    connect(RemoteDiskStatus, &QTimer::timeout, this, [this] { RemoteDiskStatusTimer(); });

    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Remote Disk Server"), this), 0, 0, 1, 3);
    layout->addWidget(C_RemoteDiskServerActive, 1, 0);
    layout->addWidget(new QLabel(QStringLiteral("Server Port"), this), 1, 1);
    layout->addWidget(C_DiskServerPort, 1, 2);
    layout->addWidget(C_UseRemoteDiskAutoUnMount, 2, 0, 1, 3);
    layout->addWidget(RemoteDiskServerStatus, 3, 0, 1, 3);
    layout->addWidget(Refresh, 4, 2, Qt::AlignRight);
    ActivateRemoteDiskServerActUpdate(*ActivateRemoteDiskServerAct);
}

TRemoteDiskPanel::~TRemoteDiskPanel() = default;

void TRemoteDiskPanel::SetupRemoteDiskStatusList() {
    const QFontMetrics metrics(RemoteDiskServerStatus->font());
    FServerListLineHeight = metrics.boundingRect(QStringLiteral("[]{}()|/\\_^,;:'\"!@Wgjpqy")).height() + 4;
    RefreshRemoteDiskStatus();
}

void TRemoteDiskPanel::RefreshRemoteDiskStatus() {
    std::vector<std::array<std::string, 3>> rows;
    if (FServer)
        for (size_t i = 0; i < FServer->SessionCount(); ++i)
            rows.push_back(RemoteSessionLines(*FServer->GetSession(i)));
    FModel->SetRows(std::move(rows));
    RemoteDiskServerStatus->doItemsLayout();
    RemoteDiskServerStatus->viewport()->update();
}

void TRemoteDiskPanel::ActivateRemoteDiskServerActUpdate(QAction& action) {
    const bool active = FServer && FServer->GetActive();
    C_DiskServerPort->setReadOnly(active);
    action.setEnabled(FServer != nullptr);
    action.setChecked(active);
}

void TRemoteDiskPanel::ActivateRemoteDiskServerActExecute() {
    if (!FServer) return;
    if (!FServer->GetActive()) {
        std::string port = C_DiskServerPort->text().trimmed().toStdString();
        if (port.empty()) port = TRmtDskMod::DefaultPort;
        if (ParsePortNumber(port) == 0) {
            FPrompts.ShowError(RefusedPortText(port));
        } else {
            C_UseRemoteDiskAutoUnMountClick();
            FServer->BaseUdpRx1.LocalPort = port;
            FServer->SetActive(true);
            if (!FServer->GetActive())
                FPrompts.ShowError("The remote disk server could not be started. " + FServer->BaseUdpRx1.LastError());
        }
    } else {
        FServer->SetActive(false);
    }
    RefreshRemoteDiskStatus();
    ActivateRemoteDiskServerActUpdate(*ActivateRemoteDiskServerAct);
    if (FServer->GetActive())
        RemoteDiskStatus->start();
    else
        RemoteDiskStatus->stop();
}

void TRemoteDiskPanel::C_UseRemoteDiskAutoUnMountClick() {
    if (FServer) FServer->SetAutoUnmount(C_UseRemoteDiskAutoUnMount->isChecked());
}

void TRemoteDiskPanel::RemoteDiskStatusTimer() {
    RemoteDiskStatus->stop();
    if (!FServer || !FServer->GetActive()) return;
    if (FLastServerChange != FServer->LastActivity) {
        FLastServerChange = FServer->LastActivity;
        RefreshRemoteDiskStatus();
    }
    RemoteDiskStatus->start();
}

std::array<std::string, 3> TRemoteDiskPanel::ItemLines(int index) const {
    const auto& rows = FModel->Rows();
    return index >= 0 && static_cast<size_t>(index) < rows.size() ? rows[static_cast<size_t>(index)]
                                                                  : std::array<std::string, 3>{};
}

int TRemoteDiskPanel::ItemCount() const { return FModel->rowCount(); }

void TRemoteDiskPanel::LoadSettings(const TNrKeyValueSections& store) {
    // A port the server could never bind is refused here, with the other
    // values, not first when the server starts; empty is the default port.
    const std::string port =
        ReadPortSetting(store, kSection, "DiskServerPort", TRmtDskMod::DefaultPort, EEmptyPortText::MeansTheDefault);
    C_DiskServerPort->setText(Latin1(port));
    C_UseRemoteDiskAutoUnMount->setChecked(
        store.ReadBool(kSection, "UseRemoteDiskAutoUnMount", C_UseRemoteDiskAutoUnMount->isChecked()));
    C_UseRemoteDiskAutoUnMountClick();
    ActivateRemoteDiskServerActUpdate(*ActivateRemoteDiskServerAct);
    const bool checked = ActivateRemoteDiskServerAct->isChecked();
    if (store.ReadBool(kSection, "RemoteDiskServerActive", checked) != checked &&
        ActivateRemoteDiskServerAct->isEnabled())
        ActivateRemoteDiskServerAct->trigger();
}

void TRemoteDiskPanel::SaveSettings(TNrKeyValueSections& store) const {
    store.WriteString(kSection, "DiskServerPort", C_DiskServerPort->text().toStdString());
    store.WriteBool(kSection, "UseRemoteDiskAutoUnMount", C_UseRemoteDiskAutoUnMount->isChecked());
    store.WriteBool(kSection, "RemoteDiskServerActive", ActivateRemoteDiskServerAct->isChecked());
}
