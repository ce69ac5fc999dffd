#pragma once
// One window per user: the first start listens on a per-user local socket;
// a later start asks it to come forward, hands it the files it was given,
// and ends.

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

namespace tonvale::gui {

class TSingleInstance : public QObject {
 public:
  // Files are paths as the file system's bytes.
  using TRestore = std::function<void(const QByteArray& Token, const std::vector<std::string>& Files)>;

  // $XDG_RUNTIME_DIR/ followed by the class-name literal when that fits a
  // Unix socket path; else the same name in a folder of this user's under the
  // temporary folder, used only when it is a real folder owned by the user
  // with mode 0700. Empty when neither will do; Why then says why.
  static QString SocketPath(QString* Why = nullptr);

  // True when another instance took the restore request (this process then
  // ends); Files go with it.
  bool HandOver(const QString& Path, const std::vector<std::string>& Files = {});
  // Runs OnRestore (with the caller's activation token, if any, and its
  // files) for every restore request that arrives. A socket a crashed
  // instance left is replaced. False when nothing listens; Why says why.
  bool Listen(const QString& Path, TRestore OnRestore, QString* Why = nullptr);
  bool Listening() const { return FServer.isListening(); }

 private:
  QLocalServer FServer;
  TRestore FOnRestore;
};

}  // namespace tonvale::gui
