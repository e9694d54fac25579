#pragma once
// Controls bound to keys of configure.ini. A bound control shows its key's
// value, writes the key the moment the user changes it (a list: when its
// window commits), and shows the key again whenever any window writes it
// through WriteSetting, so two open windows showing one key always agree.
// Showing a value never raises the control's notifications: nothing is
// written by showing. A stored value that no control stands for selects
// nothing. UI thread only.

#include <QString>

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "config/ConfigKeys.h"
#include "ui/Controller.h"

class QObject;

namespace kal::ui {

// Writes the key, then tells every window's bindings and watchers of it.
void WriteSetting(const cfg::IntKey& key, int value);
void WriteSetting(const cfg::TextKey& key, std::string_view value);
// Runs `watcher` after each WriteSetting, with its section and key, for as
// long as `context` lives.
void OnSettingWritten(QObject* context,
                      std::function<void(std::string_view section, std::string_view key)> watcher);

class Bindings {
 public:
  // A radio button and the value it stands for, as stored text.
  struct Option {
    const char* control;
    std::string_view value;
  };

  explicit Bindings(MainHost& host);
  ~Bindings();
  Bindings(const Bindings&) = delete;
  Bindings& operator=(const Bindings&) = delete;

  void Options(const cfg::IntKey& key, std::initializer_list<Option> options);
  void Options(const cfg::TextKey& key, std::initializer_list<Option> options);
  // Checked for any value but 0; writes "1" or "0".
  void Check(const cfg::IntKey& key, const char* box);
  // `label` shows the value through `format` ("%1dB").
  void Slider(const cfg::IntKey& key, const char* slider, const char* label, QString format);
  // A drop-down list whose entries' texts are the values, shown from the
  // key as its recording reader reads it; written by Commit when an entry
  // is chosen.
  void List(const cfg::IntKey& key, const char* combo);
  void List(const cfg::TextKey& key, const char* combo);

  // Shows every bound key, and from now on each key another window writes.
  void Show();
  // Writes the key of the control `msg` comes from; true when it is bound.
  bool Notify(const TNotifyUI& msg);
  void Commit();

 private:
  enum class Kind { kOptions, kCheck, kSlider, kList };
  struct Binding {
    Kind kind;
    std::string_view section{}, key{};
    std::function<std::string()> read{};  // the stored value as its reader reads it
    std::function<void(std::string_view)> write{};
    std::vector<Option> options{};
    const char* control = nullptr;
    const char* label = nullptr;
    QString format{};
  };
  void Add(Binding b, const cfg::IntKey& key);
  void Add(Binding b, const cfg::TextKey& key);
  void ShowOne(const Binding& b);

  MainHost& host_;
  std::vector<Binding> bindings_;
  std::unique_ptr<QObject> alive_;  // watches the writes for as long as the bindings live
};

}  // namespace kal::ui
