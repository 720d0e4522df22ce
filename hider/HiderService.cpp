#include "HiderService.h"
#include "MessageNames.h"
#include "SessionDisplay.h"

#include "DistributedNotificationCenter.h"
#include "HiddenItemsUpdater.h"
#include "Identity.h"
#include "Log.h"
#include "ScriptsManager.h"

#include <QPointer>
#include <QStringList>

namespace lurkel {
namespace {

QString itemFailures(const VisibilityUpdate &update)
{
    QStringList lines;
    for (const VisibilityFailure &failure : update.failures)
        lines << failure.path.displayString() + QStringLiteral(": ") + failure.error.localizedDescription();
    return lines.join(QLatin1Char('\n'));
}

// The display the relaunched file managers are to show their windows on, for the scripts.
void giveScriptsADisplay(ScriptsManager &scripts)
{
    const SessionDisplay::Found display = SessionDisplay::find();
    switch (display.source) {
    case SessionDisplay::Source::OwnEnvironment:
        break;
    case SessionDisplay::Source::FileManager:
    case SessionDisplay::Source::Session: {
        QStringList names;
        for (const auto &variable : display.variables)
            names << QString::fromStdString(variable.first + "=" + variable.second);
        qCInfo(lcVisibility, "no display of our own: the file managers are relaunched on %s, from %s",
               qUtf8Printable(names.join(QLatin1Char(' '))), qUtf8Printable(display.description));
        break;
    }
    case SessionDisplay::Source::None:
        qCWarning(lcVisibility, "no display known (none of our own, no running file manager has one, the session "
                                "manager names none): file managers relaunched now may not come back");
        break;
    }
    scripts.setScriptEnvironment(display.source == SessionDisplay::Source::OwnEnvironment ? SessionDisplay::Variables{}
                                                                                          : display.variables);
}

} // namespace

HiderService::HiderService(Services services, QObject *parent) : QObject(parent), m_services(std::move(services))
{
    armIdleTimer();
}

HiderService::~HiderService()
{
    cancelIdleTimer();
}

Clock &HiderService::clock() const
{
    return m_services.clock != nullptr ? *m_services.clock : Clock::instance();
}

bool HiderService::registerOn(QDBusConnection bus)
{
    if (bus.registerObject(QString::fromLatin1(MessageNames::kHiderPath), this, QDBusConnection::ExportAllSlots)) {
        return true;
    }
    qCWarning(lcVisibility, "cannot export %s: %s", MessageNames::kHiderPath,
              qUtf8Printable(bus.lastError().message()));
    return false;
}

QVariantMap HiderService::Request(const QVariantMap &request)
{
    cancelIdleTimer();
    setDelayedReply(true);
    m_queue.push_back(Pending{connection(), message(), request});
    takeNext();
    return {};
}

void HiderService::takeNext()
{
    while (!m_busy && !m_queue.empty()) {
        const Pending pending = std::move(m_queue.front());
        m_queue.pop_front();
        QString refusal;
        const std::optional<HiderRequest> request = HiderRequest::fromDictionary(pending.request, refusal);
        if (!request) {
            qCWarning(lcVisibility, "request refused: %s", qUtf8Printable(refusal));
            answer(pending, false, refusal);
        } else if (request->kind == HiderRequest::Kind::ShowHidden) {
            showHidden(request->hide, pending); // may leave the service busy until its script ends
        } else {
            setItemHidden(*request, pending);
        }
    }
    if (!m_busy && m_queue.empty()) armIdleTimer();
}

void HiderService::setItemHidden(const HiderRequest &request, const Pending &pending)
{
    const VisibilityUpdate update =
        HiddenItemsUpdater::performSetVisibilityForFilesArray(!request.hide, {request.path});
    if (!update.changed.empty()) {
        // Open windows do not watch ".hidden": the script has them read the changed items
        // again. It returns at once; the item's own change is what the answer reports.
        m_services.scripts->executeAppleScriptHandlerCompletion(
            QString::fromLatin1(kRefreshScriptName), kRefreshHandler, update.changed,
            [](const std::optional<ScriptResult> &, const std::optional<Error> &error) {
                if (error) logFailure(lcVisibility, kRefreshScriptName, *error);
            });
    }
    answer(pending, update.failures.empty(), itemFailures(update));
}

// Nothing more is run after the script: the file managers it restarted open their windows
// afresh with the new setting (on the folders they were started with), and those it left
// running follow the setting by themselves.
void HiderService::showHidden(bool shown, const Pending &pending)
{
    m_busy = true;
    giveScriptsADisplay(*m_services.scripts);
    const QString script = QString::fromLatin1(shown ? kShowScriptName : kHideScriptName);
    QPointer<HiderService> self(this);
    m_services.scripts->executeAppleScriptCompletion(
        script, [self, shown, pending](const std::optional<ScriptResult> &, const std::optional<Error> &error) {
            if (!self) return;
            if (error) {
                self->answer(pending, false, error->localizedDescription());
            } else {
                self->m_services.center->post(QString::fromLatin1(MessageNames::kXpcNote),
                                              QString::fromLatin1(Identity::kBundleIdentifier),
                                              {{QString::fromLatin1(MessageNames::kShowHiddenStateKey), shown}});
                self->answer(pending, true);
            }
            self->m_busy = false;
            self->takeNext();
        });
}

void HiderService::answer(const Pending &pending, bool success, const QString &error)
{
    QVariantMap reply{{QString::fromLatin1(MessageNames::kHiderSuccess), success}};
    if (!success) reply.insert(QString::fromLatin1(MessageNames::kHiderError), error);
    QDBusConnection connection = pending.connection;
    if (!connection.send(pending.message.createReply(QVariant(reply)))) {
        qCWarning(lcVisibility, "cannot answer a request: %s", qUtf8Printable(connection.lastError().message()));
    }
}

void HiderService::armIdleTimer()
{
    cancelIdleTimer();
    if (!m_services.onIdle) return;
    QPointer<HiderService> self(this);
    m_idleTimer = clock().schedule(m_services.idleMs, [self] {
        if (!self) return;
        self->m_idleTimer = 0;
        if (self->m_busy || !self->m_queue.empty()) return;
        qCInfo(lcVisibility, "no request for %lld ms: ending", static_cast<long long>(self->m_services.idleMs));
        self->m_services.onIdle();
    });
}

void HiderService::cancelIdleTimer()
{
    if (m_idleTimer != 0) clock().cancel(m_idleTimer);
    m_idleTimer = 0;
}

} // namespace lurkel
