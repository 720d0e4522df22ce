#include "UserDefaults.h"

#include "Identity.h"
#include "Log.h"
#include "PosixFile.h"
#include "XdgDirs.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lurkel {
namespace {

const QString kTagDate = QStringLiteral("$date");
const QString kTagData = QStringLiteral("$data");
const QString kTagUint = QStringLiteral("$uint");
const QString kTagReal = QStringLiteral("$real");
const QString kTagDict = QStringLiteral("$dict");

bool isTag(const QString &key)
{
    return key == kTagDate || key == kTagData || key == kTagUint || key == kTagReal || key == kTagDict;
}

QJsonValue encodeValue(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::UInt:
        return QJsonValue(value.toLongLong());
    case QMetaType::ULong:
    case QMetaType::ULongLong: {
        const qulonglong u = value.toULongLong();
        if (u <= static_cast<qulonglong>(std::numeric_limits<qint64>::max())) return QJsonValue(static_cast<qint64>(u));
        return QJsonObject{{kTagUint, QString::number(u)}};
    }
    case QMetaType::Float:
    case QMetaType::Double: {
        const double d = value.toDouble();
        if (!std::isfinite(d)) {
            return QJsonObject{{kTagReal, std::isnan(d) ? QStringLiteral("nan")
                                          : d > 0       ? QStringLiteral("inf")
                                                        : QStringLiteral("-inf")}};
        }
        // An integral double would read back as an integer: tag it to keep its kind.
        if (d == std::floor(d) && std::abs(d) < 1e15) return QJsonObject{{kTagReal, d}};
        return d;
    }
    case QMetaType::QString:
        return value.toString();
    case QMetaType::QDateTime:
        return QJsonObject{{kTagDate, value.toDateTime().toUTC().toString(Qt::ISODateWithMs)}};
    case QMetaType::QByteArray:
        return QJsonObject{{kTagData, QString::fromLatin1(value.toByteArray().toBase64())}};
    case QMetaType::QStringList:
    case QMetaType::QVariantList: {
        QJsonArray array;
        for (const QVariant &item : value.toList())
            array.append(encodeValue(item));
        return array;
    }
    case QMetaType::QVariantMap: {
        const QVariantMap map = value.toMap();
        QJsonObject object;
        for (auto it = map.begin(); it != map.end(); ++it)
            object.insert(it.key(), encodeValue(it.value()));
        if (object.size() == 1 && isTag(object.begin().key())) return QJsonObject{{kTagDict, object}};
        return object;
    }
    default:
        return value.toString();
    }
}

QVariant decodeValue(const QJsonValue &value);

QVariantMap decodeObject(const QJsonObject &object)
{
    QVariantMap map;
    for (auto it = object.begin(); it != object.end(); ++it)
        map.insert(it.key(), decodeValue(it.value()));
    return map;
}

QVariant decodeValue(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Bool:
        return value.toBool();
    case QJsonValue::Double:
        return value.toVariant(); // qlonglong for integers, double otherwise
    case QJsonValue::String:
        return value.toString();
    case QJsonValue::Array: {
        QVariantList list;
        for (const auto &item : value.toArray())
            list.append(decodeValue(item));
        return list;
    }
    case QJsonValue::Object: {
        const QJsonObject object = value.toObject();
        if (object.size() == 1) {
            const QString tag = object.begin().key();
            const QJsonValue inner = object.begin().value();
            if (tag == kTagDate) return QDateTime::fromString(inner.toString(), Qt::ISODateWithMs);
            if (tag == kTagData) return QByteArray::fromBase64(inner.toString().toLatin1());
            if (tag == kTagUint) return inner.toString().toULongLong();
            if (tag == kTagReal) {
                if (inner.isString()) {
                    const QString s = inner.toString();
                    if (s == QLatin1String("inf")) return std::numeric_limits<double>::infinity();
                    if (s == QLatin1String("-inf")) return -std::numeric_limits<double>::infinity();
                    return std::numeric_limits<double>::quiet_NaN();
                }
                return inner.toDouble();
            }
            if (tag == kTagDict) return decodeObject(inner.toObject());
        }
        return decodeObject(object);
    }
    default:
        return {};
    }
}

