#pragma once

#include <QObject>
#include <memory>

class QLockFile;

// Keeps Orvanto to one instance per user and desktop. The first instance listens on
// a local socket named from the main window title and the desktop (the display); a
// later start asks it to raise its window and leaves. Any process of the user may
// also send "Save Profile".
//
// The socket and its lock live in the user's runtime folder ($XDG_RUNTIME_DIR,
// private to the user's login), else in a private folder of the user under the
// temporary folder, so other users can neither reach the socket nor create the lock
// that would keep Orvanto from starting. A folder that is not the user's alone is
// refused: Orvanto then starts without the single-instance guard.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstance(QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this process is the first instance and now listens, or when no
    // private folder could be found; false when another one runs (it was asked to
    // raise its window). Touches no file of the program folder either way.
    bool claim();

    // The folder for the socket and lock: $XDG_RUNTIME_DIR when it is a folder owned
    // by the user and closed to others, else <temporary folder>/orvanto-<user id>,
    // created 0700 when missing and used only when it is such a folder itself (not a
    // link). Empty when neither qualifies. (On Windows the user's temporary folder.)
    static QString runtimeFolder();
    // The socket's path for a window title; empty without a runtime folder.
    static QString serverName(const QString &title);
    // Sends one message line to the instance listening on serverName.
    static bool send(const QString &serverName, const QByteArray &message);

    static constexpr char RaiseMessage[] = "Raise";
    static constexpr char SaveProfileMessage[] = "Save Profile";

signals:
    void raiseRequested();
    void saveProfileRequested();

private:
    class Listener;

    static QString socketPath(const QString &folder, const QString &title);
    void handleLine(const QByteArray &line);

    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<Listener> m_listener;  // after the lock: the socket goes before the lock is freed
};
