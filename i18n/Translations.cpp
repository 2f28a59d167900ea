// SPDX-License-Identifier: GPL-3.0-or-later
#include "i18n/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace ovra::i18n {
namespace {

// The texts are written in English, whose catalogue holds only their plural forms; a language
// without catalogues of its own gets those rather than "1 frame(s)".
bool load(QTranslator &translator, const QLocale &locale, const QString &catalogue)
{
    const QString prefix = QStringLiteral("_");
    const QString folder = QStringLiteral(":/i18n");
    return translator.load(locale, catalogue, prefix, folder)
        || translator.load(QLocale(QLocale::English), catalogue, prefix, folder);
}

} // namespace

InstalledTranslators::InstalledTranslators(const QLocale &locale)
{
    for (const char *catalogue : {"ovra-motion", "ovra-motion_motion_core", "ovra-motion_media"}) {
        auto translator = std::make_unique<QTranslator>();
        if (load(*translator, locale, QString::fromLatin1(catalogue))) {
            QCoreApplication::installTranslator(translator.get());
            m_translators.push_back(std::move(translator));
        }
    }
    // Qt's own texts: the file dialog's, the command line's help.
    auto qtTranslator = std::make_unique<QTranslator>();
    if (qtTranslator->load(locale, QStringLiteral("qt"), QStringLiteral("_"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(qtTranslator.get());
        m_translators.push_back(std::move(qtTranslator));
    }
}

InstalledTranslators::~InstalledTranslators()
{
    while (!m_translators.empty())
        m_translators.pop_back();
}

} // namespace ovra::i18n
