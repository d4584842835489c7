#pragma once

#include <QObject>
#include <QTimer>

class CTalkpostView;

// The form's event sink for its mail control: binds Done, Error, Trace and Progress to
// the form's handlers, and keeps the controls of a locked message in step with the
// lock (a compression that fails ends the lock from outside the mail side).
class MailEventSink : public QObject
{
    Q_OBJECT
public:
    explicit MailEventSink(CTalkpostView *view);

private:
    QTimer m_lockWatch;
};