bool isNumberVariant(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Float:
    case QMetaType::Double:
        return true;
    default:
        return false;
    }
}

// The leading number of a text, as the string conversions of the defaults read it:
// leading white space skipped, an optional sign, digits (and for doubles a fraction and
// exponent); nothing readable gives 0.
double leadingNumber(const QString &text, bool integral)
{
    const QByteArray s = text.trimmed().toLatin1();
    std::size_t used = 0;
    const std::string str(s.constData(), static_cast<std::size_t>(s.size()));
    try {
        if (integral) return static_cast<double>(std::stoll(str, &used));
        return std::stod(str, &used);
    } catch (...) {
        return 0.0;
    }
}

// An exclusive flock on path, held until destruction (closing the file releases it).
class FileLock {
public:
    explicit FileLock(const BytePath &path) : m_fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600))
    {
        if (!m_fd.valid()) return;
        while (::flock(m_fd.get(), LOCK_EX) != 0) {
            if (errno != EINTR) {
                m_fd.reset();
                return;
            }
        }
    }
    bool locked() const { return m_fd.valid(); }

private:
    UniqueFd m_fd;
};

} // namespace

QByteArray UserDefaults::encode(const QVariantMap &values)
{
    QJsonObject object;
    for (auto it = values.begin(); it != values.end(); ++it)
        object.insert(it.key(), encodeValue(it.value()));
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

std::optional<QVariantMap> UserDefaults::decode(const QByteArray &json)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) return std::nullopt;
    return decodeObject(doc.object());
}

UserDefaults &UserDefaults::standardUserDefaults()
{
    return suite(QString::fromLatin1(Identity::kBundleIdentifier));
}

UserDefaults &UserDefaults::suite(const QString &name)
{
    static std::mutex mutex;
    static std::map<QString, std::unique_ptr<UserDefaults>> suites;
    std::lock_guard lock(mutex);
    auto &slot = suites[name];
    if (!slot) slot = std::make_unique<UserDefaults>(name);
    return *slot;
}

UserDefaults::UserDefaults(QString domain) : m_domain(std::move(domain)) {}

BytePath UserDefaults::filePath() const
{
    return XdgDirs::configHome() / (BytePath::fromText(m_domain).bytes() + ".json");
}

bool UserDefaults::becomeReadOnlyLocked(const QString &reason)
{
    if (!m_readOnly) {
        m_readOnly = true;
        m_readOnlyReason = reason;
        qCWarning(lcDefaults, "settings are read-only for this run, nothing is written to %s: %s", filePath().c_str(),
                  qUtf8Printable(reason));
    }
    return false;
}

