#pragma once

#include <QObject>
#include <memory>

class QLocalServer;
class QLocalSocket;
class QLockFile;

// Keeps Orvanto to one instance per user. The first instance listens on a local
// socket named from the main window title and the user; a later start asks it to
// raise its window and leaves. Any process of the user may also send "Save Profile".
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstance(QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this process is the first instance and now listens; false when
    // another one runs (it was asked to raise its window). Touches no file of the
    // program folder either way.
    bool claim();

    // The per-user socket name for a window title.
    static QString serverName(const QString &title);
    // Sends one message line to the instance listening on serverName.
    static bool send(const QString &serverName, const QByteArray &message);

    static constexpr char RaiseMessage[] = "Raise";
    static constexpr char SaveProfileMessage[] = "Save Profile";

signals:
    void raiseRequested();
    void saveProfileRequested();

private:
    void acceptConnection();
    void readMessages(QLocalSocket *socket);

    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server;
};
