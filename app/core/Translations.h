#pragma once

#include <QCoreApplication>
#include <QLocale>
#include <QString>
#include <QTranslator>

namespace Tidemark {

// Who reads a text marked QT_TRANSLATE_NOOP("Tidemark", ...): the user, in their language, or the log, which
// stays in English.
enum class Audience { user, log };
inline QString text(const char* source, Audience audience = Audience::user) {
    return audience == Audience::log ? QString::fromUtf8(source) : QCoreApplication::translate("Tidemark", source);
}

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
