// The ADPCM sample decoder and the in-place decoding of an ADPCM source file.

#include "compression/adpcm.h"
#include "compression/wave_converter.h"
#include "tests/support/compression/test_files.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using CompressionTestSupport::readAll;
using CompressionTestSupport::writeAll;

namespace {

QByteArray eightBit(const std::vector<qint16> &samples)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (!WriteDecodedSamples(buffer, 1, samples.data(), int(samples.size())))
        return QByteArray("write failed");
    return buffer.data();
}

}  // namespace

class TestAdpcm : public QObject
{
    Q_OBJECT
private slots:
    void decodesSingleCodesFromReset_data();
    void decodesSingleCodesFromReset();
    void indexAdjustFollowsTheMagnitude();
    void saturatesAtTheTwelveBitLimits();
    void eightBitOutputTruncatesTowardZero();
    void sixteenBitOutputShiftsLeftByFour();
    void byteDecodesHighNibbleFirst();
    void fileKeepsLeadingBlockAndDoublesTheRest();
    void shortFileIsPaddedToTheLeadingBlock();
    void fileThatCannotBeDecodedStaysAsItWas();
};

void TestAdpcm::decodesSingleCodesFromReset_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("sample");
    QTest::addColumn<int>("index");
    QTest::newRow("0x7 adds every part") << 0x7 << 30 << 8;
    QTest::newRow("0xF subtracts them") << 0xF << -30 << 8;
    QTest::newRow("0x0 adds an eighth, index stays at 0") << 0x0 << 2 << 0;
    QTest::newRow("0x4 full step") << 0x4 << 18 << 2;
    QTest::newRow("0x9 negative quarter") << 0x9 << -6 << 0;
}

void TestAdpcm::decodesSingleCodesFromReset()
{
    QFETCH(int, code);
    QFETCH(int, sample);
    QFETCH(int, index);
    AdpcmState state;
    state.sample = 99;
    state.index = 7;
    AdpcmReset(state);
    QCOMPARE(int(AdpcmDecodeNibble(code, state)), sample);
    QCOMPARE(int(state.sample), sample);
    QCOMPARE(int(state.index), index);
}

void TestAdpcm::indexAdjustFollowsTheMagnitude()
{
    const int expected[8] = {-1, -1, -1, -1, 2, 4, 6, 8};
    for (int code = 0; code < 16; ++code)
        QCOMPARE(AdpcmIndexAdjust(code), expected[code & 7]);
}

void TestAdpcm::saturatesAtTheTwelveBitLimits()
{
    AdpcmState up;
    AdpcmReset(up);
    for (int i = 0; i < 200; ++i)
        AdpcmDecodeNibble(0x7, up);
    QCOMPARE(int(up.sample), 2047);
    QCOMPARE(int(up.index), 48);
    QCOMPARE(int(AdpcmDecodeNibble(0x7, up)), 2047);

    AdpcmState down;
    AdpcmReset(down);
    for (int i = 0; i < 200; ++i)
        AdpcmDecodeNibble(0xF, down);
    QCOMPARE(int(down.sample), -2048);
    QCOMPARE(int(down.index), 48);

    // From the top a run of small codes walks the index back down, never below 0.
    for (int i = 0; i < 100; ++i)
        AdpcmDecodeNibble(0x0, down);
    QCOMPARE(int(down.index), 0);

    QCOMPARE(eightBit({2047, -2048}), QByteArray("\xFF\x00", 2));
}

void TestAdpcm::eightBitOutputTruncatesTowardZero()
{
    // -17 / 16 truncates to -1, so the byte is 127, not 126.
    QCOMPARE(eightBit({-17, 0, 17, -16, 15}), QByteArray("\x7F\x80\x81\x7F\x80", 5));
    QBuffer empty;
    empty.open(QIODevice::WriteOnly);
    QVERIFY(WriteDecodedSamples(empty, 0, nullptr, 0));
    QCOMPARE(empty.data().size(), 0);
}

void TestAdpcm::sixteenBitOutputShiftsLeftByFour()
{
    const qint16 samples[] = {30, -30, 2047};
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(WriteDecodedSamples(buffer, 2, samples, 3));
    QCOMPARE(buffer.data(), QByteArray("\xE0\x01\x20\xFE\xF0\x7F", 6));

    QBuffer readOnly;
    readOnly.open(QIODevice::ReadOnly);
    QVERIFY(!WriteDecodedSamples(readOnly, 1, samples, 3));
}

void TestAdpcm::byteDecodesHighNibbleFirst()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("voice.adp"));
    QByteArray source(256, '\x55');
    source.append('\x70');
    QVERIFY(writeAll(path, source));

    CWaveConverter converter;
    QCOMPARE(converter.SetSourceFile(path), 1);
    QCOMPARE(converter.DecodeAdpcmFile(), 1);
    const QByteArray decoded = readAll(path);
    QCOMPARE(decoded.size(), 258);
    // 0x7 gives 30 (byte 129); then 0x0 at index 8 adds 34 / 8 = 4, giving 34 (byte 130).
    QCOMPARE(decoded.mid(256), QByteArray("\x81\x82", 2));
}

void TestAdpcm::fileKeepsLeadingBlockAndDoublesTheRest()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("voice.adp"));
    QByteArray leading(256, '\0');
    for (int i = 0; i < 256; ++i)
        leading[i] = char(i);

    QVERIFY(writeAll(path, leading));
    CWaveConverter exact;
    QCOMPARE(exact.SetSourceFile(path), 1);
    QCOMPARE(exact.DecodeAdpcmFile(), 1);
    QCOMPARE(readAll(path), leading);

    QVERIFY(writeAll(path, leading + QByteArray(44, '\x77')));
    CWaveConverter longer;
    QCOMPARE(longer.SetSourceFile(path), 1);
    QCOMPARE(longer.DecodeAdpcmFile(), 1);
    const QByteArray decoded = readAll(path);
    QCOMPARE(decoded.size(), 256 + 88);
    QCOMPARE(decoded.left(256), leading);
    QCOMPARE(quint8(decoded.back()), quint8(255)); // 88 codes 0x7 saturate the sample
    QVERIFY(!QFile::exists(path + QStringLiteral(".pcm")));
}

void TestAdpcm::shortFileIsPaddedToTheLeadingBlock()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("voice.adp"));
    QVERIFY(writeAll(path, "abc"));
    CWaveConverter converter;
    QCOMPARE(converter.SetSourceFile(path), 1);
    QCOMPARE(converter.DecodeAdpcmFile(), 1);
    QCOMPARE(readAll(path), QByteArray("abc") + QByteArray(253, '\0'));
}

void TestAdpcm::fileThatCannotBeDecodedStaysAsItWas()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("voice.adp"));
    const QByteArray source = QByteArray(256, '\x11') + QByteArray(10, '\x37');
    QVERIFY(writeAll(path, source));
    CWaveConverter converter;
    QCOMPARE(converter.SetSourceFile(path), 1);
    // A folder where the output file should go: it cannot be created.
    QVERIFY(QDir().mkdir(path + QStringLiteral(".pcm")));
    QCOMPARE(converter.DecodeAdpcmFile(), 0);
    QCOMPARE(readAll(path), source);

    QVERIFY(QFile::remove(path));
    QCOMPARE(converter.DecodeAdpcmFile(), 0);
}

QTEST_GUILESS_MAIN(TestAdpcm)
#include "test_adpcm.moc"
