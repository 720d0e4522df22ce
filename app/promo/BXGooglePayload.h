#pragma once

#include <QString>

namespace lurkel {

// The query string of one analytics hit, built parameter by parameter in the order added.
class BXGooglePayload {
public:
    // Appends "key=value" ("&" between parameters). The key goes in as it is; the value is
    // percent-encoded, every byte of its UTF-8 form but ASCII letters and digits.
    void addParameter(const QString &key, const QString &value);
    const QString &data() const { return m_data; }

private:
    QString m_data;
};

} // namespace lurkel
