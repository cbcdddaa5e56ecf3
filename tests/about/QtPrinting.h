#pragma once

#include <QString>
#include <QUrl>

#include <ostream>

// Readable failure messages for Qt's texts and addresses.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QUrl &url, std::ostream *os)
{
    *os << url.toString().toStdString();
}
