#include "StaleFileSize.h"
#include "TestFiles.h"

#include "sim/SimulatedRecording.h"
#include "viewer/BusErrorGuard.h"
#include "viewer/Recording.h"

#include <QFile>
#include <QHash>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <vector>

#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/wait.h>
#include <unistd.h>

class RecordingOpeningTest : public QObject
{
    Q_OBJECT

private slots:
    void refusesBadInputWithAReason_data();
    void refusesBadInputWithAReason();
    void aTerminalIsRefusedWithoutBecomingTheViewersOwn_data();
    void aTerminalIsRefusedWithoutBecomingTheViewersOwn();
};

void RecordingOpeningTest::refusesBadInputWithAReason_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason"); // a part of the message, or of the warning if it opens

    QTest::newRow("missing file") << "missing" << "нет такого файла";
    QTest::newRow("folder") << "folder" << "это папка";
    QTest::newRow("no read permission") << "unreadable" << "доступ запрещён";
    QTest::newRow("empty data file") << "empty" << "пуст";
    QTest::newRow("description not JSON") << "not json" << "не JSON";
    QTest::newRow("description of another format") << "other format" << "другого формата";
    QTest::newRow("description of a data file since renamed (opens)")
        << "other data" << "написано для файла данных «other.bin», а открыт «run.bin»";
    QTest::newRow("description with a key of the wrong type") << "wrong type" << "«channel»";
    QTest::newRow("description with a key twice, the second null") << "key twice" << "«channel» записан в нём дважды";
    QTest::newRow("description with a key twice, both alike") << "same key twice" << "«port» записан в нём дважды";
    QTest::newRow("description with a key twice, one escaped")
        << "escaped key twice" << "«device» записан в нём дважды";
    QTest::newRow("description with null where a value must be") << "null value" << "«device» должно быть строкой";
    QTest::newRow("description without a key") << "missing key" << "нет ключа «port»";
    QTest::newRow("description with a SHA-256 that is none") << "not a hash" << "«sha256»";
    QTest::newRow("data file of another size (opens)") << "other size" << "в описании — 5120 байт";
    QTest::newRow("file name not UTF-8") << "not utf-8" << "UTF-8";
    QTest::newRow("data file larger than any recording") << "huge" << "слишком велик для записи прибора — 10.0 ГБ";
    QTest::newRow("data file cut short while open (opens)") << "cut short" << "";
    QTest::newRow("data file removed while open (opens)") << "removed" << "";
}

