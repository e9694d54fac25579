#include "config/settings/WatermarkPage.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageReader>
#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

namespace kal {
namespace {

using P = WatermarkPage;

// A distance field and its key, shown as the watermark reads it (0 when
// unset).
struct Distance {
  const char* control;
  const cfg::IntKey& key;
};
const Distance kDistances[] = {
    {"watermark-lt-left", cfg::kWatermarkLtLeft},          {"watermark-lt-top", cfg::kWatermarkLtTop},
    {"watermark-rt-right", cfg::kWatermarkRtRight},        {"watermark-rt-top", cfg::kWatermarkRtTop},
    {"watermark-lb-left", cfg::kWatermarkLbLeft},          {"watermark-lb-bottom", cfg::kWatermarkLbBottom},
    {"watermark-rb-right", cfg::kWatermarkRbRight},        {"watermark-rb-bottom", cfg::kWatermarkRbBottom},
    {"watermark-text-offset-x", cfg::kWatermarkTextOffsetX}, {"watermark-text-offset-y", cfg::kWatermarkTextOffsetY}};

constexpr const char* kControls[] = {
    P::kNone, P::kImage, P::kText, P::kImagePath, P::kChoose, P::kTextDesc, P::kFontFamily, P::kFontSize,
    "watermark-pos-lt", "watermark-pos-rt", "watermark-pos-lb", "watermark-pos-rb",
    "watermark-lt-left", "watermark-lt-top", "watermark-rt-right", "watermark-rt-top",
    "watermark-lb-left", "watermark-lb-bottom", "watermark-rb-right", "watermark-rb-bottom",
    "watermark-text-offset-x", "watermark-text-offset-y", "watermark-color-red",
    "watermark-color-orange", "watermark-color-yellow", "watermark-color-green", "watermark-color-blue"};

const QRegularExpression& WholeNumber() {
  static const QRegularExpression number("^-?[0-9]{1,5}$");
  return number;
}

// An empty path is the program's own image.
bool Readable(const QString& path) { return path.isEmpty() || QImageReader(path).canRead(); }

}  // namespace

WatermarkPage::WatermarkPage(ui::MainHost& dialog, SettingsHost& host) : SettingsPage(dialog, host) {
  bindings_.Options(cfg::kWatermarkType, {{kNone, "0"}, {kImage, "1"}, {kText, "2"}});
  bindings_.Options(cfg::kWatermarkPos, {{"watermark-pos-lt", "0"}, {"watermark-pos-rt", "1"},
                                         {"watermark-pos-lb", "2"}, {"watermark-pos-rb", "3"}});
  bindings_.Options(cfg::kWatermarkColor,
                    {{"watermark-color-red", "red"}, {"watermark-color-orange", "orange"},
                     {"watermark-color-yellow", "yellow"}, {"watermark-color-green", "green"},
                     {"watermark-color-blue", "blue"}});
  bindings_.List(cfg::kWatermarkFontFamily, kFontFamily);
  bindings_.List(cfg::kWatermarkFontSize, kFontSize);
}

ui::ControlList WatermarkPage::Controls() const { return kControls; }

void WatermarkPage::Init() {
  SettingsPage::Init();
  for (const Distance& d : kDistances) {
    auto* edit = dialog_.Control<QLineEdit>(d.control);
    edit->setValidator(new QRegularExpressionValidator(WholeNumber(), edit));
    edit->setText(QString::number(cfg::Read(d.key)));
  }
  // No longer than their keys keep.
  auto* path = dialog_.Control<QLineEdit>(kImagePath);
  path->setMaxLength(static_cast<int>(cfg::kWatermarkImagePath.size) - 1);
  path->setText(QString::fromStdString(cfg::Read(cfg::kWatermarkImagePath)));
  auto* text = dialog_.Control<QLineEdit>(kTextDesc);
  text->setMaxLength(static_cast<int>(cfg::kWatermarkTextDesc.size) - 1);
  text->setText(QString::fromStdString(cfg::Read(cfg::kWatermarkTextDesc)));
}

bool WatermarkPage::Notify(const ui::TNotifyUI& msg) {
  if (msg.type == "click" && msg.senderName == kChoose) {
    ChooseImage();
    return true;
  }
  return bindings_.Notify(msg);
}

void WatermarkPage::ChooseImage() {
  auto* path = dialog_.Control<QLineEdit>(kImagePath);
  const QString chosen = QFileDialog::getOpenFileName(
      dialog_.Window(), "选择水印图片", QFileInfo(path->text()).path(), "图像文件(*.bmp *.jpg *.png)",
      nullptr, QFileDialog::DontUseNativeDialog);
  if (chosen.isEmpty()) return;
  if (!QImageReader(chosen).canRead()) {
    Tell(dialog_.Window(), "无法读取这张图片，请选择 BMP、JPG 或 PNG 图片!");
    return;
  }
  path->setText(chosen);
}

QString WatermarkPage::Refusal() {
  for (const Distance& d : kDistances) {
    const auto* edit = dialog_.Control<QLineEdit>(d.control);
    if (!WholeNumber().match(edit->text()).hasMatch())
      return QString("水印的%1必须是整数!").arg(edit->accessibleName());
  }
  if (dialog_.Control<QAbstractButton>(kImage)->isChecked() &&
      !Readable(dialog_.Control<QLineEdit>(kImagePath)->text()))
    return "无法读取水印图片，请重新选择图片!";
  if (dialog_.Control<QAbstractButton>(kText)->isChecked() &&
      dialog_.Control<QLineEdit>(kTextDesc)->text().trimmed().isEmpty())
    return "水印文字不能为空!";
  return {};
}

void WatermarkPage::Commit() {
  bindings_.Commit();
  // A field that is not a whole number leaves its key as it was.
  for (const Distance& d : kDistances) {
    const QString text = dialog_.Control<QLineEdit>(d.control)->text();
    if (WholeNumber().match(text).hasMatch()) cfg::Write(d.key, text.toInt());
  }
  cfg::Write(cfg::kWatermarkImagePath, dialog_.Control<QLineEdit>(kImagePath)->text().toStdString());
  cfg::Write(cfg::kWatermarkTextDesc, dialog_.Control<QLineEdit>(kTextDesc)->text().toStdString());
}

}  // namespace kal
