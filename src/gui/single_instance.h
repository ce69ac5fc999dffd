#pragma once
// One window per user: the first start listens on a per-user local socket;
// a later start asks it to come forward and ends.

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <functional>

namespace tonvale::gui {

class TSingleInstance : public QObject {
 public:
  // $XDG_RUNTIME_DIR/ followed by the class-name literal; without a runtime
  // folder, a folder of this user's (mode 0700) under the temporary folder.
  static QString SocketPath();

  // True when another instance took the restore request (this process then
  // ends); otherwise listens, replacing a socket a crashed instance left.
  bool HandOver(const QString& Path);
  // Runs OnRestore (with the caller's activation token, if any) for every
  // restore request that arrives.
  void Listen(const QString& Path, std::function<void(const QByteArray& Token)> OnRestore);
  bool Listening() const { return FServer.isListening(); }

 private:
  QLocalServer FServer;
  std::function<void(const QByteArray&)> FOnRestore;
};

}  // namespace tonvale::gui
