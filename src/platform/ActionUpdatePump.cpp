#include "platform/ActionUpdatePump.h"

#include <QAction>
#include <QMenu>
#include <QTimer>

TActionUpdatePump::TActionUpdatePump(QObject* parent) : QObject(parent), FTimer(new QTimer(this)) {
    connect(FTimer, &QTimer::timeout, this, &TActionUpdatePump::UpdateAllActions);
}

void TActionUpdatePump::Add(QAction* action, std::function<void(QAction&)> update) {
    for (size_t i = 0; i < FActions.size(); ++i)
        if (FActions[i] == action) {
            FUpdates[i] = std::move(update);
            return;
        }
    FActions.push_back(action);
    FUpdates.push_back(std::move(update));
}

void TActionUpdatePump::UpdateAllActions() {
    for (size_t i = 0; i < FActions.size(); ++i)
        if (FActions[i] && FUpdates[i]) FUpdates[i](*FActions[i]);
}

void TActionUpdatePump::UpdateAction(QAction* action) {
    for (size_t i = 0; i < FActions.size(); ++i)
        if (FActions[i] == action && FUpdates[i]) FUpdates[i](*action);
}

void TActionUpdatePump::WatchMenu(QMenu* menu) {
    connect(menu, &QMenu::aboutToShow, this, &TActionUpdatePump::UpdateAllActions);
}

void TActionUpdatePump::StartTimer(int intervalMs) { FTimer->start(intervalMs); }
