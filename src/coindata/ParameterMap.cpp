// SPDX-License-Identifier: GPL-3.0-or-later
#include "ParameterMap.h"

namespace ParameterMap {

QStringList outputModeTexts()
{
    // "availiable" is how the selector's users know these entries; keep it.
    return {
        QStringLiteral("1. Pulse output"),
        QStringLiteral("2. Pulse output with INHIBIT"),
        QStringLiteral("3. Pulse, clear residual money after 2 minutes"),
        QStringLiteral("4. Pulse, clear residual after 2 minutes, INHIBIT"),
        QStringLiteral("5. Channels output (NRI-G13)"),
        QStringLiteral("6. Channels output (NRI-G13) with INHIBIT"),
        QStringLiteral("7. Timer output"),
        QStringLiteral("8. Timer output with INHIBIT"),
        QStringLiteral("9. not availiable"),
        QStringLiteral("10. not availiable"),
        QStringLiteral("11. not availiable"),
        QStringLiteral("12. not availiable"),
    };
}

} // namespace ParameterMap
