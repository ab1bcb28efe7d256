#include "FileCallFault.h"
#include "FileSizeLimit.h"
#include "TestFiles.h"

#include "output/DataFile.h"
#include "output/RecordingDescription.h"
#include "platform/SystemErrorText.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

Q_DECLARE_METATYPE(FileCallFault::Call)
Q_DECLARE_METATYPE(RecordingDescription)

namespace {

QByteArray block(char fill)
{
    return QByteArray(SampleBlockBytes, fill);
}

bool makeSocket(const QString &path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    if (name.size() >= qsizetype(sizeof address.sun_path))
        return false;
    std::copy(name.begin(), name.end(), address.sun_path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    if (fd >= 0)
        ::close(fd);
    return bound;
}

} // namespace

class DataFileTest : public QObject
{
    Q_OBJECT

private slots:
    void replacesAnExistingFileWithANewEmptyOne();
    void writesBlocksBackToBackAtTheirOffsets();
    void writesBeyondTwoGibibytes();
    void failedCreationLeavesTheOldFile_data();
    void failedCreationLeavesTheOldFile();
    void failedWriteKeepsWholeBlocksOnly();
    void aFailedCutBackIsInTheWriteMessage();
    void aFailedCloseIsReported_data();
    void aFailedCloseIsReported();
    void refusesWhatIsNoRegularFile_data();
    void refusesWhatIsNoRegularFile();
    void describesTheRecordingInJson_data();
    void describesTheRecordingInJson();
    void windowsErrorsReadAsLinuxOnes_data();
    void windowsErrorsReadAsLinuxOnes();

private:
    QTemporaryDir m_folder;
};

void DataFileTest::replacesAnExistingFileWithANewEmptyOne()
{
    const QString path = m_folder.filePath(QStringLiteral("запись.bin"));
    const QString otherName = m_folder.filePath(QStringLiteral("old-link.bin"));
    QVERIFY(TestFiles::write(path, "old recording"));
    QVERIFY(::link(QFile::encodeName(path).constData(), QFile::encodeName(otherName).constData()) == 0);

    DataFile file;
    QString error;
    QVERIFY2(file.createAfresh(path, &error), qPrintable(error));
    QVERIFY(file.isOpen());
    QCOMPARE(QFileInfo(path).size(), 0);
    // A new file, not the old one cut short: another name of the old file keeps it.
    QCOMPARE(TestFiles::read(otherName), QByteArray("old recording"));
}

void DataFileTest::writesBlocksBackToBackAtTheirOffsets()
{
    const QString path = m_folder.filePath(QStringLiteral("blocks.bin"));
    DataFile file;
    QString error;
    QVERIFY(file.createAfresh(path, &error));
    QVERIFY(file.writeBlock(0, block('a'), &error));
    QVERIFY(file.writeBlock(1, block('b'), &error));
    QVERIFY(file.writeBlock(2, block('c'), &error));
    // Written straight through: on disk before the file is closed.
    QCOMPARE(TestFiles::read(path), block('a') + block('b') + block('c'));
    file.close();
    file.close();
    QVERIFY(!file.isOpen());
    QCOMPARE(TestFiles::read(path), block('a') + block('b') + block('c'));
}

void DataFileTest::writesBeyondTwoGibibytes()
{
    const QString path = m_folder.filePath(QStringLiteral("long.bin"));
    const qint64 firstBeyond = (qint64(1) << 31) / SampleBlockBytes;
    DataFile file;
    QString error;
    QVERIFY(file.createAfresh(path, &error));
    QVERIFY2(file.writeBlock(firstBeyond, block('z'), &error), qPrintable(error));
    file.close();

    QFile written(path);
    QCOMPARE(written.size(), (firstBeyond + 1) * SampleBlockBytes);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(written.seek(firstBeyond * SampleBlockBytes));
    QCOMPARE(written.read(SampleBlockBytes), block('z'));
}

void DataFileTest::failedCreationLeavesTheOldFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");

