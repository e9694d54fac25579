#pragma once
// One drawn object of the annotation canvas, in the canvas's device pixels
// (the monitor's top-left corner is 0, 0).

#include <QColor>
#include <QPoint>
#include <QString>

#include <vector>

namespace kal {

// The tool that made a shape; the palette's options name them.
enum ToolType : int {
  kToolPen = 0,
  kToolMarker = 1,
  kToolRectangle = 2,
  kToolEllipse = 3,
  kToolLine = 4,
  kToolArrow = 5,
  kToolText = 6,
  kToolMark = 7,
  kToolEraser = 8,
  kToolCount = 9,
};

struct GraphShape {
  int type = kToolPen;
  QPoint p1;  // press point; for text, the text's top-left corner
  QPoint p2;  // current or final pointer position
  QColor colour = Qt::red;
  int width = 2;
  bool visible = false;  // something to show yet
  bool done = false;     // eraser: the button is up, the area is cleared
  int number = 0;        // numbered mark
  QString text;
  std::vector<QPoint> points;  // pen and marker: the stroke after the press point
};

}  // namespace kal
