#include "app/log_writer.h"

#include <QPlainTextEdit>
#include <QTest>

class LogWriterTest : public QObject
{
    Q_OBJECT

private slots:
    void shortLinesStayWhole();
    void breaksAtTheLastBlankOfTheFirst90();
    void breaksAt90WithoutBlank();
    void continuationIsNeverBrokenAgain();
    void linesWithTheirOwnLineEndsAreMeasuredWhole();
    void emptiesAfter10000Characters();
    void clearedWindowKeepsThePosition();
};

void LogWriterTest::shortLinesStayWhole()
{
    QPlainTextEdit edit;
    LogWriter log(&edit);
    const QString text88(88, QLatin1Char('x'));
    log.append(text88);
    log.append(QStringLiteral("Done."));
    QCOMPARE(edit.toPlainText(), text88 + QStringLiteral("\nDone.\n"));
    QCOMPARE(log.position(), 90 + 7);

    // 89 characters plus CR LF make 91: the line breaks even without a blank.
    QPlainTextEdit edit2;
    LogWriter log2(&edit2);
    log2.append(QString(89, QLatin1Char('y')));
    QCOMPARE(edit2.toPlainText(), QString(89, QLatin1Char('y')) + QStringLiteral("\n\t\n"));
}

void LogWriterTest::breaksAtTheLastBlankOfTheFirst90()
{
    QPlainTextEdit edit;
    LogWriter log(&edit);
    QString text = QString(80, QLatin1Char('a')) + QLatin1Char(' ') + QString(14, QLatin1Char('b'));
    text[40] = QLatin1Char(' ');
    QCOMPARE(text.size(), 95);
    log.append(text);
    QCOMPARE(edit.toPlainText(), text.left(80) + QStringLiteral("\n\t") + QString(14, QLatin1Char('b')) +
                                     QStringLiteral("\n"));
    // First piece with CR LF, then TAB, the rest and CR LF.
    QCOMPARE(log.position(), 82 + 1 + 14 + 2);
}

void LogWriterTest::breaksAt90WithoutBlank()
{
    QPlainTextEdit edit;
    LogWriter log(&edit);
    const QString text = QString(90, QLatin1Char('p')) + QString(30, QLatin1Char('q'));
    log.append(text);
    QCOMPARE(edit.toPlainText(),
             QString(90, QLatin1Char('p')) + QStringLiteral("\n\t") + QString(30, QLatin1Char('q')) + QStringLiteral("\n"));
}

void LogWriterTest::continuationIsNeverBrokenAgain()
{
    QPlainTextEdit edit;
    LogWriter log(&edit);
    const QString text = QStringLiteral("Error 550: ") + QString(300, QLatin1Char('z'));
    log.append(text);
    const QStringList lines = edit.toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 3);  // two lines and the empty rest after the last line end
    QCOMPARE(lines[0], QStringLiteral("Error 550:"));
    QCOMPARE(lines[1], QLatin1Char('\t') + QString(300, QLatin1Char('z')));
}

void LogWriterTest::linesWithTheirOwnLineEndsAreMeasuredWhole()
{
    QPlainTextEdit edit;
    LogWriter log(&edit);
    const QString text =
        QStringLiteral("The recorded file is attached automatically\r\nwhen the message is being sent out.");
    log.append(text);
    QCOMPARE(edit.toPlainText(),
             QStringLiteral("The recorded file is attached automatically\nwhen the message is being sent out.\n"));
    QCOMPARE(log.position(), text.size() + 2);
}

void LogWriterTest::emptiesAfter10000Characters()
{
    QPlainTextEdit edit;
    LogWriter log(&edit);
    const QString line(48, QLatin1Char('l'));  // 50 characters with CR LF
    for (int i = 0; i < 200; ++i)
        log.append(line);
    QCOMPARE(log.position(), 10000);  // not yet beyond
    log.append(line);
    QCOMPARE(log.position(), 0);
    QCOMPARE(edit.toPlainText().count(QLatin1Char('\n')), 201);

    log.append(QStringLiteral("first after emptying"));
    QCOMPARE(edit.toPlainText(), QStringLiteral("first after emptying\n"));
    log.append(QStringLiteral("second"));
    QCOMPARE(edit.toPlainText(), QStringLiteral("first after emptying\nsecond\n"));
}

void LogWriterTest::clearedWindowKeepsThePosition()
{
    QPlainTextEdit edit;
    LogWriter log(&edit);
    log.append(QString(88, QLatin1Char('c')));
    edit.clear();  // Clear Log
    log.append(QStringLiteral("after clear"));
    QCOMPARE(edit.toPlainText(), QStringLiteral("after clear\n"));
    QCOMPARE(log.position(), 90 + 13);
    // The emptying comes earlier by what was cleared.
    while (log.position() != 0)
        log.append(QString(48, QLatin1Char('m')));
    log.append(QStringLiteral("alone"));
    QCOMPARE(edit.toPlainText(), QStringLiteral("alone\n"));
}

QTEST_MAIN(LogWriterTest)
#include "test_log_writer.moc"
