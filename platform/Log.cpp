#include "Log.h"

#include "TerminalText.h"

#include <mutex>

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
Q_LOGGING_CATEGORY(lcDiskUsage, "lurkel.diskusage")

namespace lurkel {

void logFailure(LogCategory category, const char *operation, const Error &error)
{
    qCWarning(category, "%s %s (%s %d)", operation, qUtf8Printable(error.localizedDescription()),
              qUtf8Printable(error.domain), error.code);
}

namespace {

QtMessageHandler g_nextHandler = nullptr;

void oneLineHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    g_nextHandler(type, context, oneLineLogMessage(message));
}

} // namespace

QString oneLineLogMessage(const QString &message)
{
    const QByteArray utf8 = message.toUtf8();
    const std::string line = lineForLog(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
    return QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
}

void installOneLineLogging()
{
    static std::once_flag once;
    std::call_once(once, [] { g_nextHandler = qInstallMessageHandler(oneLineHandler); });
}

} // namespace lurkel
