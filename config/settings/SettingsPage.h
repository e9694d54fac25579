#pragma once
// One page of the settings dialog: its controls, what it writes at once
// (through its bindings or its own handlers) and what it writes when the
// dialog closes.

#include <QString>

#include "config/settings/SettingsHost.h"
#include "ui/Controller.h"
#include "ui/SettingBinding.h"

namespace kal {

class SettingsPage : public ui::Controller {
 public:
  SettingsPage(ui::MainHost& dialog, SettingsHost& host) : dialog_(dialog), host_(host), bindings_(dialog) {}
  // The page's tab, by name.
  virtual const char* Tab() const = 0;
  void Init() override { bindings_.Show(); }
  bool Notify(const ui::TNotifyUI& msg) override { return bindings_.Notify(msg); }
  // Why the dialog cannot close as the page stands (told to the user), or
  // empty.
  virtual QString Refusal() { return {}; }
  // Writes what the page writes when the dialog closes.
  virtual void Commit() { bindings_.Commit(); }
  // A recording started or ended while the dialog is open.
  virtual void RecordingChanged(bool running) {}

 protected:
  ui::MainHost& dialog_;
  SettingsHost& host_;
  ui::Bindings bindings_;
};

// Tells the user `text` in a notice box over `owner`.
void Tell(QWidget* owner, const QString& text);

}  // namespace kal
