#include "platform/WindowPlacement.h"

#include <algorithm>

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
