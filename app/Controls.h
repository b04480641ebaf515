#pragma once

#include <QString>

class QLabel;
class QPushButton;
class QSpinBox;

// Small factories for the controls of the window and its dialogs, so that
// every spinner, button and caption looks and behaves alike.

// A spinner named name with the range minimum..maximum, at value.
QSpinBox* makeSpinner(const QString& name, int minimum, int maximum, int value);
// A push button named name.
QPushButton* makeButton(const char* name, const QString& text);
// A caption right-aligned beside its field.
QLabel* makeCaption(const QString& text);
