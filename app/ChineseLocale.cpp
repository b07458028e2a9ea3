#include "app/ChineseLocale.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

std::unique_ptr<QTranslator> useChineseWhateverTheLocale() {
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    QLocale::setDefault(chinese);
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return nullptr;
    QCoreApplication::installTranslator(translator.get());
    return translator;
}
