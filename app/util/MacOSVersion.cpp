#include "MacOSVersion.h"

#include "SystemProfile.h"

#include <QStringList>

#include <algorithm>
#include <utility>

namespace lurkel {
namespace {

// Splits one version component into its leading number and the text after it
// ("13b2" -> 13, "b2"; "" -> 0, "").
std::pair<qulonglong, QStringView> splitComponent(QStringView component)
{
    qsizetype digits = 0;
    while (digits < component.size() && component.at(digits).isDigit() && component.at(digits).unicode() < 128)
        ++digits;
    qulonglong number = 0;
    for (qsizetype i = 0; i < digits; ++i) {
        const qulonglong digit = component.at(i).unicode() - u'0';
        number = number > (~0ULL - digit) / 10 ? ~0ULL : number * 10 + digit; // saturate
    }
    return {number, component.mid(digits)};
}

} // namespace

MacOSVersion &MacOSVersion::GetInstance()
{
    static MacOSVersion instance;
    return instance;
}

MacOSVersion::MacOSVersion() : MacOSVersion(SystemProfile::productVersion()) {}

MacOSVersion::MacOSVersion(std::optional<QString> version) : m_sMacOSVersion(version.value_or(QString()).trimmed())
{
    initCachedData();
}

void MacOSVersion::initCachedData()
{
    m_bIs_10_9_orHigher = isMacOSHasVersionOrLowerOrHigher(QStringLiteral("10.9"), false, true);
    m_bIs_10_10_orHigher = isMacOSHasVersionOrLowerOrHigher(QStringLiteral("10.10"), false, true);
    m_bIs_10_11_orHigher = isMacOSHasVersionOrLowerOrHigher(QStringLiteral("10.11"), false, true);
    m_bIs_10_13_orHigher = isMacOSHasVersionOrLowerOrHigher(QStringLiteral("10.13"), false, true);
    m_is_10_14_orHigher = isMacOSHasVersionOrLowerOrHigher(QStringLiteral("10.14"), false, true);
}

bool MacOSVersion::isMacOSHasVersionOrLowerOrHigher(const QString &version, bool orLower, bool orHigher) const
{
    if (version.isEmpty() || m_sMacOSVersion.isEmpty()) return true;
    if (orLower && orHigher) return true;
    const int order = compareVersions(m_sMacOSVersion, version);
    if (orHigher) return order >= 0;
    if (orLower) return order <= 0;
    return order == 0;
}

int MacOSVersion::compareVersions(const QString &a, const QString &b)
{
    const QList<QStringView> left = QStringView(a).split(u'.');
    const QList<QStringView> right = QStringView(b).split(u'.');
    const qsizetype count = std::max(left.size(), right.size());
    for (qsizetype i = 0; i < count; ++i) {
        const auto [leftNumber, leftRest] = splitComponent(i < left.size() ? left.at(i) : QStringView());
        const auto [rightNumber, rightRest] = splitComponent(i < right.size() ? right.at(i) : QStringView());
        if (leftNumber != rightNumber) return leftNumber < rightNumber ? -1 : 1;
        const int text = leftRest.compare(rightRest, Qt::CaseSensitive);
        if (text != 0) return text < 0 ? -1 : 1;
    }
    return 0;
}

} // namespace lurkel
