#pragma once

#include <QWidget>

namespace vantrel {

// The start-up window: borderless, on top, with the product picture, name and version.
class TfrmSplash : public QWidget {
  Q_OBJECT
 public:
  explicit TfrmSplash(QWidget* parent = nullptr);

  static constexpr int kClientWidth = 360;
  static constexpr int kClientHeight = 142;
  static constexpr int kFrameWidth = 3;

  // Shows the window centred on the screen and paints it at once, before start-up goes on.
  void ShowNow();

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace vantrel
