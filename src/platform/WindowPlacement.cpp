#include "platform/WindowPlacement.h"

#include <QEvent>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

QPoint KeptInside(const QRect& frame, const QRect& free) {
    // right() and bottom() are the last pixels inside, hence the + 1.
    return {std::clamp(frame.left(), free.left(), std::max(free.left(), free.right() + 1 - frame.width())),
            std::clamp(frame.top(), free.top(), std::max(free.top(), free.bottom() + 1 - frame.height()))};
}

QSize FittedSize(const QSize& wanted, const QSize& floor, const QMargins& frame, const QRect& free) {
    const auto fit = [](int want, int low, int room) {
        room = std::max(1, room);
        return std::clamp(want, std::clamp(low, 1, room), room);
    };
    return {fit(wanted.width(), floor.width(), free.width() - frame.left() - frame.right()),
            fit(wanted.height(), floor.height(), free.height() - frame.top() - frame.bottom())};
}

namespace {

// Qt reports window and screen geometry in logical pixels, each position,
// size and margin rounded on its own to the nearest from the window
// system's device pixels, and sets what it is given the same way: at scale
// 1.5 a title bar of 20 device pixels reads 13, and 13 set is 19.5.
class TDevicePixels {
public:
    explicit TDevicePixels(qreal scale) : FScale(scale) {}

    // What Qt sets for a logical value.
    int Of(int logical) const { return qRound(logical * FScale); }
    // The fewest and the most device pixels that Qt may have rounded to logical.
    int Fewest(int logical) const { return static_cast<int>(std::ceil((logical - 0.5) * FScale)); }
    int Most(int logical) const { return static_cast<int>(std::ceil((logical + 0.5) * FScale)) - 1; }
    // The fewest logical pixels that Qt sets as at least device pixels, and
    // the most that it sets as no more.
    int LogicalAtLeast(int device) const {
        int logical = static_cast<int>(std::floor(device / FScale));
        while (Of(logical) < device) ++logical;
        while (Of(logical - 1) >= device) --logical;
        return logical;
    }
    int LogicalAtMost(int device) const {
        int logical = static_cast<int>(std::ceil(device / FScale));
        while (Of(logical) > device) --logical;
        while (Of(logical + 1) <= device) ++logical;
        return logical;
    }

private:
    qreal FScale;
};

// Where a client may lie along one axis so that its frame stays on the free
// area whatever device pixels the logical ones stand for: between the
// device pixels surely on the free area, less the most the frame's margin
// before and after the client may take.
class TAxisRoom {
public:
    TAxisRoom(int freeStart, int freeLength, int before, int after, const TDevicePixels& device)
        : FDevice(device),
          FFirst(device.Most(freeStart) + device.Most(before)),
          FEnd(device.Fewest(freeStart) + device.Fewest(freeLength) - device.Most(after)) {}

    int LowestStart() const { return FDevice.LogicalAtLeast(FFirst); }
    // The longest client that fits from the lowest start.
    int Room() const { return FDevice.LogicalAtMost(FEnd - FDevice.Of(LowestStart())); }
    // The highest start of a client length long: below the lowest when it
    // does not fit.
    int HighestStart(int length) const { return FDevice.LogicalAtMost(FEnd - FDevice.Of(length)); }

private:
    const TDevicePixels& FDevice;
    int FFirst;  // the first device pixel the client may cover
    int FEnd;    // the device pixel after the last one it may cover
};

}  // namespace

QRect PlacedClient(const QSize& wanted, const QPoint& framePos, const QSize& floor, const QMargins& frame,
                   const QRect& free, qreal scale) {
    const TDevicePixels device(scale);
    const TAxisRoom across(free.left(), free.width(), frame.left(), frame.right(), device);
    const TAxisRoom down(free.top(), free.height(), frame.top(), frame.bottom(), device);
    const QSize client = FittedSize(wanted, floor, {}, QRect(0, 0, across.Room(), down.Room()));
    // The client's top-left as near the frame's as the starts that keep
    // the frame on free allow (the lowest when none does).
    const QRect starts(QPoint(across.LowestStart(), down.LowestStart()),
                       QPoint(across.HighestStart(client.width()), down.HighestStart(client.height())));
    return {KeptInside(QRect(framePos + QPoint(frame.left(), frame.top()), QSize(1, 1)), starts), client};
}

QMargins FrameMarginsNow(const QWidget& window) {
    const QRect client = window.geometry();
    const QRect outer = window.frameGeometry();
    return {client.left() - outer.left(), client.top() - outer.top(), outer.right() - client.right(),
            outer.bottom() - client.bottom()};
}

