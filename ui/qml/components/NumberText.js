// SPDX-License-Identifier: GPL-3.0-or-later
.pragma library

// Numbers as the user reads and types them: in the current locale, with a fixed number of decimals.

function format(value, decimals, locale) {
    if (!isFinite(value))
        return ""
    return Number(value).toLocaleString(locale, "f", decimals)
}

// The value typed in a field, or NaN when it is not a finite number inside the range.
function parse(text, locale, minimum, maximum) {
    var trimmed = String(text).trim()
    if (trimmed.length === 0)
        return NaN
    var value
    try {
        value = Number.fromLocaleString(locale, trimmed)
    } catch (error) {
        return NaN
    }
    if (!isFinite(value) || value < minimum || value > maximum)
        return NaN
    return value
}
