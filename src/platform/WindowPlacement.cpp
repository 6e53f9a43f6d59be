#include "platform/WindowPlacement.h"

#include <algorithm>

QPoint KeptInside(const QRect& frame, const QRect& free) {
    // right() and bottom() are the last pixels inside, hence the + 1.
    return {std::clamp(frame.left(), free.left(), std::max(free.left(), free.right() + 1 - frame.width())),
            std::clamp(frame.top(), free.top(), std::max(free.top(), free.bottom() + 1 - frame.height()))};
}
