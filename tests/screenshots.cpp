// Saves a picture of each page of the main window, of the region frame with
// its toolbar, of the region selection with its magnifier, of the pause box,
// of the tray menu, of the cut page playing a file, of the tool pages at
// work, of a recorded file's menu, of the camera preview, of the
// annotation canvas with its palette and text box and of the settings
// dialog's pages, for the documentation.
// Usage: kal_screenshots OUTPUT_FOLDER (run under a display).

#include <QAbstractButton>
#include <QApplication>
#include <QTabWidget>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QCursor>
#include <QDir>
#include <QTest>
#include <QTextEdit>

#include <cstdio>
#include <cstdlib>
#include <functional>

#include "annotate/ScreenMask.h"
#include "config/settings/SetingDialog.h"
#include "online/DownloadDialog.h"
#include "mainwnd/MainWnd.h"
#include "ui/RowList.h"
#include "mainwnd/MainTaskMenu.h"
#include "config/ConfigKeys.h"
#include "overlay/CameraWindow.h"
#include "overlay/UserDefineRegion.h"
#include "overlay/SuspendDialog.h"

namespace {

// A clip of `seconds` (`picture` a lavfi source) with sound, into `path`.
bool MakeClip(const std::string& path, int seconds, const std::string& picture) {
  return std::system(("ffmpeg -v error -y -f lavfi -i '" + picture + "' -f lavfi -i sine -t " +
                      std::to_string(seconds) + " -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac '" +
                      path + "'").c_str()) == 0;
}

// Runs the event loop until `done` or `seconds` pass.
void WaitFor(const std::function<bool()>& done, int seconds) {
  for (int i = 0; i < seconds * 20 && !done(); ++i) QTest::qWait(50);
}

// Something to stand for a desktop behind the overlays.
class Desktop : public QWidget {
 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    QLinearGradient g(0, 0, width(), height());
    g.setColorAt(0, QColor(40, 90, 150));
    g.setColorAt(1, QColor(20, 40, 70));
    p.fillRect(rect(), g);
    p.fillRect(QRect(360, 260, 700, 420), QColor(245, 245, 245));
    p.setPen(Qt::black);
    p.setFont(QFont("sans", 22));
    p.drawText(QRect(380, 280, 660, 380), Qt::AlignLeft | Qt::AlignTop,
               "A window being recorded\n\nThe red frame marks the recorded\nrectangle; "
               "inside it the desktop\nstays visible and takes the clicks.");
  }
};

bool SaveScreen(const QString& path, const QRect& part) {
  return QGuiApplication::primaryScreen()->grabWindow(0).copy(part).save(path);
}

void Settle(QApplication& app) {
  for (int i = 0; i < 40; ++i) app.processEvents();
}

