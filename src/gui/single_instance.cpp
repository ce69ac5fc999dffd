#include "gui/single_instance.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <sys/stat.h>
#include <unistd.h>

#include "gui/frm_main.h"

namespace tonvale::gui {
namespace {

// What a Unix socket path may hold, without its closing null.
constexpr int kMaxSocketPath = 107;

bool Fits(const QString& Path) { return QFile::encodeName(Path).size() <= kMaxSocketPath; }

// The request: "restore", the activation token and each file, as hex, on one line.
QByteArray Request(const QByteArray& Token, const std::vector<std::string>& Files) {
  QByteArray line = "restore " + Token.toHex();
  for (const std::string& f : Files) line += " " + QByteArray::fromStdString(f).toHex();
  return line + "\n";
}

}  // namespace

QString TSingleInstance::SocketPath(QString* Why) {
  const QString name = TfrmMain::kClassName;
  const QString runtime = QFile::decodeName(qgetenv("XDG_RUNTIME_DIR"));
  if (!runtime.isEmpty() && QDir(runtime).exists() && Fits(runtime + "/" + name)) return runtime + "/" + name;
  // Another user may have made the folder first: it is used only as our own.
  const QString folder = QDir::tempPath() + QString("/tonvale-%1").arg(::getuid());
  const QByteArray bytes = QFile::encodeName(folder);
  ::mkdir(bytes.constData(), 0700);
  struct stat st {};
  QString why;
  if (::lstat(bytes.constData(), &st) != 0)
    why = folder + " cannot be made";
  else if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 0777) != 0700)
    why = folder + " is not a folder of this user's with mode 0700";
  else if (!Fits(folder + "/" + name))
    why = "the path of the socket is too long";
  else
    return folder + "/" + name;
  if (Why) *Why = why;
  return {};
}

bool TSingleInstance::HandOver(const QString& Path, const std::vector<std::string>& Files) {
  if (Path.isEmpty()) return false;
  QLocalSocket socket;
  socket.connectToServer(Path);
  if (!socket.waitForConnected(1000)) return false;
  // The desktop's activation token lets the first window come to the front.
  QByteArray token = qgetenv("XDG_ACTIVATION_TOKEN");
  if (token.isEmpty()) token = qgetenv("DESKTOP_STARTUP_ID");
  socket.write(Request(token, Files));
  if (!socket.waitForBytesWritten(1000)) return false;
  socket.waitForReadyRead(1000);  // the first instance answers once it has the request
  return true;
}

bool TSingleInstance::Listen(const QString& Path, TRestore OnRestore, QString* Why) {
  FOnRestore = std::move(OnRestore);
  FServer.setSocketOptions(QLocalServer::UserAccessOption);
  if (Path.isEmpty() || (!FServer.listen(Path) && (QLocalServer::removeServer(Path), !FServer.listen(Path)))) {
    // Nobody answered on it, yet it cannot be taken over either.
    if (Why) *Why = Path.isEmpty() ? "no socket path" : FServer.errorString();
    return false;
  }
  connect(&FServer, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* client = FServer.nextPendingConnection()) {
      connect(client, &QLocalSocket::readyRead, client, [this, client] {
        if (!client->canReadLine()) return;
        const QList<QByteArray> parts = client->readLine().trimmed().split(' ');
        // "restore" alone (no token, no files) restores as well.
        if (parts[0] == "restore" && FOnRestore) {
          std::vector<std::string> files;
          for (qsizetype i = 2; i < parts.size(); ++i) files.push_back(QByteArray::fromHex(parts[i]).toStdString());
          FOnRestore(parts.size() > 1 ? QByteArray::fromHex(parts[1]) : QByteArray(), files);
        }
        client->write("ok\n");
        client->flush();
        client->disconnectFromServer();
      });
      connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
    }
  });
  return true;
}

}  // namespace tonvale::gui
