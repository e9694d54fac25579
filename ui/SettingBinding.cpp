#include "ui/SettingBinding.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QSignalBlocker>
#include <QSlider>

#include <cstdlib>
#include <list>

namespace kal::ui {
namespace {

struct Watcher {
  QPointer<QObject> context;
  std::function<void(std::string_view, std::string_view)> watch;
};
std::list<Watcher>& Watchers() {
  static std::list<Watcher> watchers;
  return watchers;
}

void Announce(std::string_view section, std::string_view key) {
  auto& all = Watchers();
  all.remove_if([](const Watcher& w) { return w.context.isNull(); });
  // A watcher may write keys of its own (and so add watchers): go over a copy.
  const std::list<Watcher> now = all;
  for (const Watcher& w : now)
    if (w.context) w.watch(section, key);
}

}  // namespace

void WriteSetting(const cfg::IntKey& key, int value) {
  cfg::Write(key, value);
  Announce(key.section, key.key);
}

void WriteSetting(const cfg::TextKey& key, std::string_view value) {
  cfg::Write(key, value);
  Announce(key.section, key.key);
}

void OnSettingWritten(QObject* context,
                      std::function<void(std::string_view section, std::string_view key)> watcher) {
  Watchers().push_back({context, std::move(watcher)});
}

Bindings::Bindings(MainHost& host) : host_(host) {}
Bindings::~Bindings() = default;

void Bindings::Add(Binding b, const cfg::IntKey& key) {
  b.section = key.section;
  b.key = key.key;
  b.read = [key] { return std::to_string(cfg::Read(key)); };
  b.write = [key](std::string_view v) { WriteSetting(key, std::atoi(std::string(v).c_str())); };
  bindings_.push_back(std::move(b));
}

void Bindings::Add(Binding b, const cfg::TextKey& key) {
  b.section = key.section;
  b.key = key.key;
  b.read = [key] { return cfg::Read(key); };
  b.write = [key](std::string_view v) { WriteSetting(key, v); };
  bindings_.push_back(std::move(b));
}

void Bindings::Options(const cfg::IntKey& key, std::initializer_list<Option> options) {
  Add({.kind = Kind::kOptions, .options = options}, key);
}
void Bindings::Options(const cfg::TextKey& key, std::initializer_list<Option> options) {
  Add({.kind = Kind::kOptions, .options = options}, key);
}
void Bindings::Check(const cfg::IntKey& key, const char* box) {
  Add({.kind = Kind::kCheck, .control = box}, key);
}
void Bindings::Slider(const cfg::IntKey& key, const char* slider, const char* label, QString format) {
  Add({.kind = Kind::kSlider, .control = slider, .label = label, .format = std::move(format)}, key);
}
void Bindings::List(const cfg::IntKey& key, const char* combo) {
  Add({.kind = Kind::kList, .control = combo}, key);
}
void Bindings::List(const cfg::TextKey& key, const char* combo) {
  Add({.kind = Kind::kList, .control = combo}, key);
}

void Bindings::ShowOne(const Binding& b) {
  const std::string value = b.read();
  switch (b.kind) {
    case Kind::kOptions: {
      const Option* chosen = nullptr;
      for (const Option& o : b.options)
        if (value == o.value) chosen = &o;
      if (chosen) {
        auto* button = host_.Control<QAbstractButton>(chosen->control);
        const QSignalBlocker quiet(button);
        button->setChecked(true);  // clears the others of its group
        break;
      }
      for (const Option& o : b.options) {
        auto* button = host_.Control<QAbstractButton>(o.control);
        const QSignalBlocker quiet(button);
        // An exclusive radio button cannot be cleared while it is checked.
        const bool exclusive = button->autoExclusive();
        button->setAutoExclusive(false);
        button->setChecked(false);
        button->setAutoExclusive(exclusive);
      }
      break;
    }
    case Kind::kCheck: {
      auto* box = host_.Control<QAbstractButton>(b.control);
      const QSignalBlocker quiet(box);
      box->setChecked(std::atoi(value.c_str()) != 0);
      break;
    }
    case Kind::kSlider: {
      auto* slider = host_.Control<QSlider>(b.control);
      const QSignalBlocker quiet(slider);
      slider->setValue(std::atoi(value.c_str()));
      host_.Control<QLabel>(b.label)->setText(b.format.arg(std::atoi(value.c_str())));
      break;
    }
    case Kind::kList: {
      auto* combo = host_.Control<QComboBox>(b.control);
      const QSignalBlocker quiet(combo);
      combo->setCurrentIndex(combo->findText(QString::fromStdString(value), Qt::MatchExactly));
      break;
    }
  }
}

void Bindings::Show() {
  for (const Binding& b : bindings_) ShowOne(b);
  if (alive_) return;
  alive_ = std::make_unique<QObject>();
  OnSettingWritten(alive_.get(), [this](std::string_view section, std::string_view key) {
    for (const Binding& b : bindings_)
      if (b.section == section && b.key == key) ShowOne(b);
  });
}

bool Bindings::Notify(const TNotifyUI& msg) {
  for (const Binding& b : bindings_) {
    switch (b.kind) {
      case Kind::kOptions:
        if (msg.type != "selectchanged") break;
        for (const Option& o : b.options) {
          if (msg.senderName != o.control) continue;
          if (msg.value == 1) b.write(o.value);
          return true;
        }
        break;
      case Kind::kCheck:
        if (msg.type != "selectchanged" || msg.senderName != b.control) break;
        b.write(msg.value ? "1" : "0");
        return true;
      case Kind::kSlider:
        if (msg.type != "valuechanged" || msg.senderName != b.control) break;
        host_.Control<QLabel>(b.label)->setText(b.format.arg(msg.value));
        b.write(std::to_string(msg.value));
        return true;
      case Kind::kList:
        if (msg.type == "selectchanged" && msg.senderName == b.control) return true;
        break;
    }
  }
  return false;
}

void Bindings::Commit() {
  for (const Binding& b : bindings_) {
    if (b.kind != Kind::kList) continue;
    const auto* combo = host_.Control<QComboBox>(b.control);
    if (combo->currentIndex() >= 0) b.write(combo->currentText().toStdString());
  }
}

}  // namespace kal::ui
