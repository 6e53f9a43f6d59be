#pragma once
// The action-update pump: every action's update handler (which sets its
// Enabled and Checked state) runs from one place, UpdateAllActions, called
// after each run burst, from a ~100 ms timer and before a menu shows.

#include <QObject>

#include <functional>
#include <vector>

class QAction;
class QMenu;
class QTimer;

class TActionUpdatePump : public QObject {
    Q_OBJECT
public:
    explicit TActionUpdatePump(QObject* parent = nullptr);

    // Registers an action in index order; update may be empty (the action
    // then keeps its state). Adding the same action twice replaces its handler.
    void Add(QAction* action, std::function<void(QAction&)> update = {});
    // Runs every update handler in registration order.
    void UpdateAllActions();
    // Runs the handler of one action ("action.Update").
    void UpdateAction(QAction* action);
    // The menu runs the pump before it shows.
    void WatchMenu(QMenu* menu);
    // Starts the periodic pump (default 100 ms); it stops with the pump.
    void StartTimer(int intervalMs = 100);

    const std::vector<QAction*>& Actions() const { return FActions; }

private:
    std::vector<QAction*> FActions;
    std::vector<std::function<void(QAction&)>> FUpdates;
    QTimer* FTimer;
};
