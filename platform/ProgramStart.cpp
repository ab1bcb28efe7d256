#include "platform/ProgramStart.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <csignal>

void ProgramStart::prepare()
{
    std::signal(SIGXFSZ, SIG_IGN);
}

void ProgramStart::settle(QApplication &application)
{
    QGuiApplication::setDesktopFileName(QStringLiteral(LARVENTA_APP_ID));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(LARVENTA_APP_ID)));
    auto *qtTexts = new QTranslator(&application);
    if (qtTexts->load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qtTexts);
}
