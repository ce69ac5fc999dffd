#include "gui/single_instance.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <unistd.h>

#include "gui/frm_main.h"

namespace tonvale::gui {

QString TSingleInstance::SocketPath() {
  const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && QDir(QString::fromLocal8Bit(runtime)).exists())
    return QString::fromLocal8Bit(runtime) + "/" + TfrmMain::kClassName;
  const QString folder = QDir::tempPath() + QString("/tonvale-%1").arg(::getuid());
  QDir().mkpath(folder);
  QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  return folder + "/" + TfrmMain::kClassName;
}

bool TSingleInstance::HandOver(const QString& Path) {
  QLocalSocket socket;
  socket.connectToServer(Path);
  if (!socket.waitForConnected(1000)) return false;
  // The desktop's activation token lets the first window come to the front.
  QByteArray token = qgetenv("XDG_ACTIVATION_TOKEN");
  if (token.isEmpty()) token = qgetenv("DESKTOP_STARTUP_ID");
  socket.write("restore " + token + "\n");
  if (!socket.waitForBytesWritten(1000)) return false;
  socket.waitForReadyRead(1000);  // the first instance answers once it has the request
  return true;
}

void TSingleInstance::Listen(const QString& Path, std::function<void(const QByteArray&)> OnRestore) {
  FOnRestore = std::move(OnRestore);
  FServer.setSocketOptions(QLocalServer::UserAccessOption);
  if (!FServer.listen(Path)) {
    // Nobody answered on it: a socket left by an instance that crashed.
    QLocalServer::removeServer(Path);
    FServer.listen(Path);
  }
  connect(&FServer, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* client = FServer.nextPendingConnection()) {
      connect(client, &QLocalSocket::readyRead, client, [this, client] {
        if (!client->canReadLine()) return;
        const QByteArray line = client->readLine().trimmed();
        if (line.startsWith("restore") && FOnRestore) FOnRestore(line.mid(8));
        client->write("ok\n");
        client->flush();
        client->disconnectFromServer();
      });
      connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
    }
  });
}

}  // namespace tonvale::gui
