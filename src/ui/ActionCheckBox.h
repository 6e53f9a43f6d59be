#pragma once
// A check box that shows a checkable action: clicking it triggers the
// action, and it follows the action's text, hint, checked and enabled state
// (the action's handler may refuse the change and uncheck it again).

class QAction;
class QCheckBox;

void BindCheckBoxToAction(QCheckBox& box, QAction& action);
