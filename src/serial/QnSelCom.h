#pragma once
// The "Select Port" dialog, shown when a port is opened before its number
// was configured: it lists the host's serial ports as "COM"n names.

#include <QDialog>
#include <functional>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;

class TComSelectForm : public QDialog {
public:
    // The port numbers to offer; by default the ports that exist now.
    using TPortLister = std::function<std::vector<int>()>;
    explicit TComSelectForm(QWidget* parent = nullptr, TPortLister lister = nullptr);

    // The number of the chosen entry (its text from the fourth character
    // on); 0 when nothing is chosen.
    int SelectedPortNumber() const;

    QComboBox* PortsComboBox;
    QLabel* Label1;
    QLabel* Label2;
    QPushButton* OkButton;
    QPushButton* CancelButton;
};

// Shows the dialog modally: the chosen number, or 0 for Cancel.
int PromptForPortNumber();
