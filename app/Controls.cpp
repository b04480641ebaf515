#include "app/Controls.h"

#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

QSpinBox* makeSpinner(const QString& name, int minimum, int maximum, int value) {
    auto* spin = new QSpinBox;
    spin->setObjectName(name);
    spin->setRange(minimum, maximum);
    spin->setValue(value);
    spin->setAccelerated(true);
    return spin;
}

QPushButton* makeButton(const char* name, const QString& text) {
    auto* button = new QPushButton(text);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

QLabel* makeCaption(const QString& text) {
    auto* label = new QLabel(text);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}
