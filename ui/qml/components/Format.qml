// SPDX-License-Identifier: GPL-3.0-or-later
pragma Singleton
import QtQuick
import "NumberText.js" as NumberText

// Numbers in the current locale, for every panel.
QtObject {
    function number(value, decimals) {
        return NumberText.format(value, decimals, Qt.locale())
    }
    function parse(text, minimum, maximum) {
        return NumberText.parse(text, Qt.locale(), minimum, maximum)
    }
}
