// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLocale>
#include <QTranslator>

#include <memory>
#include <vector>

namespace ovra::i18n {

// The product's catalogues ("ovra-motion", "ovra-motion_motion_core", "ovra-motion_media", in
// that order) loaded from the resources for a locale and installed while this object lives; a
// locale without catalogues keeps the English source texts with their plural forms. Qt's own
// catalogue for the locale follows where the system has it. Removed last loaded first.
class InstalledTranslators
{
public:
    explicit InstalledTranslators(const QLocale &locale);
    ~InstalledTranslators();
    InstalledTranslators(const InstalledTranslators &) = delete;
    InstalledTranslators &operator=(const InstalledTranslators &) = delete;

    int count() const { return int(m_translators.size()); }

private:
    std::vector<std::unique_ptr<QTranslator>> m_translators;
};

} // namespace ovra::i18n
