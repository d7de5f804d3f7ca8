#pragma once

#include <QLocale>
#include <QString>
#include <QTranslator>

namespace Tidemark {

// The application's texts in the user's language (built in, from app/translations), and Qt's own for its
// standard dialogs and buttons (from Qt's translations folder). The log stays in English.
class Translations {
public:
    explicit Translations(const QLocale& locale = QLocale());
    Translations(const Translations&) = delete;
    Translations& operator=(const Translations&) = delete;

    // Puts both in force for QCoreApplication::translate; needs the application object.
    void install();
    // A text before there is an application object (the command line's help): its translation, else itself.
    QString text(const char* source) const;
    bool loaded() const { return appLoaded_; }

private:
    QTranslator app_;
    QTranslator qt_;
    bool appLoaded_ = false;
    bool qtLoaded_ = false;
};

}  // namespace Tidemark
