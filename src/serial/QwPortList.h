#pragma once
// Slots of the process-wide dispatcher list (used by the dispatcher itself).

#include <cstdint>

#include "serial/QwUser.h"

int32_t AddToPortList(TQnBaseDispatcher* dispatcher);
void RemoveFromPortList(int32_t index);
