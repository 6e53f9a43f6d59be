#pragma once
// Widget roots of the terminal component family: one for windowed controls
// (which take the focus and receive keys) and one for windowless graphic
// controls (lamps and the like). Both report the family's version text.

#include <QWidget>
#include <string>

#include "console/core/QnMisc.h"

class TQnBaseWinControl : public QWidget {
public:
    explicit TQnBaseWinControl(QWidget* parent = nullptr) : QWidget(parent) {}

    std::string Version() const { return QnFamilyVersion; }
    void SetVersion(const std::string&) {}
};

class TQnBaseGraphicControl : public QWidget {
public:
    explicit TQnBaseGraphicControl(QWidget* parent = nullptr) : QWidget(parent) {
        // A graphic control never takes the keyboard focus.
        setFocusPolicy(Qt::NoFocus);
    }

    std::string Version() const { return QnFamilyVersion; }
    void SetVersion(const std::string&) {}
};
