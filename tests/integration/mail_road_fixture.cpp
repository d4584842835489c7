#include "tests/integration/mail_road_fixture.h"

#include "resources/resource_ids.h"

#include <QDir>
#include <QtEndian>
#include <cmath>

namespace MailRoad {

void startForm(FormHarness &h, const QString &incoming, const QString &outgoing)
{
    h.useProfile(Profile(testAccount(incoming, outgoing), 1));
    h.view().OnInitialUpdate();
    h.view().OnTimer(Ids::TimerStartupMessage);
    h.view().setMailTimeout(5);
}

void useOutgoing(CTalkpostView &view, const QString &outgoing, const QString &password)
{
    Account a = view.account();
    a.outgoing = outgoing;
    a.password = password;
    view.setAccount(a);
}

QString prepareMessage(FormHarness &h, const QString &to, int number, int seconds)
{
    const QString path = QDir(h.outbox()).filePath(QStringLiteral("orv10390000%1.pcm").arg(number, 2, 10, QLatin1Char('0')));
    QByteArray data(seconds * 16000, '\0');
    for (int i = 0; i < seconds * 8000; ++i)
        qToLittleEndian(qint16(8000 * std::sin(i * 2 * M_PI * 440 / 8000)), data.data() + 2 * i);
    if (!TestFiles::write(path, data))
        return QString();
    h.setField(Ids::RecipientCombo, to);
    h.view().recorder().setRecordingFile(path);
    h.view().EnableButton(Ids::PlayButton, true);  // as Stop leaves it
    return path;
}

}  // namespace MailRoad