// A drag on the canvas through `points`.
void Stroke(QWidget* canvas, std::initializer_list<QPoint> points) {
  QTest::mousePress(canvas, Qt::LeftButton, {}, *points.begin());
  for (QPoint p : points) {
    QMouseEvent move(QEvent::MouseMove, p, canvas->mapToGlobal(p), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(canvas, &move);
  }
  QTest::mouseRelease(canvas, Qt::LeftButton, {}, *(points.end() - 1));
}

// Every tool of the canvas used once over the desktop, then the palette.
bool DrawEveryTool(QApplication& app, const char* folder) {
  QCursor::setPos(960, 540);
  auto* canvas = new kal::CScreenMask();
  canvas->Create();
  canvas->Open();
  Settle(app);
  kal::ui::WindowImplBase* palette = kal::ui::WindowWithRole(kal::ui::WindowRole::kPalette);
  if (!palette) return false;
  const auto choose = [&](const char* name) {
    palette->FindControl<QAbstractButton>(name)->click();
    Settle(app);
  };
  Stroke(canvas, {{420, 720}, {470, 700}, {520, 730}, {570, 700}, {620, 725}, {660, 705}});
  choose("brush-type-marker");
  choose("brush-color-04");
  Stroke(canvas, {{380, 300}, {560, 300}, {700, 300}});
  choose("brush-size-04");
  choose("brush-color-06");
  choose("brush-type-rectangle");
  Stroke(canvas, {{370, 340}, {800, 420}, {1000, 470}});
  choose("brush-type-arc");
  choose("brush-color-07");
  Stroke(canvas, {{1150, 250}, {1300, 330}, {1450, 400}});
  choose("brush-type-beeline");
  Stroke(canvas, {{1100, 600}, {1300, 600}, {1500, 600}});
  choose("brush-type-arrow");
  choose("brush-color-03");
  Stroke(canvas, {{1300, 800}, {1200, 700}, {1070, 560}});
  choose("brush-type-seq");
  for (QPoint at : {QPoint(350, 280), QPoint(350, 360), QPoint(350, 440)}) QTest::mouseClick(canvas, Qt::LeftButton, {}, at);
  choose("brush-type-eraser");
  Stroke(canvas, {{560, 640}, {640, 700}, {700, 740}});
  choose("brush-type-text");
  choose("brush-color-03");
  QTest::mouseClick(canvas, Qt::LeftButton, {}, QPoint(1180, 440));
  Settle(app);
  QTextEdit* edit = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && w->windowTitle() == "CEditWindow") edit = w->findChild<QTextEdit*>("draw-text");
  if (edit) {
    edit->insertPlainText("这里是重点");  // QTest types only ASCII
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClicks(edit, "Key point");
  }
  Settle(app);
  QTest::qWait(300);
  if (!SaveScreen(QString("%1/annotation-text-box.png").arg(folder), QRect(1100, 380, 400, 200))) return false;
  QTest::mouseClick(canvas, Qt::LeftButton, {}, QPoint(1600, 900));  // commits the text
  Settle(app);
  QTest::qWait(300);
  if (!SaveScreen(QString("%1/annotation-canvas.png").arg(folder), QRect(0, 0, 1920, 1080))) return false;
  if (!SaveScreen(QString("%1/annotation-palette.png").arg(folder), palette->frameGeometry().adjusted(-10, -10, 10, 10)))
    return false;
  canvas->Close();
  delete canvas;
  Settle(app);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
    return 2;
  }
  // A folder of recordings for the list, and clips for the tools.
  const QString folder = QDir::temp().filePath("kal-screenshot-recordings");
  QDir(folder).removeRecursively();
  QDir().mkpath(folder);
  const std::string clips = folder.toStdString();
  for (const char* name : {"20261207093012.mp4", "20261207101544.mkv", "lesson-3.mp4"})
    if (!MakeClip(clips + "/" + name, 6, "testsrc2=size=640x360:rate=25")) return 1;
  if (!MakeClip(clips + "/noise.mov", 40, "color=c=gray:size=640x480:rate=25,noise=alls=100:allf=t")) return 1;
  kal::cfg::Write(kal::cfg::kOutputDir, clips);
  kal::CMainWnd window;
  window.Create();
  window.resize(960, 680);
  window.show();
  const char* pages[][2] = {{"video-record-page", "record"}, {"video-cut-page", "cut"},
                            {"video-convert-page", "convert"}, {"video-compress-page", "compress"}};
  // The tools at work: one convert done and one running, one compress
  // done with its saving.
  kal::ConvertPage& convert = window.Convert();
  const int done = convert.AddFile(clips + "/lesson-3.mp4");
  const int running = convert.AddFile(clips + "/noise.mov");
  convert.Rows().Control<QAbstractButton>(done, kal::ConvertPage::kJob)->click();
  WaitFor([&] { return convert.RunningJobs() == 0; }, 60);
  convert.Rows().Control<QAbstractButton>(running, kal::ConvertPage::kJob)->click();
  kal::CompressPage& compress = window.Compress();
  const int squeezed = compress.AddFile(clips + "/20261207093012.mp4");
  window.FindControl<QAbstractButton>(kal::CompressPage::kDeep)->click();
  compress.Rows().Control<QAbstractButton>(squeezed, kal::CompressPage::kJob)->click();
  WaitFor([&] { return compress.RunningJobs() == 0; }, 60);
  QTest::qWait(1500);  // the running convert on its way
  for (const auto& page : pages) {
    window.FindControl<QAbstractButton>(page[0])->click();
    WaitFor([] { return false; }, 1);
    const QString path = QString("%1/mainwindow-%2.png").arg(argv[1], page[1]);
    if (!window.grab().save(path)) return 1;
  }
  // A recorded file's menu, opened from its row.
  window.FindControl<QAbstractButton>("video-record-page")->click();
  window.move(0, 0);
  Settle(app);
  auto& rows = window.Files().Rows();
  QWidget* menuButton = rows.Control(kal::ui::TagOf(rows.List().RowAt(1)), kal::RecordedFileList::kMenu);
  QCursor::setPos(menuButton->mapToGlobal(menuButton->rect().center()));
  static_cast<QAbstractButton*>(menuButton)->click();
  QTest::qWait(500);
  const QRect rowArea = rows.List().RowAt(1)->geometry();
  const QPoint rowCorner = rows.List().RowAt(1)->mapToGlobal(QPoint(0, 0));
  if (!SaveScreen(QString("%1/row-menu.png").arg(argv[1]),
                  QRect(rowCorner.x() + rowArea.width() - 420, rowCorner.y() - 20, 440, 200)))
    return 1;
  if (QWidget* open = QApplication::activeWindow(); open && open != &window) open->close();
  window.hide();

  Desktop desktop;
  desktop.setGeometry(0, 0, 1920, 1080);
  desktop.show();
  // The record page's switch shows the frame around the stored region.
  kal::cfg::Write(kal::cfg::kRegionOffsetX, 400);
  kal::cfg::Write(kal::cfg::kRegionOffsetY, 300);
  kal::cfg::Write(kal::cfg::kRegionWidth, 640);
  kal::cfg::Write(kal::cfg::kRegionHeight, 360);
  auto* regionCheck = window.FindControl<QAbstractButton>("recordRegionCheck");
  regionCheck->setChecked(true);
  Settle(app);
  if (!SaveScreen(QString("%1/region-frame.png").arg(argv[1]), QRect(300, 220, 840, 520))) return 1;
  regionCheck->setChecked(false);
  QTest::qWait(500);  // gone from the screen before the selection freezes it

  // A rectangle being drawn over the frozen desktop, the pointer at its
  // corner.
  QCursor::setPos(380, 270);
  auto* selection = new kal::CUserDefineRegion();
  selection->Create();
  if (!selection->Open()) return 1;
  Settle(app);
  QTest::mousePress(selection, Qt::LeftButton, {}, QPoint(380, 270));
  QTest::mouseMove(selection, QPoint(700, 450));
  QTest::mouseMove(selection, QPoint(1040, 660));
  QTest::mouseRelease(selection, Qt::LeftButton, {}, QPoint(1040, 660));
  QTest::mouseMove(selection, QPoint(1041, 661));
  Settle(app);
  if (!SaveScreen(QString("%1/region-selection.png").arg(argv[1]), QRect(0, 0, 1920, 1080)))
    return 1;
  selection->close();
  Settle(app);

  kal::SuspendDialog box;
  box.Create();
  box.move(1700, 60);
  box.show();
  kal::ui::WindowImplBase::PostMessage(&box, kal::WMU_RECORD_SECONDS, 0, 3725);
  Settle(app);
  if (!SaveScreen(QString("%1/pause-box.png").arg(argv[1]), QRect(1640, 30, 240, 88))) return 1;
  box.hide();

  kal::CMainTaskMenu menu;
  menu.Create();
  menu.setAttribute(Qt::WA_DeleteOnClose, false);
  menu.OpenAt(QPoint(1900, 1060));
  Settle(app);
  const QRect shown = menu.frameGeometry();
  if (!SaveScreen(QString("%1/tray-menu.png").arg(argv[1]), shown.adjusted(-40, -20, 40, 30))) return 1;
  menu.hide();

  // The cut page playing a file: what SDL draws is only on the screen.
  const std::string movie = QDir::temp().filePath("kal-screenshot.mp4").toStdString();
  if (std::system(("ffmpeg -y -loglevel error -f lavfi -i testsrc2=size=1280x720:rate=25:duration=8 "
                   "-c:v libx264 -pix_fmt yuv420p " + movie).c_str()) != 0)
    return 1;
  desktop.hide();
  window.move(0, 0);
  window.show();
  window.FindControl<QAbstractButton>("video-cut-page")->click();
  window.Cut().Open(movie);
  // A range taken from the playing file, and its cut on its way.
  QTest::qWait(600);
  window.FindControl<QAbstractButton>(kal::CutPage::kGetStart)->click();
  QTest::qWait(1500);
  window.FindControl<QAbstractButton>(kal::CutPage::kGetEnd)->click();
  window.FindControl<QAbstractButton>(kal::CutPage::kCutButton)->click();
  QTest::qWait(250);
  if (!SaveScreen(QString("%1/cut-page-playing.png").arg(argv[1]), window.frameGeometry())) return 1;
  window.Cut().Leave();
  window.hide();
  QDir(folder).removeRecursively();

  desktop.show();
  if (!DrawEveryTool(app, argv[1])) return 1;
  kal::CCameraWindow::SetInputForTesting("lavfi", "testsrc2=size=640x480:rate=25,realtime");
  kal::CCameraWindow* camera = kal::CCameraWindow::Open();
  if (!camera) return 1;
  QTest::qWait(1500);
  if (!SaveScreen(QString("%1/camera-window.png").arg(argv[1]), camera->frameGeometry().adjusted(-60, -20, 20, 60)))
    return 1;
  camera->close();
  Settle(app);

  // The settings dialog's five pages, opened from the main window's button.
  window.show();
  window.FindControl<QAbstractButton>("seting")->click();
  Settle(app);
  auto* settings = window.findChild<kal::SetingDialog*>();
  if (!settings) return 1;
  auto* tabs = settings->FindControl<QTabWidget>(kal::SetingDialog::kTabs);
  const char* names[] = {"basic", "mouse", "watermark", "hotkeys", "other"};
  for (int i = 0; i < tabs->count(); ++i) {
    tabs->setCurrentIndex(i);
    Settle(app);
    if (!settings->grab().save(QString("%1/settings-%2.png").arg(argv[1], names[i]))) return 1;
  }
  settings->close();
  Settle(app);

  // The upgrade's download dialog, part way (made without its download).
  kal::online::UpgradeOffer offer;
  offer.url = "https://dl.example.com/KalRecorder-2.6.0.run";
  offer.fileName = "KalRecorder-2.6.0.run";
  kal::online::DownloadDialog download(&window, offer);
  download.Create();
  download.show();
  download.ShowProgress(43 * 1024, 100 * 1024);
  Settle(app);
  if (!download.grab().save(QString("%1/download-dialog.png").arg(argv[1]))) return 1;
  download.close();
  Settle(app);
  return 0;
}
