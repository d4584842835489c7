#include "app/log_writer.h"

#include <QPlainTextEdit>
#include <QTest>

class LogWriterTest : public QObject
{
    Q_OBJECT

    QPlainTextEdit m_edit;
    LogWriter m_log{&m_edit};

private slots:
    void init() { m_edit.clear(); m_log = LogWriter(&m_edit); }

    void breaksLongLinesOnce_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("shown");
        const auto run = [](int n, char c) { return QString(n, QLatin1Char(c)); };
        QTest::newRow("88 stays whole") << run(88, 'x') << run(88, 'x') + "\n";
        QTest::newRow("89 and CR LF make 91: broken") << run(89, 'y') << run(89, 'y') + "\n\t\n";
        const QString blanks = run(40, 'a') + ' ' + run(39, 'a') + ' ' + run(14, 'b');
        QTest::newRow("at the last blank of 90") << blanks << blanks.left(80) + "\n\t" + run(14, 'b') + "\n";
        QTest::newRow("90 without blank") << run(90, 'p') + run(30, 'q') << run(90, 'p') + "\n\t" + run(30, 'q') + "\n";
        QTest::newRow("continuation") << "Error 550: " + run(200, 'z') << "Error 550:\n\t" + run(200, 'z') + '\n';
        const QString own = "The recorded file is attached automatically\r\nwhen the message is being sent out.";
        QTest::newRow("own line ends measured whole") << own << QString(own).remove('\r') + "\n";
    }

    void breaksLongLinesOnce()
    {
        QFETCH(QString, line);
        QFETCH(QString, shown);
        m_log.append(line);
        QCOMPARE(m_edit.toPlainText(), shown);
        QCOMPARE(m_log.position(), shown.size() + shown.count('\n'));  // each line end counts as CR LF
    }

    void emptiesAfter10000Characters()
    {
        for (int i = 1; i <= 201; ++i) {
            if (i == 101)
                m_edit.clear();  // Clear Log empties the window but keeps the count
            m_log.append(QString(48, QLatin1Char('l')));  // 50 characters with CR LF
            QCOMPARE(m_log.position(), i <= 200 ? 50 * i : 0);  // beyond 10000: the next line empties first
            QCOMPARE(m_edit.toPlainText().count('\n'), i <= 100 ? i : i - 100);
        }
        m_log.append(QStringLiteral("first after emptying"));
        m_log.append(QStringLiteral("second"));
        QCOMPARE(m_edit.toPlainText(), QStringLiteral("first after emptying\nsecond\n"));
    }
};

QTEST_MAIN(LogWriterTest)
#include "test_log_writer.moc"
