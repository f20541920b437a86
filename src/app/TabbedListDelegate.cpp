#include "app/TabbedListDelegate.h"

#include <QApplication>
#include <QPainter>
#include <QTextOption>

namespace vantrel {

TabbedListDelegate::TabbedListDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

void TabbedListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  QStyleOptionViewItem item = option;
  initStyleOption(&item, index);
  const QString text = item.text;
  item.text.clear();
  const QWidget* widget = option.widget;
  QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
  style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

  const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget).adjusted(2, 0, -2, 0);
  QTextOption layout(Qt::AlignLeft | Qt::AlignVCenter);
  layout.setWrapMode(QTextOption::NoWrap);
  layout.setTabStopDistance(item.fontMetrics.averageCharWidth() * tabStopCharacters_);
  painter->save();
  painter->setFont(item.font);
  const QPalette::ColorGroup group = (item.state & QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled;
  painter->setPen(
      item.palette.color(group, (item.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text));
  painter->drawText(QRectF(textRect), text, layout);
  painter->restore();
}

}  // namespace vantrel
