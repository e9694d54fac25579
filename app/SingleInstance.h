#pragma once
// One running program per user: the first start holds an exclusive lock in
// the per-user folder and listens on a local socket; a later start finds the
// lock taken, asks the first one to show its window, and ends.

#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;

namespace kal {

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  // `lockFolder` holds the lock file; `name` names the socket.
  SingleInstance(const QString& lockFolder, const QString& name);
  ~SingleInstance() override;

  // True for the first instance. A later one sends the activation request
  // before returning false.
  bool Acquire();
  // Called (on the UI thread) when a later start asks to be shown.
  void OnActivate(std::function<void()> handler) { onActivate_ = std::move(handler); }

 private:
  QString lockPath_;
  QString name_;
  int lockFd_ = -1;
  QLocalServer* server_ = nullptr;
  std::function<void()> onActivate_;
};

}  // namespace kal
