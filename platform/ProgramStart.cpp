#include "platform/ProgramStart.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

void ProgramStart::settle(QApplication &application)
{
    settle(application, QStringLiteral(LARVENTA_APP_ID));
}

void ProgramStart::settle(QApplication &application, const QString &desktopFileName)
{
    QGuiApplication::setDesktopFileName(desktopFileName);
    QApplication::setWindowIcon(QIcon::fromTheme(desktopFileName));
    auto *qtTexts = new QTranslator(&application);
    if (qtTexts->load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qtTexts);
}
