#include "RobotsTxt.h"

#include <QUrl>

#include <algorithm>

namespace RobotsTxt {

namespace {

constexpr qsizetype MaxRuleChars = 200;

bool IsHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    return (c | 0x20) - 'a' + 10;
}

bool IsUnreserved(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

bool IsReserved(unsigned char c)
{
    return c != 0 && QByteArrayView(":/?#[]@!$&'()*+,;=").contains(char(c));
}

void AppendEncoded(QByteArray &out, unsigned char c)
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    out += '%';
    out += Digits[c >> 4];
    out += Digits[c & 0xf];
}

// One spelling for every way of writing the same address: escapes of unreserved characters
// decoded, the other escapes in upper case, and whatever an address cannot hold as it is
// (blanks, non-ASCII bytes, a stray '%') escaped. Patterns and paths both pass through here, so
// "/%7euser" in a file matches the page "/~user".
QByteArray Normalise(QByteArrayView in)
{
    QByteArray out;
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        const auto c = static_cast<unsigned char>(in[i]);
        if (c == '%' && i + 2 < in.size() && IsHex(in[i + 1]) && IsHex(in[i + 2])) {
            const auto value = static_cast<unsigned char>(HexValue(in[i + 1]) * 16 + HexValue(in[i + 2]));
            if (IsUnreserved(value))
                out += char(value);
            else
                AppendEncoded(out, value);
            i += 2;
        } else if (IsUnreserved(c) || IsReserved(c)) {
            out += char(c);
        } else {
            AppendEncoded(out, c);
        }
    }
    return out;
}

// '*' stands for any run of characters and a final '$' for the end of the path; with only these
// two, taking each piece between stars at its first place after the previous one finds a match
// whenever there is one.
bool Matches(QByteArrayView path, QByteArrayView pattern)
{
    const bool anchored = pattern.endsWith('$');
    if (anchored)
        pattern.chop(1);
    qsizetype star = pattern.indexOf('*');
    if (star < 0)
        return anchored ? path == pattern : path.startsWith(pattern);
    if (!path.startsWith(pattern.first(star)))
        return false;
    qsizetype at = star;
    for (;;) {
        const qsizetype start = star + 1;
        star = pattern.indexOf('*', start);
        if (star < 0)
            break;
        const QByteArrayView piece = pattern.sliced(start, star - start);
        const qsizetype found = path.indexOf(piece, at);
        if (found < 0)
            return false;
        at = found + piece.size();
    }
    const QByteArrayView last = pattern.sliced(pattern.lastIndexOf('*') + 1);
    if (anchored)
        return path.size() - last.size() >= at && path.endsWith(last);
    return path.indexOf(last, at) >= 0;
}

QByteArrayView Trimmed(QByteArrayView text)
{
    while (!text.isEmpty() && (text.front() == ' ' || text.front() == '\t'))
        text = text.sliced(1);
    while (!text.isEmpty() && (text.back() == ' ' || text.back() == '\t'))
        text.chop(1);
    return text;
}

bool IsOneOf(QByteArrayView key, std::initializer_list<const char *> names)
{
    return std::any_of(names.begin(), names.end(),
                       [key](const char *name) { return key.compare(name, Qt::CaseInsensitive) == 0; });
}

enum class Key { UserAgent, Allow, Disallow, Other };

// The names as written, with the misspellings Google's crawler accepts.
Key KeyOf(QByteArrayView key)
{
    if (IsOneOf(key, {"user-agent", "useragent", "user agent"}))
        return Key::UserAgent;
    if (IsOneOf(key, {"allow"}))
        return Key::Allow;
    if (IsOneOf(key, {"disallow", "dissallow", "dissalow", "disalow", "diasllow", "disallaw"}))
        return Key::Disallow;
    return Key::Other;
}

enum class Agent { Googlebot, Everyone, Other };

// The product token is the leading letters, '-' and '_' ("Googlebot/2.1" is googlebot,
// "Googlebot-Image" is not).
Agent AgentOf(QByteArrayView value)
{
    if (value.startsWith('*') && Trimmed(value.sliced(1)).isEmpty())
        return Agent::Everyone;
    qsizetype end = 0;
    while (end < value.size()) {
        const char c = value[end];
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' || c == '_'))
            break;
        ++end;
    }
    return value.first(end).compare("googlebot", Qt::CaseInsensitive) == 0 ? Agent::Googlebot
                                                                            : Agent::Other;
}

// The line as the user will read it in a tool tip: no control characters, and not endless.
QString Shown(QByteArrayView line)
{
    QString text = QString::fromUtf8(line);
    for (QChar &c : text) {
        if (c.category() == QChar::Other_Control)
            c = u' ';
    }
    if (text.size() > MaxRuleChars)
        text = text.left(MaxRuleChars - 1) + QChar(0x2026);
    return text;
}

} // namespace

