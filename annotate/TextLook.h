#pragma once
// The text tool's type, shared by the text box and the canvas so that what
// is committed lies where the box showed it.

#include <QFont>
#include <QString>

#include <memory>

class QTextDocument;

namespace kal {

// "宋体" at 15 points (20 pixels at 96 dpi), times `scale` device pixels
// per logical pixel; unsmoothed where the canvas cannot show smooth edges.
QFont AnnotationFont(qreal scale, bool smooth = true);
// The text laid out as the box lays it out: no margin, no wrapping.
std::unique_ptr<QTextDocument> AnnotationLayout(const QString& text, const QFont& font);

}  // namespace kal
