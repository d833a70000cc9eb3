// The texts of a transfer-status row, as the list shows them.
#include "shell/views/TransferRowFormat.h"

#include <QtTest>

#include <climits>
#include <cstdint>

using namespace Vuxo;

class TransferRowFormatTest : public QObject {
    Q_OBJECT
private slots:
    void grouped_data();
    void grouped();
    void progress_data();
    void progress();
    void speed_data();
    void speed();
    void timeLeft_data();
    void timeLeft();
    void directionImages();
};

static QString Q(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

void TransferRowFormatTest::grouped_data() {
    QTest::addColumn<qint64>("number");
    QTest::addColumn<QString>("expected");
    QTest::newRow("zero") << qint64(0) << "0";
    QTest::newRow("three digits") << qint64(999) << "999";
    QTest::newRow("four digits") << qint64(1000) << "1,000";
    QTest::newRow("seven digits") << qint64(1234567) << "1,234,567";
    QTest::newRow("negative") << qint64(-1234567) << "-1,234,567";
    QTest::newRow("negative three") << qint64(-999) << "-999";
    QTest::newRow("largest") << qint64(INT64_MAX) << "9,223,372,036,854,775,807";
    QTest::newRow("smallest") << qint64(INT64_MIN) << "-9,223,372,036,854,775,808";
}

void TransferRowFormatTest::grouped() {
    QFETCH(qint64, number);
    QFETCH(QString, expected);
    QCOMPARE(Q(FormatGroupedW(number)), expected);
}

void TransferRowFormatTest::progress_data() {
    QTest::addColumn<qint64>("position");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<QString>("expected");
    QTest::newRow("quarter") << qint64(2000000) << qint64(8000000) << "25.0% (1,953KB/7,812KB)";
    QTest::newRow("unknown length") << qint64(1263616) << qint64(0) << "1,234KB";
    QTest::newRow("unknown length, nothing yet") << qint64(0) << qint64(0) << "0KB";
    QTest::newRow("start") << qint64(0) << qint64(5000) << "0.0% (0KB/4KB)";
    QTest::newRow("done") << qint64(5000) << qint64(5000) << "100.0% (4KB/4KB)";
    QTest::newRow("past the total") << qint64(9000) << qint64(5000) << "100.0% (8KB/4KB)";
    QTest::newRow("negative position") << qint64(-10) << qint64(5000) << "0.0% (0KB/4KB)";
    // Amounts beyond 2^31 KB (2 TiB) stay whole instead of wrapping around.
    QTest::newRow("huge") << qint64(3) * (qint64(1) << 40) << qint64(4) * (qint64(1) << 40)
                          << "75.0% (3,221,225,472KB/4,294,967,296KB)";
    QTest::newRow("largest") << qint64(INT64_MAX) - 1 << qint64(INT64_MAX)
                             << "100.0% (9,007,199,254,740,991KB/9,007,199,254,740,991KB)";
}

void TransferRowFormatTest::progress() {
    QFETCH(qint64, position);
    QFETCH(qint64, total);
    QFETCH(QString, expected);
    QCOMPARE(Q(FormatTransferProgress(position, total)), expected);
}

void TransferRowFormatTest::speed_data() {
    QTest::addColumn<qint64>("bytesPerSecond");
    QTest::addColumn<QString>("expected");
    QTest::newRow("1,536,000 B/s") << qint64(1536000) << "1,500KB/s";
    QTest::newRow("idle") << qint64(0) << "0KB/s";
    QTest::newRow("below one KB") << qint64(1023) << "0KB/s";
    QTest::newRow("fast") << qint64(1024) * 1024 * 1024 << "1,048,576KB/s";
}

void TransferRowFormatTest::speed() {
    QFETCH(qint64, bytesPerSecond);
    QFETCH(QString, expected);
    QCOMPARE(Q(FormatTransferSpeed(bytesPerSecond)), expected);
}

void TransferRowFormatTest::timeLeft_data() {
    QTest::addColumn<qint64>("position");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<qint64>("speed");
    QTest::addColumn<QString>("expected");
    QTest::newRow("unknown length") << qint64(100) << qint64(0) << qint64(1000) << "??:??:??";
    QTest::newRow("no speed") << qint64(100) << qint64(1000) << qint64(0) << "??:??:??";
    QTest::newRow("one minute five") << qint64(0) << qint64(65000) << qint64(1000) << "  0:01:05";
    QTest::newRow("hours") << qint64(1000) << qint64(3723000 + 1000) << qint64(1000) << "  1:02:03";
    QTest::newRow("rounded down") << qint64(0) << qint64(1999) << qint64(1000) << "  0:00:01";
    QTest::newRow("done") << qint64(5000) << qint64(5000) << qint64(1000) << "  0:00:00";
    QTest::newRow("past the total") << qint64(9000) << qint64(5000) << qint64(1000) << "  0:00:00";
    // More seconds than an int holds: still the right hours.
    QTest::newRow("very slow") << qint64(0) << (qint64(1) << 40) << qint64(1) << "305419896:36:16";
}

void TransferRowFormatTest::timeLeft() {
    QFETCH(qint64, position);
    QFETCH(qint64, total);
    QFETCH(qint64, speed);
    QFETCH(QString, expected);
    QCOMPARE(Q(FormatTimeLeft(position, total, speed)), expected);
}

void TransferRowFormatTest::directionImages() {
    QCOMPARE(TransferImageIndex(-1), 0);
    QCOMPARE(TransferImageIndex(0), 1);
    QCOMPARE(TransferImageIndex(1), 2);
}

QTEST_APPLESS_MAIN(TransferRowFormatTest)
#include "TransferRowFormatTest.moc"
