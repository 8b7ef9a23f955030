#pragma once

#include "link/port_names.h"

#include <QComboBox>
#include <QList>

// The port box: COM1 .. COM8, then the serial ports present that no COMn stands for. The owner
// refreshes it each time its list opens, so an adapter plugged in later appears.
class PortBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;

    // Keeps the chosen port when it is still there, else chooses COM1; no signal while it fills.
    void setChoices(const QList<PortChoice>& choices);
    const QList<PortChoice>& choices() const { return m_choices; }
    PortChoice currentChoice() const;

    void showPopup() override;

Q_SIGNALS:
    void popupAboutToShow();

protected:
    // The box is narrow: a present port shows its device's name ("ttyUSB0"), cut at the front if need
    // be, so that the part telling two adapters apart stays ("…USB0", "…ACM0").
    void paintEvent(QPaintEvent* event) override;

private:
    QList<PortChoice> m_choices;
};