void RecordingOpeningTest::refusesBadInputWithAReason()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("run.bin"));
    QString error;
    QVERIFY2(SimulatedRecording::write(path, 1, 5120, &error), qPrintable(error));
    const QString descriptionPath = RecordingDescription::pathFor(path);
    QByteArray description = TestFiles::read(descriptionPath);
    // Descriptions with one key at fault: what is replaced, and with what.
    const QHash<QString, std::pair<QByteArray, QByteArray>> keyFaults{
        {"wrong type", {"\"channel\": 1", "\"channel\": \"1\""}},
        {"key twice", {"\"problem\": null", "\"channel\": null,\n  \"problem\": null"}},
        {"same key twice", {"\"port\": 1,", "\"port\": 1, \"port\": 1,"}},
        {"escaped key twice", {"\"problem\": null", "\"problem\": null, \"dev\\u0069ce\": \"larventa-sim\""}},
        {"null value", {"\"device\": \"larventa-sim\"", "\"device\": null"}},
        {"missing key", {"\"port\": 1,", ""}},
        {"not a hash", {"\"sha256\": \"", "\"sha256\": \"ж"}},
    };
    bool opens = false;
    std::function<void()> cleanUp = [] {};
    const auto cleaner = qScopeGuard([&] { cleanUp(); });
    if (kind == QLatin1String("missing")) {
        path = dir.filePath(QStringLiteral("absent.bin"));
    } else if (kind == QLatin1String("folder")) {
        path = dir.path();
    } else if (kind == QLatin1String("unreadable")) {
        QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
        // Root reads whatever the permissions say; as another user for files alone, it may not.
        QVERIFY(QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFileDevice::ExeOther));
    } else if (kind == QLatin1String("empty")) {
        QVERIFY(QFile::remove(descriptionPath));
        QVERIFY(TestFiles::write(path, QByteArray()));
    } else if (kind == QLatin1String("not json")) {
        QVERIFY(TestFiles::write(descriptionPath, description.left(description.size() / 2)));
        path = descriptionPath;
    } else if (kind == QLatin1String("other format")) {
        QVERIFY(TestFiles::write(descriptionPath, description.replace("larventa-recording/1", "larventa-recording/2")));
    } else if (kind == QLatin1String("other data")) {
        QVERIFY(TestFiles::write(descriptionPath, description.replace("\"run.bin\"", "\"other.bin\"")));
        path = descriptionPath;
        opens = true;
    } else if (const auto fault = keyFaults.constFind(kind); fault != keyFaults.cend()) {
        QVERIFY(description.contains(fault->first));
        QVERIFY(TestFiles::write(descriptionPath, description.replace(fault->first, fault->second)));
    } else if (kind == QLatin1String("other size")) {
        QVERIFY(TestFiles::write(path, TestFiles::read(path).left(4000)));
        opens = true;
    } else if (kind == QLatin1String("huge")) {
        // Sparse: nothing of it is written, and its summary would take 340 MB.
        QVERIFY(QFile::resize(path, (qint64(10) << 30) + 1));
    } else if (kind == QLatin1String("not utf-8")) {
        const QByteArray name = QFile::encodeName(dir.path()) + "/\xff\xfe.bin";
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        QVERIFY(fd >= 0 && ::write(fd, "abc", 3) == 3 && ::close(fd) == 0);
        path = QFile::decodeName(name);
        cleanUp = [name] { ::unlink(name.constData()); };
    } else {
        opens = true;
    }

    const QStringList before = TestFiles::listing(dir.path());
    const bool asNobody = kind == QLatin1String("unreadable") && ::geteuid() == 0;
    if (asNobody) {
        ::setfsuid(65534);
        if (int(::setfsuid(uid_t(-1))) != 65534)
            QSKIP("running as root without the right to act as another user: unreadable files are not checked");
    }
    const std::unique_ptr<Recording> recording = Recording::open(path, &error);
    if (asNobody)
        ::setfsuid(0);
    QCOMPARE(bool(recording), opens);
    if (!opens) {
        QVERIFY2(error.contains(reason), qPrintable(error));
        QVERIFY2(error.contains(QFileInfo(path).fileName()), qPrintable(error));
    } else if (!reason.isEmpty()) {
        QVERIFY2(recording->warnings().join(QLatin1Char('\n')).contains(reason),
                 qPrintable(recording->warnings().join(QLatin1Char('\n'))));
    }
    QCOMPARE(TestFiles::listing(dir.path()), before);
    if (kind != QLatin1String("cut short") && kind != QLatin1String("removed"))
        return;

    // Another program cuts the file short, or removes it, while it is open.
    const qint64 length = recording->sampleCount();
    const qint64 kept = kind == QLatin1String("cut short") ? 1000 : length;
    QFile mapped(path);
    QVERIFY(mapped.open(QIODevice::ReadOnly));
    const volatile uchar *bytes = mapped.map(0, length);
    QVERIFY(bytes);
    if (kind == QLatin1String("cut short"))
        QVERIFY(QFile::resize(path, kept));
    else
        QVERIFY(QFile::remove(path));
    std::vector<quint8> samples(static_cast<size_t>(length));
    QCOMPARE(recording->copySamples(0, length, samples.data()), kept);
    QCOMPARE(recording->statistics(0, length).count, kept);
    std::vector<ColumnRange> columns(10);
    recording->summarise(0, double(length) / 10, columns.data(), 10);
    QCOMPARE(columns[0].isEmpty(), false);
    QCOMPARE(columns[9].isEmpty(), kept < length);

    // Each read checks the size first; the cut that comes between the check and the read is
    // made by the check seeing the size the file had. Every read then touches a page past the
    // new end, which raises SIGBUS: in a child, so that a read left unguarded shows as its death.
    int results[2];
    QCOMPARE(::pipe(results), 0);
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        ::close(results[0]);
        const StaleFileSize stale(mapped, length);
        int last = 0;
        auto touchTheEnd = [&] { last = bytes[length - 1]; };
        // Zoomed in, so that the columns read the samples rather than their summary.
        std::vector<ColumnRange> zoomedIn(size_t(length / 100 + 1));
        recording->summarise(0, 100, zoomedIn.data(), int(zoomedIn.size()));
        const qint64 read[] = {qint64(BusErrorGuard::run(touchTheEnd)),
                               recording->copySamples(0, length, samples.data()),
                               recording->statistics(1, length - 1).count, qint64(zoomedIn.back().isEmpty())};
        _exit(::write(results[1], read, sizeof read) == qint64(sizeof read) ? 0 : 1);
    }
    ::close(results[1]);
    qint64 read[4] = {};
    const bool told = ::read(results[0], read, sizeof read) == qint64(sizeof read);
    ::close(results[0]);
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY2(!WIFSIGNALED(status), qPrintable(QStringLiteral("the reads died of signal %1").arg(WTERMSIG(status))));
    QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0 && told);
    QCOMPARE(read[0], qint64(kept == length));
    if (kept == length) {
        QCOMPARE(read[1], length);
        QCOMPARE(read[2], length - 2);
        QCOMPARE(read[3], qint64(false));
    } else {
        QVERIFY2(read[1] < length, qPrintable(QString::number(read[1])));
        QVERIFY2(read[2] < length - 2, qPrintable(QString::number(read[2])));
        QCOMPARE(read[3], qint64(true));
    }
    QCOMPARE(bool(Recording::open(recording->openedPath(), &error)), kept > 0 && kind == QLatin1String("cut short"));
}

