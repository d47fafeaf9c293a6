// Qt's own texts in the operator's language, and the picture types the run-time can show.
#include "platform/ui/rt_model.h"

#include <QApplication>
#include <QByteArray>
#include <QImageReader>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <memory>

using namespace rt;

namespace {

// The one translator of the run-time's own texts; replaced on every language change.
std::unique_ptr<QTranslator> &installed() {
    static std::unique_ptr<QTranslator> translator;
    return translator;
}

void removeInstalled() {
    if (installed()) {
        QCoreApplication::removeTranslator(installed().get());
        installed().reset();
    }
}

// The locale of an English language name as RT_GetSystemLanguageName reports it. The texts of
// the language files are those of Portugal, so Portuguese takes Portugal's Qt texts.
QLocale localeOf(const QString &name) {
    for (int l = QLocale::AnyLanguage + 1; l <= QLocale::LastLanguage; ++l) {
        const auto language = static_cast<QLocale::Language>(l);
        if (QLocale::languageToString(language).compare(name, Qt::CaseInsensitive) != 0) continue;
        if (language == QLocale::Portuguese) return QLocale(language, QLocale::Portugal);
        return QLocale(language);
    }
    return QLocale::c();
}

} // namespace

int RT_SetToolkitLanguage(const char *englishName) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    removeInstalled();
    const QLocale locale = localeOf(fromC(englishName));
    // Qt's texts are English already: nothing to load for English or an unknown language.
    if (locale.language() == QLocale::C || locale.language() == QLocale::English) return 0;
    auto translator = std::make_unique<QTranslator>();
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    // The base module alone holds the dialogs, buttons and key names and loads fastest; some
    // languages ship only the older catalogue of all modules in one.
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder) &&
        !translator->load(locale, QStringLiteral("qt"), QStringLiteral("_"), folder))
        return 0;
    if (!QCoreApplication::installTranslator(translator.get())) return 0;
    installed() = std::move(translator);
    return 1;
}

int RT_GetImageFileTypes(char *buffer, size_t size) {
    if (!buffer || size == 0) return RT_ERR_NULL_POINTER;
    QStringList patterns;
    for (const QByteArray &format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(format);
    const QString list = patterns.join(';');
    // A cut list would offer half a type: refuse instead.
    if (static_cast<size_t>(list.toUtf8().size()) >= size) {
        buffer[0] = '\0';
        return RT_ERR_INVALID_VALUE;
    }
    copyOut(list, buffer, size);
    return 0;
}
