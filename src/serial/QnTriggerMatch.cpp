#include <cctype>

#include "serial/QnTriggers.h"

bool MatchDataTrigger(TQnDataTrigger& trigger, uint8_t ch) {
    const uint32_t length = trigger.Length;
    if (length == 0 || length > DataTriggerCursors) return false;
    if (trigger.IgnoreCase != 0) ch = static_cast<uint8_t>(std::toupper(ch));
    bool started = false;
    bool matched = false;
    // Cursor i holds how many pattern bytes it has matched (0 idle). Idle
    // cursors are visited, and may start on this byte, only until one cursor
    // stands at 1 in this pass; the scan stops at the first cursor it skips.
    for (uint32_t i = 0; i < length; ++i) {
        const uint32_t c = trigger.Cursors[i];
        if (trigger.Pattern[c] == ch) {
            if (c == length - 1) {
                matched = true;
                for (uint32_t& cursor : trigger.Cursors) cursor = 0;
            } else {
                trigger.Cursors[i] = c + 1;
            }
        } else {
            trigger.Cursors[i] = trigger.Pattern[0] == ch ? 1 : 0;
        }
        if (trigger.Cursors[i] == 1) started = true;
        if (i + 1 == length) break;
        const bool nextBusy = trigger.Cursors[i + 1] != 0;
        if (!(started ? nextBusy : (nextBusy || trigger.Pattern[0] == ch))) break;
    }
    return matched;
}
