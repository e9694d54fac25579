#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QTextDocument>
#include <QTextOption>

#include <cmath>

#include "annotate/TextLook.h"
#include "annotate/Tool.h"
#include "annotate/ToolMakers.h"

namespace kal {

QFont AnnotationFont(qreal scale, bool smooth) {
  QFont font("宋体");
  font.setPixelSize(static_cast<int>(std::lround(20 * scale)));
  if (!smooth) font.setStyleStrategy(QFont::NoAntialias);
  return font;
}

std::unique_ptr<QTextDocument> AnnotationLayout(const QString& text, const QFont& font) {
  auto doc = std::make_unique<QTextDocument>();
  doc->setDefaultFont(font);
  doc->setDocumentMargin(0);
  QTextOption option;
  option.setWrapMode(QTextOption::NoWrap);
  doc->setDefaultTextOption(option);
  doc->setPlainText(text);
  return doc;
}

namespace tools {
namespace {

// The committed text of a text box, its top-left corner at p1; made at the
// press that commits the box.
class TextTool : public Tool {
 public:
  bool MadeAtPress() const override { return true; }
  void Paint(QPainter& painter, const GraphShape& s, const PaintLook& look, const QRect&) const override {
    if (s.text.isEmpty()) return;
    const auto doc = AnnotationLayout(s.text, AnnotationFont(look.scale, look.smooth));
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette.setColor(QPalette::Text, s.colour);
    painter.save();
    painter.translate(s.p1);
    doc->documentLayout()->draw(&painter, context);
    painter.restore();
  }
  QRect Bounds(const GraphShape& s, const PaintLook& look) const override {
    const auto doc = AnnotationLayout(s.text, AnnotationFont(look.scale, look.smooth));
    return QRect(s.p1, doc->size().toSize()).adjusted(-2, -2, 4, 4);
  }
  bool Cross() const override { return false; }
};

}  // namespace

std::unique_ptr<Tool> MakeText() { return std::make_unique<TextTool>(); }

}  // namespace tools
}  // namespace kal
