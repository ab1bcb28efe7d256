#include "TestFiles.h"

#include "sim/SimulatedRecording.h"
#include "viewer/IntegrityCheck.h"
#include "viewer/Recording.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class IntegrityCheckTest : public QObject
{
    Q_OBJECT

private slots:
    void integrityCheckNamesWhatDiffers_data();
    void integrityCheckNamesWhatDiffers();
};

void IntegrityCheckTest::integrityCheckNamesWhatDiffers_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("verified");
    QTest::addColumn<QString>("message");

    QTest::newRow("as described") << "" << true << "совпадают";
    QTest::newRow("a byte changed") << "byte" << false << "SHA-256";
    QTest::newRow("cut short") << "size" << false << "Размер";
    QTest::newRow("no description") << "description" << false << "Описания нет";
}

void IntegrityCheckTest::integrityCheckNamesWhatDiffers()
{
    QFETCH(QString, change);
    QFETCH(bool, verified);
    QFETCH(QString, message);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.bin"));
    QString error;
    QVERIFY2(SimulatedRecording::write(path, 3, 5600, &error), qPrintable(error));
    QByteArray data = TestFiles::read(path);
    if (change == QLatin1String("byte"))
        data[1000] = char(data[1000] ^ 1);
    if (change == QLatin1String("size"))
        data.chop(512);
    QVERIFY(TestFiles::write(path, data));
    if (change == QLatin1String("description"))
        QVERIFY(QFile::remove(RecordingDescription::pathFor(path)));
    const std::unique_ptr<Recording> recording = Recording::open(path, &error);
    QVERIFY2(recording, qPrintable(error));

    IntegrityCheck check;
    QSignalSpy finished(&check, &IntegrityCheck::finished);
    check.start(*recording);
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.first().at(0).toBool(), verified);
    QVERIFY2(finished.first().at(1).toString().contains(message), qPrintable(finished.first().at(1).toString()));
}

QTEST_GUILESS_MAIN(IntegrityCheckTest)
#include "IntegrityCheckTest.moc"
