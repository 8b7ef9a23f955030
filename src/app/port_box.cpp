#include "port_box.h"

#include <QAbstractItemView>
#include <QFileInfo>
#include <QSignalBlocker>
#include <QStyleOptionComboBox>
#include <QStylePainter>

void PortBox::setChoices(const QList<PortChoice>& choices)
{
    const QString kept = m_choices.isEmpty() ? QString() : PortSetting(currentChoice());
    const QSignalBlocker quiet(this);
    m_choices = choices;
    clear();
    for (const PortChoice& choice : choices)
        addItem(choice.text);
    const int index = ChoiceForSetting(choices, kept);
    setCurrentIndex(index >= 0 ? index : 0);
    view()->setMinimumWidth(view()->sizeHintForColumn(0) + 2 * view()->frameWidth() + 8);
}

PortChoice PortBox::currentChoice() const
{
    const int index = currentIndex();
    return index >= 0 && index < m_choices.size() ? m_choices[index] : PortChoice();
}

void PortBox::showPopup()
{
    Q_EMIT popupAboutToShow();
    QComboBox::showPopup();
}

void PortBox::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    painter.setPen(palette().color(QPalette::Text));
    QStyleOptionComboBox option;
    initStyleOption(&option);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    const PortChoice choice = currentChoice();
    if (choice.number == 0 && !choice.device.isEmpty()) {
        const QRect field
            = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
        option.currentText
            = fontMetrics().elidedText(QFileInfo(choice.device).fileName(), Qt::ElideLeft, field.width());
    }
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}
