#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include "annotate/Tool.h"
#include "annotate/ToolMakers.h"

namespace kal::tools {
namespace {

constexpr int kRadius = 10;

// A filled circle of diameter 20 round the press point with its number in
// white; made at the press.
class MarkTool : public Tool {
 public:
  bool MadeAtPress() const override { return true; }
  void Paint(QPainter& painter, const GraphShape& s, const PaintLook& look, const QRect&) const override {
    painter.setPen(Qt::NoPen);
    painter.setBrush(s.colour);
    painter.drawEllipse(QRect(s.p1 - QPoint(kRadius, kRadius), QSize(2 * kRadius, 2 * kRadius)));
    QFont font("Times New Roman");
    font.setPixelSize(16);  // 12 points
    if (!look.smooth) font.setStyleStrategy(QFont::NoAntialias);
    painter.setFont(font);
    painter.setPen(Qt::white);
    const QRect box(s.p1 - QPoint(kRadius * 2, kRadius * 2), QSize(4 * kRadius, 4 * kRadius));
    painter.drawText(box, Qt::AlignCenter, QString::number(s.number));
  }
  QRect Bounds(const GraphShape& s, const PaintLook&) const override {
    return QRect(s.p1 - QPoint(kRadius + 2, kRadius + 2), QSize(2 * kRadius + 5, 2 * kRadius + 5));
  }
};

}  // namespace

std::unique_ptr<Tool> MakeMark() { return std::make_unique<MarkTool>(); }

}  // namespace kal::tools
