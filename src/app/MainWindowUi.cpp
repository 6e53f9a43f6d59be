#include "app/MainWindowUi.h"

#include "net/RmtDisk.h"

TMainWindowUi::TMainWindowUi() = default;
TMainWindowUi::~TMainWindowUi() = default;
