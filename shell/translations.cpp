#include "translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

void loadQtTranslations(QCoreApplication &app)
{
    auto *translator = new QTranslator(&app);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    const QLocale system = QLocale::system();
    // The program speaks Chinese: an English (or unset) locale gets Chinese
    // too; any other language gets its own where Qt has it, else Chinese.
    const bool own = system.language() != QLocale::English && system.language() != QLocale::C
        && translator->load(system, QStringLiteral("qtbase"), QStringLiteral("_"), folder);
    if (own || translator->load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"), folder))
        QCoreApplication::installTranslator(translator);
}
