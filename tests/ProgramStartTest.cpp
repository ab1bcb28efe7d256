#include "platform/ProgramStart.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// Whether the process's status lists SIGXFSZ among the signals it ignores.
bool ignoresFileSizeSignal(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("SigIgn:")) {
            bool valid = false;
            const quint64 ignored = line.mid(7).trimmed().toULongLong(&valid, 16);
            return valid && (ignored >> (SIGXFSZ - 1) & 1) != 0;
        }
    }
    return false;
}

} // namespace

class ProgramStartTest : public QObject
{
    Q_OBJECT

private slots:
    void aWriteBeyondTheFileSizeLimitFails();
    void theProgramPreparesBeforeItRuns();
    void theDesktopKnowsTheProgramAndQtSpeaksRussian();
    void theViewerAnswersAboutItselfWithoutADisplay_data();
    void theViewerAnswersAboutItselfWithoutADisplay();
};

// Without the preparation the signal ends this test here.
void ProgramStartTest::aWriteBeyondTheFileSizeLimitFails()
{
    ProgramStart::prepare();
    QTemporaryDir folder;
    const int fd = ::open(QFile::encodeName(folder.filePath(QStringLiteral("limited"))).constData(),
                          O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    QVERIFY(fd >= 0);
    rlimit saved{};
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &saved) == 0);
    rlimit lowered = saved;
    lowered.rlim_cur = 100;
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &lowered) == 0);

    const char bytes[101] = {};
    const ssize_t withinTheLimit = ::write(fd, bytes, 100);
    const ssize_t beyond = ::write(fd, bytes, 1);
    const int error = errno;
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::close(fd);

    QCOMPARE(withinTheLimit, ssize_t(100));
    QCOMPARE(beyond, ssize_t(-1));
    QCOMPARE(error, EFBIG);
}

// The program itself, started with the signal's default action as a shell would.
void ProgramStartTest::theProgramPreparesBeforeItRuns()
{
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.setChildProcessModifier([] { std::signal(SIGXFSZ, SIG_DFL); });
    program.start(QStringLiteral(LARVENTA_PROGRAM), {});
    QVERIFY(program.waitForStarted());

    QTRY_VERIFY_WITH_TIMEOUT(ignoresFileSizeSignal(program.processId()) || program.state() != QProcess::Running,
                             30000);
    const bool ignored = ignoresFileSizeSignal(program.processId());
    program.kill();
    program.waitForFinished();
    QVERIFY(ignored);
}

void ProgramStartTest::theDesktopKnowsTheProgramAndQtSpeaksRussian()
{
    ProgramStart::settle(*qApp);
    const QString menuEntry = QStringLiteral(LARVENTA_PACKAGING "/%1.desktop").arg(QGuiApplication::desktopFileName());
    QVERIFY2(QFile::exists(menuEntry), qPrintable(menuEntry));
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("&Да"));
    QCOMPARE(QCoreApplication::translate("QFileDialog", "File &name:"), QStringLiteral("&Имя файла:"));
}

void ProgramStartTest::theViewerAnswersAboutItselfWithoutADisplay_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("errors");

    QTest::newRow("help") << "--help" << 0 << "larventa-view --export wav|edf|csv ДАННЫЕ ФАЙЛ" << "";
    QTest::newRow("help names the spectrum") << "--help" << 0 << "larventa-view --export spectrum ДАННЫЕ ФАЙЛ [--from С] [--to С] [--segment ОТСЧЁТОВ]" << "";
    QTest::newRow("help, short") << "-h" << 0 << "Использование:" << "";
    QTest::newRow("version") << "--version" << 0 << "larventa-view " LARVENTA_VERSION "\n" << "";
    QTest::newRow("follow without a file")
        << "--follow" << 2 << "" << "larventa-view: после --follow называют один файл: larventa-view --follow ФАЙЛ\n";
    QTest::newRow("an option it does not know")
        << "--frobnicate" << 2 << "" << "larventa-view: неизвестный параметр «--frobnicate»; справка: larventa-view --help\n";
}

// Without a display a window cannot open: a program that tried would fail instead of answering.
void ProgramStartTest::theViewerAnswersAboutItselfWithoutADisplay()
{
    QFETCH(QString, option);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QFETCH(QString, errors);

    QProcess viewer;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(display));
    viewer.setProcessEnvironment(environment);
    viewer.start(QStringLiteral(LARVENTA_VIEWER), {option});
    QVERIFY(viewer.waitForFinished(60000));
    const QString printed = QString::fromUtf8(viewer.readAllStandardOutput());
    QCOMPARE(QString::fromUtf8(viewer.readAllStandardError()), errors);
    QCOMPARE(viewer.exitStatus(), QProcess::NormalExit);
    QCOMPARE(viewer.exitCode(), exitCode);
    QVERIFY2(output.isEmpty() ? printed.isEmpty() : printed.contains(output), qPrintable(printed));
}

QTEST_MAIN(ProgramStartTest)
#include "ProgramStartTest.moc"