    QTest::newRow("folder missing") << "missing/run.bin" << "нет такого файла или папки";
    QTest::newRow("a file on the way") << "plain.txt/run.bin" << "часть пути не является папкой";
    QTest::newRow("a folder of that name") << "folder" << "это папка, а не файл";
    QTest::newRow("placeholders in the path") << "%1 missing/run %2.bin" << "нет такого файла или папки";
}

void DataFileTest::failedCreationLeavesTheOldFile()
{
    QFETCH(QString, name);
    QFETCH(QString, reason);
    QVERIFY(TestFiles::write(m_folder.filePath(QStringLiteral("plain.txt")), "keep me"));
    QDir(m_folder.path()).mkdir(QStringLiteral("folder"));

    const QString path = m_folder.filePath(name);
    DataFile file;
    QString error;
    QVERIFY(!file.createAfresh(path, &error));
    QVERIFY(!file.isOpen());
    QVERIFY2(error.contains(path) && error.contains(reason), qPrintable(error));
    QCOMPARE(TestFiles::read(m_folder.filePath(QStringLiteral("plain.txt"))), QByteArray("keep me"));
    QVERIFY(QFileInfo(m_folder.filePath(QStringLiteral("folder"))).isDir());
}

void DataFileTest::failedWriteKeepsWholeBlocksOnly()
{
    const QString path = m_folder.filePath(QStringLiteral("full.bin"));
    DataFile file;
    QString error;
    QVERIFY(file.createAfresh(path, &error));
    {
        // Room for one block and part of the next, as on a disk that fills up.
        FileSizeLimit limit(SampleBlockBytes + 300);
        QVERIFY(file.writeBlock(0, block('a'), &error));
        QVERIFY(!file.writeBlock(1, block('b'), &error));
    }
    QVERIFY2(error.contains(path) && error.contains(QStringLiteral("допустимый размер")), qPrintable(error));
    file.close();
    QCOMPARE(TestFiles::read(path), block('a'));
}

void DataFileTest::aFailedCutBackIsInTheWriteMessage()
{
    const QString path = m_folder.filePath(QStringLiteral("uncut.bin"));
    DataFile file;
    QString error;
    QVERIFY(file.createAfresh(path, &error));
    {
        FileCallFault truncateFails(FileCallFault::Call::Truncate, path, EIO);
        FileSizeLimit limit(SampleBlockBytes + 300);
        QVERIFY(file.writeBlock(0, block('a'), &error));
        QVERIFY(!file.writeBlock(1, block('b'), &error));
        QCOMPARE(truncateFails.failures(), 1);
    }
    QCOMPARE(error,
             QStringLiteral("Не удалось записать файл данных «%1»: файл превысил допустимый размер. Обрезать файл до "
                            "целых блоков тоже не удалось (ошибка ввода-вывода): в его конце остался неполный блок.")
                 .arg(path));
    QVERIFY(file.close());
    QCOMPARE(TestFiles::read(path), block('a') + block('b').left(300));
    // What stays is what the hash covers.
    QCOMPARE(file.size(), SampleBlockBytes + 300);
    QCOMPARE(file.sha256(), QCryptographicHash::hash(TestFiles::read(path), QCryptographicHash::Sha256).toHex());
}

void DataFileTest::aFailedCloseIsReported_data()
{
    QTest::addColumn<FileCallFault::Call>("call");
    QTest::addColumn<QString>("what");

    // As on a network file system that could not store what was written.
    QTest::newRow("close") << FileCallFault::Call::Close << "закрыть";
    // Without the sync, the data could still be in memory only when a description
    // vouches for it.
    QTest::newRow("sync") << FileCallFault::Call::Sync << "сохранить на диске";
}

void DataFileTest::aFailedCloseIsReported()
{
    QFETCH(FileCallFault::Call, call);
    QFETCH(QString, what);

    const QString path = m_folder.filePath(QStringLiteral("unclosed %1.bin").arg(what));
    DataFile file;
    QString error;
    QVERIFY(file.createAfresh(path, &error));
    QVERIFY(file.writeBlock(0, block('a'), &error));
    {
        FileCallFault fails(call, path, EIO);
        QVERIFY(!file.close(&error));
        QVERIFY(fails.failures() >= 1);
    }
    QCOMPARE(error,
             QStringLiteral("Не удалось %1 файл данных «%2»: ошибка ввода-вывода. Данные, записанные в него, "
                            "могли сохраниться не полностью.")
                 .arg(what, path));
    QVERIFY(!file.isOpen());
    QVERIFY(file.close(&error));
}