bool UserDefaults::readFileLocked(QVariantMap &out)
{
    out.clear();
    const BytePath path = filePath();
    const QString shown = path.displayString();
    const auto failed = [&](int errnum) {
        return becomeReadOnlyLocked(
            Error::posix(errnum, QStringLiteral("cannot read ") + shown).localizedDescription());
    };
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        if (errno != ENOENT) return failed(errno);
        m_target = path;
        return true;
    }
    BytePath target = path;
    if (S_ISLNK(st.st_mode)) {
        // Written through: the new file goes beside the target, and the link stays.
        std::unique_ptr<char, decltype(&::free)> resolved(::realpath(path.c_str(), nullptr), &::free);
        if (!resolved) {
            return becomeReadOnlyLocked(
                Error::posix(errno, QStringLiteral("cannot follow the link ") + shown).localizedDescription());
        }
        target = BytePath(resolved.get());
        if (::access(target.c_str(), W_OK) != 0) {
            return becomeReadOnlyLocked(
                Error::posix(errno, QStringLiteral("cannot write through the link ") + shown).localizedDescription());
        }
    }
    // Not blocking: a FIFO put there must not hang the start.
    UniqueFd fd(::open(target.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid()) return failed(errno);
    if (::fstat(fd.get(), &st) != 0) return failed(errno);
    if (!S_ISREG(st.st_mode)) {
        return becomeReadOnlyLocked(QStringLiteral("%1 is not a regular file").arg(shown));
    }
    const auto tooLarge = [&]() {
        return becomeReadOnlyLocked(
            QStringLiteral("%1 is larger than %2 MiB").arg(shown).arg(kMaxFileSize / (1024 * 1024)));
    };
    if (st.st_size > kMaxFileSize) return tooLarge();
    QByteArray data;
    char buffer[65536];
    ssize_t n = 0;
    while ((n = ::read(fd.get(), buffer, sizeof buffer)) != 0) {
        if (n < 0) {
            if (errno == EINTR) continue;
            return failed(errno);
        }
        data.append(buffer, n);
        if (data.size() > kMaxFileSize) return tooLarge();
    }
    fd.reset();
    m_target = target;
    if (const std::optional<QVariantMap> values = decode(data)) {
        out = *values;
        return true;
    }
    // Damaged: keep the copy aside for the user and start empty; where it cannot be moved,
    // leave it alone and write nothing.
    const std::string stamp =
        QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec).toString(QStringLiteral("yyyyMMdd-HHmmss")).toStdString();
    int err = EEXIST;
    for (int attempt = 0; attempt < 100 && err == EEXIST; ++attempt) {
        std::string aside = target.bytes() + ".corrupt-" + stamp;
        if (attempt > 0) aside += "-" + std::to_string(attempt);
        err = renameNoReplace(AT_FDCWD, target.c_str(), AT_FDCWD, aside.c_str());
        if (err == 0)
            qCWarning(lcDefaults, "damaged settings file %s moved aside to %s", target.c_str(), aside.c_str());
    }
    if (err != 0) {
        return becomeReadOnlyLocked(
            Error::posix(err, QStringLiteral("%1 is damaged and cannot be moved aside").arg(target.displayString()))
                .localizedDescription());
    }
    // A link must not be left leading nowhere (that would make the next run read-only): an
    // empty file takes the damaged one's place.
    if (target != path) {
        if (const auto error = writeFileAtomically(target, "{}\n", {.mode = 0600, .target = AtomicWrite::NoReplace}))
            logFailure(lcDefaults, "UserDefaults replace damaged", *error);
    }
    return true;
}

void UserDefaults::loadIfChangedLocked()
{
    if (m_loaded) return;
    (void)makePath(XdgDirs::configHome()); // a failure shows when the files in it cannot be made
    FileLock lock(BytePath(filePath().bytes() + ".lock"));
    QVariantMap disk;
    readFileLocked(disk);
    // keys changed here before the first read win over what is on disk
    for (const QString &key : std::as_const(m_dirty)) {
        if (m_values.contains(key)) {
            disk.insert(key, m_values.value(key));
        } else {
            disk.remove(key);
        }
    }
    m_values = disk;
    m_loaded = true;
}

QVariant UserDefaults::objectForKey(const QString &key)
{
    QMutexLocker lock(&m_mutex);
    loadIfChangedLocked();
    return m_values.value(key);
}

bool UserDefaults::contains(const QString &key)
{
    QMutexLocker lock(&m_mutex);
    loadIfChangedLocked();
    return m_values.contains(key);
}

bool UserDefaults::boolForKey(const QString &key, bool fallback)
{
    const QVariant v = objectForKey(key);
    if (!v.isValid()) return fallback;
    if (v.typeId() == QMetaType::Bool) return v.toBool();
    if (isNumberVariant(v)) return v.toDouble() != 0.0;
    if (v.typeId() == QMetaType::QString) {
        // like a text's boolean value: Y, y, T, t or a digit 1-9 after white space, sign and zeros
        QString s = v.toString().trimmed();
        qsizetype i = 0;
        if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-'))) ++i;
        while (i < s.size() && s[i] == QLatin1Char('0'))
            ++i;
        if (i >= s.size()) return false;
        const QChar c = s[i];
        return c == QLatin1Char('Y') || c == QLatin1Char('y') || c == QLatin1Char('T') || c == QLatin1Char('t') ||
               (c >= QLatin1Char('1') && c <= QLatin1Char('9'));
    }
    return false;
}

