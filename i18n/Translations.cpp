// SPDX-License-Identifier: GPL-3.0-or-later
#include "i18n/Translations.h"

#include <QCoreApplication>

namespace ovra::i18n {

InstalledTranslators::InstalledTranslators(const QLocale &locale)
{
    for (const char *catalogue : {"ovra-motion", "ovra-motion_motion_core", "ovra-motion_media"}) {
        auto translator = std::make_unique<QTranslator>();
        if (translator->load(locale, QString::fromLatin1(catalogue), QStringLiteral("_"), QStringLiteral(":/i18n"))) {
            QCoreApplication::installTranslator(translator.get());
            m_translators.push_back(std::move(translator));
        }
    }
}

InstalledTranslators::~InstalledTranslators()
{
    while (!m_translators.empty())
        m_translators.pop_back();
}

} // namespace ovra::i18n
