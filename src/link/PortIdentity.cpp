// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortIdentity.h"

bool PortIdentity::mayReopen(const std::optional<PortIdentity>& chosen, const PortIdentity& now)
{
    switch (now.kind) {
    case Kind::Absent:
    case Kind::StableName:
        return true;
    case Kind::Unknown:
        return false;
    case Kind::BuiltIn:
    case Kind::Adapter:
        // A name that never opened was chosen for whatever device comes to it.
        return !chosen || *chosen == now;
    }
    return false;
}
