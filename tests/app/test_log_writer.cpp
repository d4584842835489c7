#include "app/log_writer.h"

#include <QPlainTextEdit>
#include <QTest>

class LogWriterTest : public QObject
{
    Q_OBJECT

private slots:
    void breaksLongLinesOnce_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("position");  // counted with CR LF line ends
        const auto run = [](int n, char c) { return QString(n, QLatin1Char(c)); };
        QTest::newRow("88 stays whole") << run(88, 'x') << run(88, 'x') + "\n" << 90;
        // 89 characters plus CR LF make 91: broken even without a blank.
        QTest::newRow("89 breaks") << run(89, 'y') << run(89, 'y') + "\n\t\n" << 89 + 3 + 2;
        const QString blanks = run(40, 'a') + QLatin1Char(' ') + run(39, 'a') + QLatin1Char(' ') + run(14, 'b');
        QTest::newRow("at the last blank of 90")
            << blanks << blanks.left(80) + "\n\t" + run(14, 'b') + "\n" << 82 + 1 + 14 + 2;
        QTest::newRow("at 90 without blank")
            << run(90, 'p') + run(30, 'q') << run(90, 'p') + "\n\t" + run(30, 'q') + "\n" << 92 + 1 + 30 + 2;
        QTest::newRow("continuation never broken again")
            << "Error 550: " + run(300, 'z') << "Error 550:\n\t" + run(300, 'z') + "\n" << 12 + 1 + 300 + 2;
        const QString own =
            QStringLiteral("The recorded file is attached automatically\r\nwhen the message is being sent out.");
        QTest::newRow("own line ends measured whole") << own << QString(own).remove(QLatin1Char('\r')) + "\n"
                                                      << int(own.size()) + 2;
    }

    void breaksLongLinesOnce()
    {
        QFETCH(QString, line);
        QFETCH(QString, shown);
        QFETCH(int, position);
        QPlainTextEdit edit;
        LogWriter log(&edit);
        log.append(line);
        QCOMPARE(edit.toPlainText(), shown);
        QCOMPARE(log.position(), position);
    }

    void emptiesAfter10000Characters()
    {
        QPlainTextEdit edit;
        LogWriter log(&edit);
        const QString line(48, QLatin1Char('l'));  // 50 characters with CR LF
        for (int i = 0; i < 100; ++i)
            log.append(line);
        edit.clear();  // Clear Log empties the window but keeps the count
        for (int i = 0; i < 100; ++i)
            log.append(line);
        QCOMPARE(log.position(), 10000);  // not yet beyond
        log.append(line);
        QCOMPARE(log.position(), 0);
        QCOMPARE(edit.toPlainText().count(QLatin1Char('\n')), 101);
        log.append(QStringLiteral("first after emptying"));
        log.append(QStringLiteral("second"));
        QCOMPARE(edit.toPlainText(), QStringLiteral("first after emptying\nsecond\n"));
    }
};

QTEST_MAIN(LogWriterTest)
#include "test_log_writer.moc"
