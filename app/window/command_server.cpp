#include "app/window/command_server.h"

#include "app/server/command_client.h"
#include "app/server/command_string.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QVariant>

namespace zarvex {

CommandServer::CommandServer(CommandTarget& target, QObject* parent)
    : QObject(parent), m_Target(target), m_Server(new QLocalServer(this))
{
    m_Server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_Server, &QLocalServer::newConnection, this, &CommandServer::Accept);
}

bool CommandServer::Listen(const std::string& socketPath)
{
    // An empty command string is answered by a running program and runs nothing.
    if (SendCommandString(socketPath, "")) return false;
    const QString path = QString::fromStdString(socketPath);
    QLocalServer::removeServer(path);
    return m_Server->listen(path);
}

void CommandServer::Accept()
{
    while (QLocalSocket* socket = m_Server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { Read(socket); });
        if (socket->bytesAvailable() > 0) Read(socket);
    }
}

// The command string ends with a NUL byte; it is run once complete.
void CommandServer::Read(QLocalSocket* socket)
{
    QByteArray buffer = socket->property("zarvexBuffer").toByteArray() + socket->readAll();
    const qsizetype end = buffer.indexOf('\0');
    if (end < 0) {
        socket->setProperty("zarvexBuffer", buffer);
        return;
    }
    socket->setProperty("zarvexBuffer", QByteArray());
    disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
    // Running a command pumps events: the client may be gone when it ends.
    QPointer<QLocalSocket> alive(socket);
    const std::string_view answer = RunCommandString(std::string_view(buffer.constData(), end), m_Target);
    if (!alive) return;
    alive->write(answer.data(), static_cast<qint64>(answer.size()));
    alive->write("\n", 1);
    alive->flush();
    alive->disconnectFromServer();
}

} // namespace zarvex
