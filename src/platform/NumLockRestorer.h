#pragma once
// Flips the NumLock state back after the NumLock key, having acted as
// another key, is released (see NumLockState.h). Watches the application's
// key events; the flip itself is handed in, so that it can be replaced.

#include <QObject>

#include <functional>

class TNumLockRestorer : public QObject {
public:
    using TFlip = std::function<void()>;

    // Installs itself as a filter on the application, which must exist.
    explicit TNumLockRestorer(TFlip flip, QObject* parent = nullptr);
    ~TNumLockRestorer() override;

    // The next release of the NumLock key flips the lock, once. Leaving
    // the application forgets it: that release would go to another program.
    void Arm() { FArmed = true; }
    bool Armed() const { return FArmed; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TFlip FFlip;
    bool FArmed = false;
};
