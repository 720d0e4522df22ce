#pragma once

#include <QPointF>
#include <QString>
#include <QVariant>

#include <ostream>

// Readable failure messages for Qt values in gtest assertions.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QVariant &value, std::ostream *out)
{
    *out << "QVariant(" << value.typeName() << ", " << value.toString().toStdString() << ')';
}

inline void PrintTo(const QPointF &point, std::ostream *out)
{
    *out << '(' << point.x() << ", " << point.y() << ')';
}
