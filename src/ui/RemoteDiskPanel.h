#pragma once
// The remote disk server panel on the Disks page: starts and stops the
// server on the chosen port and lists its client sessions, three lines per
// client. The list is a snapshot taken at each refresh; a 1000 ms timer
// refreshes it while the server runs, and only when the server reports a
// mount or unmount since the last one.

#include <QWidget>

#include <array>
#include <cstdint>
#include <string>

#include "net/RmtDiskSession.h"
#include "platform/core/SettingsSection.h"

class QAction;
class QCheckBox;
class QLineEdit;
class QListView;
class QPushButton;
class QTimer;
class IUiPrompts;
class TRmtDskMod;
class TRemoteSessionListModel;

// The four bytes of an IPv4 address as stored (lowest first), dotted.
std::string IpAddressToStr(uint32_t address);
// The three lines the list shows for one session.
std::array<std::string, 3> RemoteSessionLines(const TRmtDskSession& session);

class TRemoteDiskPanel : public QWidget, public ISettingsSection {
    Q_OBJECT
public:
    static constexpr int StatusIntervalMs = 1000;

    // server may be null: the panel then shows the server as unavailable.
    TRemoteDiskPanel(TRmtDskMod* server, IUiPrompts& prompts, QWidget* parent = nullptr);
    ~TRemoteDiskPanel() override;

    QAction* ActivateRemoteDiskServerAct = nullptr;
    QCheckBox* C_RemoteDiskServerActive = nullptr;
    QLineEdit* C_DiskServerPort = nullptr;
    QCheckBox* C_UseRemoteDiskAutoUnMount = nullptr;
    QListView* RemoteDiskServerStatus = nullptr;
    QPushButton* Refresh = nullptr;
    QTimer* RemoteDiskStatus = nullptr;

    // Measures the list's line height; called once, on the window's first activation.
    void SetupRemoteDiskStatusList();
    void RefreshRemoteDiskStatus();
    void RefreshClick() { RefreshRemoteDiskStatus(); }
    void ActivateRemoteDiskServerActUpdate(QAction& action);
    // Validates the port and reports a server that would not start.
    void ActivateRemoteDiskServerActExecute();
    void C_UseRemoteDiskAutoUnMountClick();
    void RemoteDiskStatusTimer();

    int ServerListLineHeight() const { return FServerListLineHeight; }
    // The lines item index shows, as of the last refresh; empty outside the list.
    std::array<std::string, 3> ItemLines(int index) const;
    int ItemCount() const;

    // The DISK SERVER section; a saved running server is started again.
    void LoadSettings(const TNrKeyValueSections& store) override;
    void SaveSettings(TNrKeyValueSections& store) const override;

private:
    TRmtDskMod* FServer;
    IUiPrompts& FPrompts;
    TRemoteSessionListModel* FModel = nullptr;
    int FServerListLineHeight = 20;
    TRmtDskTime FLastServerChange{};
};
