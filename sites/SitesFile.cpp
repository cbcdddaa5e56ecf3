#include "SitesFile.h"

#include "CodePage.h"

#include <QFile>

#include <limits>
#include <new>
#include <optional>

namespace SitesFile {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isDelimiter(char c)
{
    return c == ',' || c == '\r' || c == '\n';
}

// Reads the file as a stream of items, each ending at a comma or at a line end that is not
// between double quotes. Blanks before an item are skipped. It works on the bytes and yields
// views into them, so that only the fields kept are ever copied; the delimiters are ASCII,
// which both code pages of a sites file write as the same bytes.
class ItemReader
{
public:
    explicit ItemReader(QByteArrayView bytes) : bytes_(bytes) { }

    struct Item {
        QByteArrayView raw;   // between the quotes, or the unquoted item without blanks
        bool doubled = false; // raw holds "" for each quote character
    };

    // nullopt at the end of the file.
    std::optional<Item> next()
    {
        const qsizetype n = bytes_.size();
        while (pos_ < n && isBlank(bytes_[pos_]))
            ++pos_;
        if (pos_ >= n)
            return std::nullopt;
        Item item;
        if (bytes_[pos_] == '"') {
            const qsizetype start = ++pos_;
            while (pos_ < n) {
                if (bytes_[pos_] != '"') {
                    ++pos_;
                } else if (pos_ + 1 < n && bytes_[pos_ + 1] == '"') {
                    item.doubled = true;
                    pos_ += 2;
                } else {
                    break;
                }
            }
            item.raw = bytes_.sliced(start, pos_ - start);
            // Whatever stands between the closing quote and the delimiter is not part of it.
            while (pos_ < n && !isDelimiter(bytes_[pos_]))
                ++pos_;
        } else {
            const qsizetype start = pos_;
            while (pos_ < n && !isDelimiter(bytes_[pos_]))
                ++pos_;
            item.raw = bytes_.sliced(start, pos_ - start);
            while (!item.raw.isEmpty() && isBlank(item.raw.back()))
                item.raw.chop(1);
        }
        skipDelimiter();
        return item;
    }

    // The items left, not counting blank lines.
    qsizetype countRest()
    {
        qsizetype items = 0;
        for (;;) {
            while (pos_ < bytes_.size() && (isBlank(bytes_[pos_]) || bytes_[pos_] == '\r' || bytes_[pos_] == '\n'))
                ++pos_;
            if (!next())
                return items;
            ++items;
        }
    }

private:
    void skipDelimiter()
    {
        if (pos_ >= bytes_.size())
            return;
        if (bytes_[pos_] == '\r' && pos_ + 1 < bytes_.size() && bytes_[pos_ + 1] == '\n')
            ++pos_;
        ++pos_;
    }

    QByteArrayView bytes_;
    qsizetype pos_ = 0;
};

class TextDecoder
{
public:
    explicit TextDecoder(QByteArrayView whole) : utf8_(CodePage::IsValidUtf8(whole)) { }

    QString operator()(QByteArrayView bytes) const
    {
        return utf8_ ? QString::fromUtf8(bytes) : CodePage::FromWindows1252(bytes);
    }

    QString operator()(const ItemReader::Item &item) const
    {
        if (!item.doubled)
            return (*this)(item.raw);
        QByteArray single = item.raw.toByteArray();
        single.replace("\"\"", "\"");
        return (*this)(single);
    }

