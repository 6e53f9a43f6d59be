#include "app/MainWindowUi.h"

#include "console/core/QnTrmVT100.h"
#include "net/RmtDisk.h"

TMainWindowUi::TMainWindowUi() = default;
TMainWindowUi::~TMainWindowUi() = default;
