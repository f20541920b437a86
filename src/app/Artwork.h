#pragma once

#include <QIcon>
#include <QPixmap>
#include <QVector>

namespace vantrel {

// The pictures of the window programs, drawn in code so that no image files need shipping.
class Artwork {
 public:
  // Indexes of the main window's 16 x 16 image list (imglstImages).
  enum ImageIndex {
    kImageUser = 0,
    kImageGroup = 1,
    kImageComputer = 2,
    kImageShow = 5,     // blank
    kImageDisable = 6,  // red disc with a white cross
    kImageDelete = 7,   // red diagonal cross
  };
  static constexpr int kImageCount = 8;

  // The image list; indexes 3, 4 and 5 are blank.
  static QVector<QPixmap> ImageList();
  static QPixmap Image(int index);
  static QIcon Icon(int index);

  // The 32 x 32 picture beside the "Exchange features disabled" lines.
  static QPixmap ExchangeWarning();
  // The product picture of the splash window.
  static QPixmap ProductPicture();
};

}  // namespace vantrel