void RecordingOpeningTest::aTerminalIsRefusedWithoutBecomingTheViewersOwn_data()
{
    QTest::addColumn<bool>("asDescription");

    QTest::newRow("as the data file") << false;
    QTest::newRow("as the description, through a link") << true;
}

// A program that leads its own session, as one started from a desktop may, takes the first
// terminal it opens as its controlling terminal unless it says otherwise.
void RecordingOpeningTest::aTerminalIsRefusedWithoutBecomingTheViewersOwn()
{
    QFETCH(bool, asDescription);

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    QVERIFY(master >= 0);
    const auto closer = qScopeGuard([master] { ::close(master); });
    QVERIFY(::grantpt(master) == 0 && ::unlockpt(master) == 0);
    const QString terminal = QFile::decodeName(::ptsname(master));
    QTemporaryDir dir;
    QString path = terminal;
    if (asDescription) {
        path = dir.filePath(QStringLiteral("run.bin.json"));
        QVERIFY(QFile::link(terminal, path));
    }

    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        ::setsid();
        QString error;
        const bool opened = bool(Recording::open(path, &error));
        const bool refused = error.contains(QStringLiteral("не обычный файл"));
        const bool ownTerminal = ::open("/dev/tty", O_RDWR | O_NOCTTY) >= 0;
        ::_exit(opened || !refused ? 2 : ownTerminal ? 1 : 0);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QVERIFY2(WEXITSTATUS(status) != 2, "the terminal was not refused as a file that is not a regular one");
    QVERIFY2(WEXITSTATUS(status) != 1, "the terminal became the controlling terminal");
    QCOMPARE(WEXITSTATUS(status), 0);
}

QTEST_GUILESS_MAIN(RecordingOpeningTest)
#include "RecordingOpeningTest.moc"
