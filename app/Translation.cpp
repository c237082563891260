#include "app/Translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool installRussianTranslation(QCoreApplication& app) {
    // Owned by the application: it must live as long as any dialog does.
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_ru"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}