Rules Rules::Parse(QByteArrayView body)
{
    body = body.first(std::min<qsizetype>(body.size(), MaxBytes));
    if (body.startsWith("\xEF\xBB\xBF"))
        body = body.sliced(3);

    std::vector<Rule> googlebot;
    std::vector<Rule> everyone;
    bool sawGooglebot = false;
    bool sawEveryone = false;
    // The agents of the group being read; a user-agent line after a rule begins a new group.
    bool groupGooglebot = false;
    bool groupEveryone = false;
    bool inGroup = false;
    bool readingAgents = false;

    qsizetype start = 0;
    while (start <= body.size()) {
        qsizetype end = start;
        while (end < body.size() && body[end] != '\n' && body[end] != '\r')
            ++end;
        QByteArrayView line = body.sliced(start, end - start);
        start = end + 1;
        if (const qsizetype hash = line.indexOf('#'); hash >= 0)
            line.truncate(hash);
        line = Trimmed(line);
        const qsizetype colon = line.indexOf(':');
        if (colon < 0)
            continue;
        const Key key = KeyOf(Trimmed(line.first(colon)));
        const QByteArrayView value = Trimmed(line.sliced(colon + 1));
        if (key == Key::UserAgent) {
            if (!readingAgents) {
                groupGooglebot = false;
                groupEveryone = false;
            }
            readingAgents = true;
            inGroup = true;
            const Agent agent = AgentOf(value);
            groupGooglebot = groupGooglebot || agent == Agent::Googlebot;
            groupEveryone = groupEveryone || agent == Agent::Everyone;
            sawGooglebot = sawGooglebot || agent == Agent::Googlebot;
            sawEveryone = sawEveryone || agent == Agent::Everyone;
        } else if (key == Key::Allow || key == Key::Disallow) {
            readingAgents = false;
            // An empty value allows everything, which is what no rule does too.
            if (!inGroup || value.isEmpty())
                continue;
            const Rule rule{key == Key::Allow, Normalise(value), Shown(line)};
            if (groupGooglebot)
                googlebot.push_back(rule);
            if (groupEveryone)
                everyone.push_back(rule);
        }
    }

    Rules rules;
    if (sawGooglebot) {
        rules.rules_ = std::move(googlebot);
        rules.agent_ = QStringLiteral("googlebot");
    } else if (sawEveryone) {
        rules.rules_ = std::move(everyone);
        rules.agent_ = QStringLiteral("*");
    }
    return rules;
}

Rules Rules::AllowAll()
{
    return {};
}

Rules Rules::Unknown(const QString &why)
{
    Rules rules;
    rules.unknown_ = why;
    return rules;
}

Judgement Rules::Judge(QStringView pathAndQuery) const
{
    Judgement judgement;
    if (!unknown_.isEmpty()) {
        judgement.access = Access::Unknown;
        judgement.why = unknown_;
        return judgement;
    }
    QByteArray path = Normalise(pathAndQuery.toUtf8());
    if (path.isEmpty())
        path = "/";
    // The file itself is always open to crawlers.
    if (path == "/robots.txt")
        return judgement;
    const Rule *best = nullptr;
    for (const Rule &rule : rules_) {
        if (!Matches(path, rule.pattern))
            continue;
        if (!best || rule.pattern.size() > best->pattern.size() ||
            (rule.pattern.size() == best->pattern.size() && rule.allow && !best->allow))
            best = &rule;
    }
    if (best) {
        judgement.access = best->allow ? Access::Allowed : Access::Disallowed;
        judgement.rule = best->line;
        judgement.agent = agent_;
    }
    return judgement;
}

Rules FromFetch(bool opened, long status, QByteArrayView body, const QString &error)
{
    if (!opened) {
        return Rules::Unknown(QStringLiteral("robots.txt could not be fetched: %1")
                                  .arg(error.isEmpty() ? QStringLiteral("no answer") : error));
    }
    if (status >= 200 && status < 300)
        return Rules::Parse(body);
    // 429 asks the crawler to come back later, as a server error does: what the file says is
    // not known.
    if (status >= 400 && status < 500 && status != 429)
        return Rules::AllowAll();
    return Rules::Unknown(QStringLiteral("robots.txt answered %1").arg(status));
}

namespace {

struct Origin {
    QString scheme;
    QString host;
    int port = -1;
    int defaultPort = -1;
};

bool OriginOf(const QString &pageUrl, Origin &origin)
{
    const QUrl url(pageUrl);
    origin.scheme = url.scheme().toLower();
    if (origin.scheme == u"http")
        origin.defaultPort = 80;
    else if (origin.scheme == u"https")
        origin.defaultPort = 443;
    else
        return false;
    origin.host = url.host(QUrl::FullyEncoded);
    origin.port = url.port(origin.defaultPort);
    return url.isValid() && !origin.host.isEmpty();
}

} // namespace

QString AddressFor(const QString &pageUrl)
{
    Origin origin;
    if (!OriginOf(pageUrl, origin))
        return {};
    QUrl address;
    address.setScheme(origin.scheme);
    address.setHost(origin.host);
    if (origin.port != origin.defaultPort)
        address.setPort(origin.port);
    address.setPath(QStringLiteral("/robots.txt"));
    return address.toString(QUrl::FullyEncoded);
}

QString HostKeyFor(const QString &pageUrl)
{
    Origin origin;
    if (!OriginOf(pageUrl, origin))
        return {};
    QUrl key;
    key.setScheme(origin.scheme);
    key.setHost(origin.host);
    key.setPort(origin.port);
    return key.toString(QUrl::FullyEncoded);
}

QString PathFor(const QString &pageUrl)
{
    const QUrl url(pageUrl);
    QString path = url.path(QUrl::FullyEncoded);
    if (path.isEmpty())
        path = QStringLiteral("/");
    if (url.hasQuery())
        path += u'?' + url.query(QUrl::FullyEncoded);
    return QString::fromLatin1(Normalise(path.toUtf8()));
}

void Apply(PageAnalysis::Analysis &analysis, const Judgement &judgement)
{
    if (judgement.access != Access::Disallowed)
        return;
    PageAnalysis::AddReason(analysis, PageAnalysis::Hollow::RobotsTxt,
                            QStringLiteral("%1 (for %2)").arg(judgement.rule, judgement.agent));
}

} // namespace RobotsTxt
