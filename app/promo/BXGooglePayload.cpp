#include "BXGooglePayload.h"

namespace lurkel {

void BXGooglePayload::addParameter(const QString &key, const QString &value)
{
    // Only letters and digits stay as they are: the marks that URLs leave unencoded ("-",
    // ".", "_", "~") are encoded as well.
    const QByteArray encoded = value.toUtf8().toPercentEncoding(QByteArray(), QByteArray("-._~"));
    if (!m_data.isEmpty()) m_data += QLatin1Char('&');
    m_data += key + QLatin1Char('=') + QString::fromLatin1(encoded);
}

} // namespace lurkel
