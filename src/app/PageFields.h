#pragma once

#include <QString>
#include <string>

class QLineEdit;
class QWidget;

namespace vantrel {

// Small rules every settings page follows for its fields.

// An enabled field gets the window background colour, a disabled one the button-face colour.
void SetFieldColour(QWidget* field);

// Shows a stored value whole: a field's length limit is for typing, and a longer stored value (a day
// count of 1000, a long recipients container) is shown, used and stored again as it is.
void ShowStored(QLineEdit* field, const QString& text);

std::string FieldText(const QLineEdit* field);

}  // namespace vantrel
