#include "Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace Tidemark {

Translations::Translations(const QLocale& locale) {
    // English is the source language: nothing to load, and no English file of Qt's to find.
    if (locale.language() == QLocale::English || locale.language() == QLocale::C) return;
    appLoaded_ = app_.load(locale, QStringLiteral("tidemark"), QStringLiteral("_"), QStringLiteral(":/i18n"));
    qtLoaded_ = qt_.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

void Translations::install() {
    if (qtLoaded_) QCoreApplication::installTranslator(&qt_);
    if (appLoaded_) QCoreApplication::installTranslator(&app_);
}

QString Translations::text(const char* source) const {
    const QString translated = appLoaded_ ? app_.translate("Tidemark", source) : QString();
    return translated.isEmpty() ? QString::fromUtf8(source) : translated;
}

}  // namespace Tidemark