qint64 UserDefaults::integerForKey(const QString &key, qint64 fallback)
{
    const QVariant v = objectForKey(key);
    if (!v.isValid()) return fallback;
    if (v.typeId() == QMetaType::Bool) return v.toBool() ? 1 : 0;
    if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float) {
        const double d = v.toDouble();
        if (!std::isfinite(d)) return 0;
        return static_cast<qint64>(std::clamp(d, -9.2e18, 9.2e18));
    }
    if (isNumberVariant(v)) return v.toLongLong();
    if (v.typeId() == QMetaType::QString) return static_cast<qint64>(leadingNumber(v.toString(), true));
    return 0;
}

double UserDefaults::doubleForKey(const QString &key, double fallback)
{
    const QVariant v = objectForKey(key);
    if (!v.isValid()) return fallback;
    if (v.typeId() == QMetaType::Bool) return v.toBool() ? 1.0 : 0.0;
    if (isNumberVariant(v)) return v.toDouble();
    if (v.typeId() == QMetaType::QString) return leadingNumber(v.toString(), false);
    return 0.0;
}

QString UserDefaults::stringForKey(const QString &key)
{
    const QVariant v = objectForKey(key);
    if (v.typeId() == QMetaType::QString) return v.toString();
    if (isNumberVariant(v)) return v.toString();
    return {};
}

bool UserDefaults::isNumber(const QString &key)
{
    return isNumberVariant(objectForKey(key));
}

void UserDefaults::setObject(const QString &key, const QVariant &value)
{
    QMutexLocker lock(&m_mutex);
    loadIfChangedLocked();
    if (value.isValid()) {
        m_values.insert(key, value);
    } else {
        m_values.remove(key);
    }
    m_dirty.insert(key);
}

void UserDefaults::removeObject(const QString &key)
{
    setObject(key, QVariant());
}

bool UserDefaults::synchronize()
{
    QMutexLocker lock(&m_mutex);
    loadIfChangedLocked();
    if (m_readOnly) return false;
    const BytePath path = filePath();
    (void)makePath(XdgDirs::configHome()); // a failure shows when the files in it cannot be made
    FileLock fileLock(BytePath(path.bytes() + ".lock"));
    if (!fileLock.locked()) {
        logFailure(lcDefaults, "UserDefaults lock", Error::posix(errno, path.displayString()));
        return false;
    }

    // What the others wrote, with our own changes on top. Always read again: a writer that
    // rewrote it in place within one timestamp tick leaves no other trace.
    QVariantMap merged;
    if (!readFileLocked(merged)) return false;
    for (const QString &key : std::as_const(m_dirty)) {
        if (m_values.contains(key)) {
            merged.insert(key, m_values.value(key));
        } else {
            merged.remove(key);
        }
    }

    if (!m_dirty.isEmpty()) {
        const QByteArray data = encode(merged);
        if (auto error = writeFileAtomically(
                m_target, std::string_view(data.constData(), static_cast<std::size_t>(data.size())), {.mode = 0600})) {
            logFailure(lcDefaults, "UserDefaults write", *error);
            return false;
        }
        m_dirty.clear();
    }
    m_values = merged;
    return true;
}

void UserDefaults::removePersistentDomain()
{
    QMutexLocker lock(&m_mutex);
    const BytePath path = filePath();
    FileLock fileLock(BytePath(path.bytes() + ".lock"));
    // A file this run cannot read is the user's to remove.
    QVariantMap current;
    if (!m_readOnly && readFileLocked(current) && ::unlink(path.c_str()) != 0 && errno != ENOENT) {
        logFailure(lcDefaults, "UserDefaults remove domain", Error::posix(errno, path.displayString()));
    }
    m_values.clear();
    m_dirty.clear();
    m_loaded = true;
}

bool UserDefaults::isReadOnly()
{
    QMutexLocker lock(&m_mutex);
    loadIfChangedLocked();
    return m_readOnly;
}

QString UserDefaults::readOnlyReason()
{
    QMutexLocker lock(&m_mutex);
    loadIfChangedLocked();
    return m_readOnlyReason;
}

QVariantMap UserDefaults::dictionaryRepresentation()
{
    QMutexLocker lock(&m_mutex);
    loadIfChangedLocked();
    return m_values;
}

} // namespace lurkel
