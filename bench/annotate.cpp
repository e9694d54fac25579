// Drawing benchmark: a long pen stroke dragged over 200 finished shapes on
// a 2560x1440 canvas. Per move the canvas repaints the part that changed
// and, without a compositor, reads that part's shape back; the peer redraws
// every shape into the whole surface for every move. Prints the mean and
// the 99th percentile of a move for each (both looks) and, last,
// move_ratio = ours / full redraw (means, composited look).

#include <QGuiApplication>

#include <algorithm>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#include "annotate/DrawingSurface.h"
#include "annotate/Tool.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<kal::GraphShape> Shapes() {
  std::vector<kal::GraphShape> shapes;
  for (int i = 0; i < 200; ++i) {
    kal::GraphShape s;
    s.type = i % kal::kToolCount == kal::kToolEraser ? kal::kToolRectangle : i % kal::kToolCount;
    s.p1 = {(i * 97) % 2300 + 40, (i * 61) % 1250 + 40};
    s.p2 = s.p1 + QPoint(60 + i % 140, 40 + i % 90);
    for (int k = 0; k < 40; ++k) s.points.push_back(s.p1 + QPoint(k * 4, (k * k) % 50));
    s.colour = QColor((i * 40) % 256, (i * 90) % 256, (i * 20) % 256);
    s.width = 1 + i % 4;
    s.visible = true;
    s.number = i + 1;
    s.text = "标注 " + QString::number(i) + "\nline";
    shapes.push_back(s);
  }
  return shapes;
}

struct Figures {
  double mean = 0, p99 = 0;
};

// Times `move` for each step of a 600-point stroke across the canvas.
Figures Time(const std::function<void(kal::GraphShape&, QPoint)>& move) {
  kal::GraphShape live;
  live.type = kal::kToolPen;
  live.p1 = {20, 700};
  live.width = 4;
  std::vector<double> ms;
  for (int i = 1; i <= 600; ++i) {
    const QPoint at(20 + i * 4, 700 + static_cast<int>(500 * std::sin(i / 40.0)));
    const auto t = Clock::now();
    move(live, at);
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t).count());
  }
  Figures f;
  for (double v : ms) f.mean += v / ms.size();
  std::sort(ms.begin(), ms.end());
  f.p99 = ms[ms.size() * 99 / 100];
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);  // fonts for the text shapes
  const std::vector<kal::GraphShape> shapes = Shapes();
  const QSize size(2560, 1440);
  const kal::Tool& pen = kal::ToolFor(kal::kToolPen);
  double oursComposited = 0, fullComposited = 0;
  for (const bool composited : {true, false}) {
    const kal::PaintLook look{.translucent = composited, .smooth = composited};
    kal::DrawingSurface surface;
    surface.Reset(size, look);
    surface.RedrawAll(shapes);
    size_t runs = 0;
    const Figures ours = Time([&](kal::GraphShape& live, QPoint at) {
      const QRect before = live.visible ? pen.Bounds(live, look) : QRect();
      pen.Move(live, at);
      const QRect changed = pen.Changed(live, look, before);
      surface.RepaintLive(live, changed);
      if (!composited) runs += kal::OpaqueRuns(surface.Shown(), changed).size();
    });
    std::vector<kal::GraphShape> all = shapes;
    all.push_back({});
    const Figures full = Time([&](kal::GraphShape& live, QPoint at) {
      pen.Move(live, at);
      all.back() = live;
      surface.RedrawAll(all);
      if (!composited) runs += kal::OpaqueRuns(surface.Shown(), surface.Rect()).size();
    });
    const char* name = composited ? "composited" : "shaped";
    std::printf("%-10s ours         mean %7.3f ms  p99 %7.3f ms\n", name, ours.mean, ours.p99);
    std::printf("%-10s full-redraw  mean %7.3f ms  p99 %7.3f ms\n", name, full.mean, full.p99);
    if (composited) oursComposited = ours.mean, fullComposited = full.mean;
    if (!composited && !runs) std::printf("(no shape read back)\n");
  }
  std::printf("move_ratio=%.4f\n", oursComposited / fullComposited);
  return 0;
}
