#pragma once

#include <QString>

class QFrame;
class QLabel;
class QWidget;

namespace vantrel {

// A bold section heading with a horizontal rule running from its end towards the page's right edge.
// The caption ends in two blanks, which leave the gap between the text and the rule.
class SectionHeading {
 public:
  SectionHeading(QWidget* page, const QString& name, const QString& caption, int x, int y);
  // The label and the rule belong to the page; a copy would place a second heading nowhere.
  SectionHeading(const SectionHeading&) = delete;
  SectionHeading& operator=(const SectionHeading&) = delete;

  // The rule starts where the heading ends and is the page control's width less the heading's width
  // less 30 pixels wide.
  void Layout(int pageControlWidth);
  void MoveTo(int x, int y);

  QLabel* Label() const { return label_; }
  QFrame* Rule() const { return rule_; }

 private:
  QLabel* label_;
  QFrame* rule_;
};

}  // namespace vantrel