void DataFileTest::refusesWhatIsNoRegularFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("withReader");
    QTest::addColumn<QString>("reason");

    // Without a reader, opening a named pipe for writing waits for one: for ever.
    QTest::newRow("named pipe") << "fifo" << false << "это именованный канал (FIFO), а не обычный файл";
    QTest::newRow("named pipe with a reader") << "fifo" << true << "это именованный канал (FIFO), а не обычный файл";
    QTest::newRow("socket") << "socket" << false << "это сокет, а не обычный файл";
    QTest::newRow("link to a device") << "device" << false << "это устройство, а не обычный файл";
}

void DataFileTest::refusesWhatIsNoRegularFile()
{
    QFETCH(QString, kind);
    QFETCH(bool, withReader);
    QFETCH(QString, reason);

    const QString path = m_folder.filePath(QStringLiteral("%1 %2.bin").arg(kind, QString::number(withReader)));
    const QByteArray name = QFile::encodeName(path);
    if (kind == QLatin1String("fifo"))
        QVERIFY(::mkfifo(name.constData(), 0666) == 0);
    else if (kind == QLatin1String("socket"))
        QVERIFY(makeSocket(path));
    else
        QVERIFY(::symlink("/dev/null", name.constData()) == 0);
    struct stat before;
    QVERIFY(::lstat(name.constData(), &before) == 0);
    const int reader = withReader ? ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC) : -1;
    QCOMPARE(reader >= 0, withReader);

    DataFile file;
    QString error;
    const bool created = file.createAfresh(path, &error);
    if (reader >= 0)
        ::close(reader);

    QVERIFY(!created);
    QVERIFY(!file.isOpen());
    QCOMPARE(error, QStringLiteral("Не удалось создать файл данных «%1»: %2.").arg(path, reason));
    struct stat after;
    QVERIFY(::lstat(name.constData(), &after) == 0);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_mode, before.st_mode);
}

void DataFileTest::describesTheRecordingInJson_data()
{
    QTest::addColumn<RecordingDescription>("description");
    QTest::addColumn<QStringList>("members");

    const QDate day(2026, 12, 8);
    const QTime time(14, 3, 58, 563);
    RecordingDescription ended;
    ended.dataFileName = QStringLiteral("/data/run1.bin");
    ended.started = QDateTime(day, time, Qt::OffsetFromUTC, -(3 * 3600 + 30 * 60));
    ended.ended = QDateTime(day, time, Qt::OffsetFromUTC, 5 * 3600 + 45 * 60);
    ended.recordedSeconds = 100.0004;
    ended.bytesAfterChannelCode = 10008;
    ended.ending = RecordingDescription::Ending::Completed;
    QTest::newRow("offsets off the hour")
        << ended
        << QStringList{"\"started\": \"2026-12-08T14:03:58.563-03:30\"", "\"ended\": \"2026-12-08T14:03:58.563+05:45\"",
                       "\"recorded_seconds\": 100.000", "\"samples_per_second\": 100.1", "\"problem\": null"};

    RecordingDescription named = ended;
    named.dataFileName = QStringLiteral("/data/tab\t, line\n, \"quote\" \\ \x01\x1f\x7f.bin");
    named.deviceName = QStringLiteral("/dev/\x1b[31m");
    named.problem = QStringLiteral("Прибор:\r\nошибка");
    QTest::newRow("control characters in names")
        << named
        << QStringList{"\"data_file\": \"tab\\u0009, line\\u000a, \\\"quote\\\" \\\\ \\u0001\\u001f\x7f.bin\"",
                       "\"device\": \"/dev/\\u001b[31m\"", "\"problem\": \"Прибор:\\u000d\\u000aошибка\""};

    RecordingDescription underWay = ended;
    underWay.ending = RecordingDescription::Ending::Recording;
    underWay.blocks = 19;
    underWay.sha256 = "00ff";
    underWay.snapshotFileName = QStringLiteral("/data/run1.bmp");
    QTest::newRow("under way")
        << underWay
        << QStringList{"\"started\": \"2026-12-08T14:03:58.563-03:30\"", "\"ended\": null", "\"recorded_seconds\": null",
                       "\"blocks\": null", "\"bytes\": null", "\"partial_block_bytes\": null",
                       "\"samples_per_second\": null", "\"sha256\": null", "\"snapshot\": null"};
}

