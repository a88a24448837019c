#pragma once

#include <string>
#include <string_view>

#include "app/unit/support_contact.h"

namespace keelsong {

// Sends the user to the unit's maker: "Contact Vantrel (<contact>) <reason>", with the support
// contact the build was configured with.
inline std::string ContactMakerText(std::string_view reason) {
    return "Contact Vantrel (" + std::string(kSupportContact) + ") " + std::string(reason);
}

}  // namespace keelsong
