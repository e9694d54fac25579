#pragma once
// Whatever ends the program finishes the recording first, as Stop does:
// SIGTERM, SIGINT and SIGHUP (logout, shutdown, a closed terminal) end the
// message loop once `finish` has run, and the loss of the X connection, on
// which Qt calls exit(), runs `finish` on the way out.

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace kal {

class SessionEnd : public QObject {
  Q_OBJECT
 public:
  // `finish` stops a running recording and waits until its file is
  // complete; it must not touch windows (the display may be gone). Install
  // on the UI thread after the application object exists; one at a time.
  explicit SessionEnd(std::function<void()> finish);
  // From here on neither a signal nor exit() calls `finish` any more.
  ~SessionEnd() override;

 private:
  void OnSignal();
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace kal
