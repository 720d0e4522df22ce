#include "Log.h"

Q_LOGGING_CATEGORY(lcPlatform, "lurkel.platform")
Q_LOGGING_CATEGORY(lcDefaults, "lurkel.defaults")
Q_LOGGING_CATEGORY(lcSpawn, "lurkel.spawn")
Q_LOGGING_CATEGORY(lcBus, "lurkel.bus")
Q_LOGGING_CATEGORY(lcCore, "lurkel.core")
Q_LOGGING_CATEGORY(lcVisibility, "lurkel.visibility")
Q_LOGGING_CATEGORY(lcSearch, "lurkel.search")
Q_LOGGING_CATEGORY(lcResults, "lurkel.results")
Q_LOGGING_CATEGORY(lcMemory, "lurkel.memory")
Q_LOGGING_CATEGORY(lcLogin, "lurkel.login")
Q_LOGGING_CATEGORY(lcPromo, "lurkel.promo")

namespace lurkel {

void logFailure(LogCategory category, const char *operation, const Error &error)
{
    qCWarning(category, "%s %s (%s %d)", operation, qUtf8Printable(error.localizedDescription()),
              qUtf8Printable(error.domain), error.code);
}

} // namespace lurkel