namespace {

// Long enough for any window manager to frame a window it is mapping.
constexpr int FramePatienceMs = 1000;

void PlaceNow(QWidget& window, const QSize& wanted, const std::optional<QPoint>& framePos) {
    const QScreen* screen = window.screen();
    if (!screen) return;
    // Qt scales from the screen's top-left.
    const QPoint origin = screen->geometry().topLeft();
    const QRect client = PlacedClient(wanted, framePos.value_or(window.frameGeometry().topLeft()) - origin,
                                      window.minimumSizeHint(), FrameMarginsNow(window),
                                      screen->availableGeometry().translated(-origin), screen->devicePixelRatio())
                             .translated(origin);
    // A window not shown yet has no place of the window system's to keep.
    if (framePos || window.isVisible())
        window.setGeometry(client);
    else
        window.resize(client.size());
}

// Watches a window placed before its frame appeared, and places it once
// more when the frame has appeared; then it runs what waited for that
// placement, and goes.
class TFrameWatch : public QObject {
public:
    TFrameWatch(QWidget& window, const QSize& wanted, const std::optional<QPoint>& framePos)
        : QObject(&window), FWindow(window), FWanted(wanted), FFramePos(framePos) {
        setObjectName(Name());
        window.installEventFilter(this);
    }

    static QString Name() { return QStringLiteral("TavrinFrameWatch"); }

    // then runs after the placement, or once the frame is overdue.
    void AddWhenPlaced(std::function<void()> then) {
        FWhenPlaced.push_back(std::move(then));
        QTimer::singleShot(FramePatienceMs, &FWindow, [watch = QPointer<TFrameWatch>(this)] {
            if (watch) RunAll(watch->TakeWhenPlaced());
        });
    }

    std::vector<std::function<void()>> TakeWhenPlaced() { return std::exchange(FWhenPlaced, {}); }

    static void RunAll(const std::vector<std::function<void()>>& calls) {
        for (const std::function<void()>& call : calls) call();
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        // The window manager moves a window as it decorates it, and
        // activates it once it is decorated.
        const QEvent::Type type = event->type();
        const bool mayHaveFrame =
            type == QEvent::Show || type == QEvent::Move || type == QEvent::Resize || type == QEvent::ActivationChange;
        if (watched == &FWindow && mayHaveFrame && !FrameMarginsNow(FWindow).isNull()) {
            FWindow.removeEventFilter(this);
            // After the event: the window system is in the middle of it. A
            // placement made meanwhile has taken this one's place.
            QTimer::singleShot(0, &FWindow, [watch = QPointer<TFrameWatch>(this)] {
                if (watch) watch->PlaceAndGo();
            });
        }
        return false;
    }

private:
    void PlaceAndGo() {
        QWidget& window = FWindow;
        const QSize wanted = FWanted;
        const std::optional<QPoint> framePos = FFramePos;
        const std::vector<std::function<void()>> waiting = TakeWhenPlaced();
        delete this;
        PlaceNow(window, wanted, framePos);
        RunAll(waiting);
    }

    QWidget& FWindow;
    QSize FWanted;
    std::optional<QPoint> FFramePos;
    std::vector<std::function<void()>> FWhenPlaced;
};

TFrameWatch* PendingWatch(const QWidget& window) {
    // Only a watch has this name.
    return static_cast<TFrameWatch*>(window.findChild<QObject*>(TFrameWatch::Name(), Qt::FindDirectChildrenOnly));
}

void Place(QWidget& window, const QSize& wanted, const std::optional<QPoint>& framePos) {
    // A placement made before gives way to this one, and what waited for it
    // waits for this one.
    std::vector<std::function<void()>> waiting;
    while (TFrameWatch* old = PendingWatch(window)) {
        for (std::function<void()>& then : old->TakeWhenPlaced()) waiting.push_back(std::move(then));
        delete old;
    }
    PlaceNow(window, wanted, framePos);
    if (FrameMarginsNow(window).isNull() && window.isWindow() && !(window.windowFlags() & Qt::FramelessWindowHint)) {
        auto* watch = new TFrameWatch(window, wanted, framePos);
        for (std::function<void()>& then : waiting) watch->AddWhenPlaced(std::move(then));
    } else {
        TFrameWatch::RunAll(waiting);
    }
}

}  // namespace

void PlaceWindow(QWidget& window, const QSize& wanted, const QPoint& framePos) { Place(window, wanted, framePos); }

void PlaceWindow(QWidget& window, const QSize& wanted) { Place(window, wanted, std::nullopt); }

void WhenPlaced(QWidget& window, std::function<void()> then) {
    TFrameWatch* watch = PendingWatch(window);
    if (watch && window.isVisible())
        watch->AddWhenPlaced(std::move(then));
    else
        then();
}
