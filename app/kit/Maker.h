#pragma once

#include <QString>

// The maker's addresses, as the build was configured (BROLT_SERVER_HOST and
// BROLT_SUPPORT_ADDRESS; the README says how): one web server for the
// versions file, the installers, the web mail form and the home page, and the
// mailbox that "Mail Log" and the information window write to.  Until real
// ones are configured both are ".example" names, which reach nobody.

#ifndef BROLT_SERVER_HOST
#define BROLT_SERVER_HOST "www.brolt.example"
#endif
#ifndef BROLT_SUPPORT_ADDRESS
#define BROLT_SUPPORT_ADDRESS "support@brolt.example"
#endif

namespace Maker {
inline QString ServerHost() {
    return QStringLiteral(BROLT_SERVER_HOST);
}
inline QString SupportAddress() {
    return QStringLiteral(BROLT_SUPPORT_ADDRESS);
}
} // namespace Maker
