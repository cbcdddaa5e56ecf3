#include "PageAddress.h"

namespace PageAnalysis::PageAddress {

namespace {

// What identifies a page: QUrl has already put the scheme and host in lower case and the
// percent-encoding in one form.
QString Key(const QUrl &url)
{
    QString scheme = url.scheme().toLower();
    int port = url.port();
    if ((scheme == u"http" && port == 80) || (scheme == u"https" && port == 443))
        port = -1;
    if (scheme == u"https")
        scheme = QStringLiteral("http");
    QString path = url.path(QUrl::FullyEncoded);
    if (path.endsWith(u'/'))
        path.chop(1);
    QString key = scheme + QStringLiteral("://") + url.userInfo(QUrl::FullyEncoded) + u'@' + url.host(QUrl::FullyEncoded);
    if (port >= 0)
        key += u':' + QString::number(port);
    key += path;
    if (url.hasQuery())
        key += u'?' + url.query(QUrl::FullyEncoded);
    return key;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

} // namespace

QUrl Resolve(const QUrl &base, QStringView href)
{
    QString cleaned;
    cleaned.reserve(href.size());
    for (const QChar c : href)
        if (c != u'\t' && c != u'\n' && c != u'\r')
            cleaned += c;
    qsizetype from = 0;
    qsizetype to = cleaned.size();
    while (from < to && cleaned[from].unicode() <= 0x20)
        ++from;
    while (to > from && cleaned[to - 1].unicode() <= 0x20)
        --to;
    const QUrl relative(cleaned.sliced(from, to - from));
    if (!relative.isValid())
        return {};
    return base.isEmpty() ? relative : base.resolved(relative);
}

bool SamePage(const QUrl &a, const QUrl &b)
{
    return Key(a.adjusted(QUrl::NormalizePathSegments)) == Key(b.adjusted(QUrl::NormalizePathSegments));
}

QString CanonicalInLinkHeader(QByteArrayView value)
{
    qsizetype i = 0;
    const qsizetype size = value.size();
    while (i < size) {
        while (i < size && (IsBlank(value[i]) || value[i] == ','))
            ++i;
        if (i >= size || value[i] != '<')
            break;
        const qsizetype close = value.indexOf('>', i);
        if (close < 0)
            break;
        const QByteArrayView target = value.sliced(i + 1, close - i - 1);
        i = close + 1;
        bool canonical = false;
        // Parameters up to the comma that ends this link: name=token or name="quoted string".
        while (i < size && value[i] != ',') {
            if (value[i] != ';') {
                ++i;
                continue;
            }
            ++i;
            while (i < size && IsBlank(value[i]))
                ++i;
            const qsizetype nameFrom = i;
            while (i < size && value[i] != '=' && value[i] != ';' && value[i] != ',' && !IsBlank(value[i]))
                ++i;
            const QByteArrayView name = value.sliced(nameFrom, i - nameFrom);
            while (i < size && IsBlank(value[i]))
                ++i;
            if (i >= size || value[i] != '=')
                continue;
            ++i;
            while (i < size && IsBlank(value[i]))
                ++i;
            QByteArray said;
            if (i < size && value[i] == '"') {
                for (++i; i < size && value[i] != '"'; ++i) {
                    if (value[i] == '\\' && i + 1 < size)
                        ++i;
                    said += value[i];
                }
                ++i;
            } else {
                const qsizetype from = i;
                while (i < size && value[i] != ';' && value[i] != ',')
                    ++i;
                said = value.sliced(from, i - from).toByteArray();
            }
            if (name.compare("rel", Qt::CaseInsensitive) == 0)
                for (const QByteArray &token : said.simplified().split(' '))
                    canonical = canonical || token.compare("canonical", Qt::CaseInsensitive) == 0;
        }
        if (canonical)
            return QString::fromUtf8(target).trimmed();
    }
    return {};
}

QString Written(const QUrl &url, QStringView fallback)
{
    return url.isValid() && !url.isEmpty() ? url.toString(QUrl::FullyEncoded) : fallback.toString();
}

} // namespace PageAnalysis::PageAddress