void DataFileTest::describesTheRecordingInJson()
{
    QFETCH(RecordingDescription, description);
    QFETCH(QStringList, members);

    const QByteArray json = description.toJson();
    QJsonParseError error;
    const QJsonObject parsed = QJsonDocument::fromJson(json, &error).object();
    QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString() + "\n" + json));
    QCOMPARE(parsed.size(), 22);
    QCOMPARE(parsed.value(QStringLiteral("data_file")).toString(), QFileInfo(description.dataFileName).fileName());
    QCOMPARE(parsed.value(QStringLiteral("device")).toString(), description.deviceName);
    // One member a line, as written.
    QStringList lines;
    for (const QString &line : QString::fromUtf8(json).split(QLatin1Char('\n')))
        lines << line.trimmed().chopped(line.endsWith(QLatin1Char(',')) ? 1 : 0);
    for (const QString &member : members)
        QVERIFY2(lines.contains(member), qPrintable(member + "\n" + json));
}

void DataFileTest::windowsErrorsReadAsLinuxOnes_data()
{
    QTest::addColumn<quint32>("windowsCode");
    QTest::addColumn<QString>("reason");

    // Windows' code (winerror.h), and what the same failure reads as on Linux.
    const auto asOnLinux = [](int errorNumber) { return SystemErrorText::forSystemError(errorNumber); };
    QTest::newRow("disk full") << quint32(112) << asOnLinux(ENOSPC);
    QTest::newRow("disk full on a handle") << quint32(39) << asOnLinux(ENOSPC);
    QTest::newRow("quota") << quint32(1295) << asOnLinux(EDQUOT);
    QTest::newRow("access denied") << quint32(5) << asOnLinux(EACCES);
    QTest::newRow("no such file") << quint32(2) << asOnLinux(ENOENT);
    QTest::newRow("no such folder") << quint32(3) << asOnLinux(ENOENT);
    QTest::newRow("no such share") << quint32(67) << asOnLinux(ENOENT);
    QTest::newRow("write-protected") << quint32(19) << asOnLinux(EROFS);
    QTest::newRow("too large") << quint32(223) << asOnLinux(EFBIG);
    QTest::newRow("name too long") << quint32(206) << asOnLinux(ENAMETOOLONG);
    QTest::newRow("share gone") << quint32(64) << asOnLinux(EIO);
    QTest::newRow("device gone") << quint32(1167) << asOnLinux(ENODEV);
    QTest::newRow("too many files") << quint32(4) << asOnLinux(EMFILE);
    // Linux has neither: it replaces a file whatever holds or maps it.
    const QString openElsewhere = QStringLiteral("файл открыт в другой программе (например, в программе просмотра "
                                                 "записей), и Windows не даёт изменить или заменить его, пока он там "
                                                 "открыт; закройте его там и повторите");
    QTest::newRow("held by another program") << quint32(32) << openElsewhere;
    QTest::newRow("mapped by the viewer") << quint32(1224) << openElsewhere;
}

// A Windows error reads as its Linux counterpart does: the same messages on both.
void DataFileTest::windowsErrorsReadAsLinuxOnes()
{
    QFETCH(quint32, windowsCode);
    QFETCH(QString, reason);
    const SystemErrorText::Meaning meaning = SystemErrorText::ofWindowsError(windowsCode);
    QVERIFY(meaning != SystemErrorText::Meaning::Other);
    QCOMPARE(SystemErrorText::wording(meaning), reason);
}

QTEST_GUILESS_MAIN(DataFileTest)
#include "DataFileTest.moc"
