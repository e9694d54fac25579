#include "app/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>

namespace kal {

SingleInstance::SingleInstance(const QString& lockFolder, const QString& name)
    : lockPath_(lockFolder + "/KalRecorderProcessMutex.lock"), name_(name) {}

SingleInstance::~SingleInstance() {
  if (lockFd_ >= 0) ::close(lockFd_);  // releases the lock
}

bool SingleInstance::Acquire() {
  lockFd_ = ::open(lockPath_.toUtf8().constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lockFd_ >= 0 && ::flock(lockFd_, LOCK_EX | LOCK_NB) == 0) {
    server_ = new QLocalServer(this);
    QLocalServer::removeServer(name_);  // a stale socket of a crashed run
    server_->listen(name_);
    connect(server_, &QLocalServer::newConnection, this, [this] {
      while (QLocalSocket* s = server_->nextPendingConnection()) {
        connect(s, &QLocalSocket::readyRead, this, [this, s] {
          if (s->readAll().startsWith("show") && onActivate_) onActivate_();
          s->disconnectFromServer();
        });
        connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
      }
    });
    return true;
  }
  if (lockFd_ >= 0) {
    ::close(lockFd_);
    lockFd_ = -1;
  }
  QLocalSocket socket;
  socket.connectToServer(name_);
  if (socket.waitForConnected(1000)) {
    socket.write("show\n");
    socket.waitForBytesWritten(1000);
    socket.waitForDisconnected(1000);
  }
  return false;
}

}  // namespace kal
