// The running program's command socket: a per-user local server that takes
// command strings ("[open(...)]", "[extract(...)]", "[quit]", ...) from the
// file manager, a second zarvex or `zarvex --dde=`, runs them on the target
// and answers "ok", "busy" or "error". It is also the mark that the program
// runs: a second program finds it and forwards its files.
#pragma once

#include <QObject>

#include <string>

class QLocalServer;
class QLocalSocket;

namespace zarvex {

class CommandTarget;

class CommandServer : public QObject
{
    Q_OBJECT
public:
    CommandServer(CommandTarget& target, QObject* parent = nullptr);

    // Listens on `socketPath`, readable by this user only. A socket left
    // behind by a program that no longer runs is replaced; one that answers
    // is left alone (false).
    bool Listen(const std::string& socketPath);

private:
    void Accept();
    void Read(QLocalSocket* socket);

    CommandTarget& m_Target;
    QLocalServer* m_Server;
};

} // namespace zarvex