    // The start of an item, for a message. It is quoted as it stands: whatever shows the
    // message makes its control characters harmless.
    QString quote(QByteArrayView bytes) const
    {
        constexpr qsizetype Shown = 40;
        // Enough bytes for Shown characters in any encoding.
        return (*this)(bytes.first(qMin(bytes.size(), 4 * Shown))).trimmed().left(Shown);
    }

private:
    bool utf8_;
};

bool isSpace(char c)
{
    return isBlank(c) || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// A decimal number with an optional sign and surrounding blanks, bounded to -1 ..
// MaxSites + 1; nullopt when the item is no number or does not fit 64 bits.
std::optional<int> wholeNumber(QByteArrayView item)
{
    while (!item.isEmpty() && isSpace(item.front()))
        item = item.sliced(1);
    while (!item.isEmpty() && isSpace(item.back()))
        item.chop(1);
    bool negative = false;
    if (!item.isEmpty() && (item.front() == '-' || item.front() == '+')) {
        negative = item.front() == '-';
        item = item.sliced(1);
    }
    if (item.isEmpty())
        return std::nullopt;
    qint64 value = 0;
    for (char c : item) {
        if (c < '0' || c > '9')
            return std::nullopt;
        if (value > (std::numeric_limits<qint64>::max() - (c - '0')) / 10)
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (negative)
        value = -value;
    return int(qBound(qint64(-1), value, qint64(MaxSites + 1)));
}

QString sitesText(qsizetype n)
{
    return n == 1 ? QStringLiteral("1 site") : QStringLiteral("%1 sites").arg(n);
}

void decodeInto(QByteArrayView bytes, Decoded &out)
{
    const TextDecoder decode(bytes);
    ItemReader reader(bytes);

    if (bytes.trimmed().isEmpty()) {
        out.error = QStringLiteral("the file is empty");
        return;
    }
    const auto countItem = reader.next();
    if (!countItem) {
        out.error = QStringLiteral("the file ends before the number of sites");
        return;
    }
    const auto count = wholeNumber(countItem->raw);
    if (!count) {
        out.error = QStringLiteral("the first line should begin with the number of sites, not \u201c%1\u201d")
                            .arg(decode.quote(countItem->raw));
        return;
    }
    if (*count < 0 || *count > MaxSites) {
        out.error = QStringLiteral("the first line announces %1 sites; a sites file holds 0 to %2")
                            .arg(decode.quote(countItem->raw))
                            .arg(MaxSites);
        return;
    }
    out.records.resize(*count);
    // Until the file names a valid one, the first record is current, so that a file damaged
    // here still leaves a record to show.
    out.currRecord = *count > 0 ? 1 : 0;

    const auto currentItem = reader.next();
    if (!currentItem) {
        out.error = QStringLiteral("the file ends before the number of the current site");
        return;
    }
    const auto current = wholeNumber(currentItem->raw);
    if (!current) {
        out.error = QStringLiteral("the first line should give the number of the current site after the comma, not \u201c%1\u201d")
                            .arg(decode.quote(currentItem->raw));
        return;
    }
    if (*count == 0)
        out.currRecord = qint16(qBound(0, *current, MaxSites));
    else if (*current >= 1 && *current <= *count)
        out.currRecord = qint16(*current);

    for (int i = 0; i < *count; ++i) {
        SiteRecord &record = out.records[i];
        for (QString *field : {&record.Name, &record.Url, &record.SearchTerm}) {
            const auto item = reader.next();
            if (!item) {
                out.error = QStringLiteral("the file ends inside site %1 of %2 (input past end of file)")
                                    .arg(i + 1)
                                    .arg(*count);
                return;
            }
            *field = decode(*item);
        }
    }

    const qsizetype fields = reader.countRest();
    if (fields == 0)
        return;
    out.extraSites = (fields + 2) / 3;
    out.error = QStringLiteral("the file holds %1 after the %2 its first line announces; the rest is not read")
                        .arg(out.extraSites == 1 ? QStringLiteral("1 more site") : QStringLiteral("%1 more sites").arg(out.extraSites),
                             sitesText(*count));
}

QString outOfMemory(qint64 size)
{
    if (size < 0)
        return QStringLiteral("there is not enough memory to read it");
    return QStringLiteral("there is not enough memory to read a file of %1 bytes").arg(size);
}

} // namespace

Decoded Decode(QByteArrayView bytes)
{
    Decoded out;
    try {
        decodeInto(bytes, out);
    } catch (const std::bad_alloc &) {
        // What was decoded is let go first: the message needs memory too.
        out = Decoded{};
        out.error = outOfMemory(bytes.size());
    }
    return out;
}

QString ReadWhole(QFile &file, QByteArray &bytes)
{
    const qint64 size = file.isSequential() ? -1 : file.size();
    try {
        if (size < 0) {
            bytes = file.readAll();
        } else {
            // One allocation of the file's size, filled in place: reading in pieces would
            // copy the file as the buffer grows, and resize() alone would round it up.
            bytes.reserve(size);
            bytes.resize(size);
            qint64 got = 0;
            while (got < size) {
                const qint64 n = file.read(bytes.data() + got, size - got);
                if (n <= 0)
                    break;
                got += n;
            }
            bytes.truncate(got);
        }
    } catch (const std::bad_alloc &) {
        bytes = QByteArray();
        return outOfMemory(size);
    }
    return file.error() == QFileDevice::NoError ? QString() : file.errorString();
}

QByteArray Encode(const QList<SiteRecord> &records)
{
    QString text = QString::number(records.size()) + QStringLiteral(",1\r\n");
    for (const SiteRecord &record : records) {
        for (const QString *field : {&record.Name, &record.Url, &record.SearchTerm}) {
            text += u'"';
            text += QString(*field).replace(u'"', QStringLiteral("\"\""));
            text += QStringLiteral("\"\r\n");
        }
    }
    return CodePage::Encode(text);
}

} // namespace SitesFile
