#include "app/PageFields.h"

#include <QApplication>
#include <QLineEdit>
#include <QPalette>

namespace vantrel {

void SetFieldColour(QWidget* field) {
  // A field's own enabled state, whatever its page's state.
  const bool enabled = field->isEnabledTo(field->parentWidget());
  const QPalette standard = QApplication::palette(field);
  const QColor colour = standard.color(enabled ? QPalette::Base : QPalette::Button);
  QPalette palette = field->palette();
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
    palette.setColor(group, QPalette::Base, colour);
  field->setPalette(palette);
}

void ShowStored(QLineEdit* field, const QString& text) {
  if (text.size() > field->maxLength()) field->setMaxLength(static_cast<int>(text.size()));
  field->setText(text);
}

std::string FieldText(const QLineEdit* field) { return field->text().toStdString(); }

}  // namespace vantrel
