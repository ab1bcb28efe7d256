#include "recording/RecordingTime.h"

#include <QTest>

class RecordingTimeTest : public QObject
{
    Q_OBJECT

private slots:
    void acceptsNumbers_data();
    void acceptsNumbers();
    void refusesWhatIsNoTime_data();
    void refusesWhatIsNoTime();
    void quotesTheTextAsTyped_data();
    void quotesTheTextAsTyped();
};

void RecordingTimeTest::acceptsNumbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("seconds");

    QTest::newRow("plain") << "100" << 100;
    QTest::newRow("blanks around") << "  7 \t" << 7;
    QTest::newRow("plus sign") << "+3" << 3;
    QTest::newRow("half rounds to even, down") << "2.5" << 2;
    QTest::newRow("half rounds to even, up") << "3.5" << 4;
    QTest::newRow("comma separator") << "2,5" << 2;
    QTest::newRow("fraction above half") << "1.6" << 2;
    QTest::newRow("leading separator") << ".9" << 1;
    QTest::newRow("trailing separator") << "12." << 12;
    QTest::newRow("half rounds up to one") << "1.5" << 2;
    QTest::newRow("longest") << "2147483647" << 2147483647;
    QTest::newRow("just under the top") << "2147483647.4" << 2147483647;
    QTest::newRow("just above a half, beyond a double's precision") << "0.50000000000000001" << 1;
    QTest::newRow("just below a half, beyond a double's precision") << "3.49999999999999999" << 3;
    QTest::newRow("just under the top's half") << "2147483647.49999999999" << 2147483647;
}

void RecordingTimeTest::acceptsNumbers()
{
    QFETCH(QString, text);
    QFETCH(int, seconds);

    QString error;
    const std::optional<qint32> parsed = RecordingTime::parse(text, &error);
    QVERIFY2(parsed.has_value(), qPrintable(error));
    QCOMPARE(*parsed, seconds);
}

void RecordingTimeTest::refusesWhatIsNoTime_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("empty") << "";
    QTest::newRow("blanks") << "   ";
    QTest::newRow("letters") << "abc";
    QTest::newRow("number then letters") << "10s";
    QTest::newRow("two separators") << "1.2.3";
    QTest::newRow("exponent") << "1e3";
    QTest::newRow("inner blank") << "1 0";
    QTest::newRow("sign alone") << "-";
    QTest::newRow("zero") << "0";
    QTest::newRow("half rounds to zero") << "0.5";
    QTest::newRow("negative") << "-5";
    QTest::newRow("above 32 bits") << "2147483648";
    QTest::newRow("half rounds above 32 bits") << "2147483647.5";
    QTest::newRow("far beyond double") << QString(400, QLatin1Char('9'));
    QTest::newRow("arabic-indic digits") << QString::fromUtf8("٣");
}

void RecordingTimeTest::refusesWhatIsNoTime()
{
    QFETCH(QString, text);

    QString error;
    QVERIFY(!RecordingTime::parse(text, &error).has_value());
    QVERIFY(error.contains(QStringLiteral("Время записи")));
    QVERIFY(error.contains(QStringLiteral("2147483647")));
}

void RecordingTimeTest::quotesTheTextAsTyped_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("first placeholder") << "%1";
    QTest::newRow("second placeholder") << "%2";
    QTest::newRow("localised placeholder") << "%L1";
    QTest::newRow("placeholder inside") << "10%1c";
}

void RecordingTimeTest::quotesTheTextAsTyped()
{
    QFETCH(QString, text);

    QString error;
    QVERIFY(!RecordingTime::parse(text, &error).has_value());
    QVERIFY2(error.contains(QStringLiteral("«") + text + QStringLiteral("»")), qPrintable(error));
    QVERIFY2(error.contains(QStringLiteral("от 1 до 2147483647.")), qPrintable(error));
}

QTEST_GUILESS_MAIN(RecordingTimeTest)
#include "RecordingTimeTest.moc"
