#include "ui/ActionCheckBox.h"

#include <QAction>
#include <QCheckBox>

void BindCheckBoxToAction(QCheckBox& box, QAction& action) {
    auto show = [&box, &action] {
        box.setText(action.text());
        box.setToolTip(action.toolTip() == action.text() ? QString() : action.toolTip());
        box.setChecked(action.isChecked());
        box.setEnabled(action.isEnabled());
    };
    show();
    QObject::connect(&action, &QAction::changed, &box, show);
    QObject::connect(&box, &QCheckBox::clicked, &action, [&action, &box] {
        action.trigger();
        // A refused change leaves the action as it was: show it again.
        box.setChecked(action.isChecked());
    });
}
