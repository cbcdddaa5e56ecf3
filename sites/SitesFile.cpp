#include "SitesFile.h"

#include "CodePage.h"

#include <optional>

namespace SitesFile {

namespace {

// Reads the file as a stream of items, each ending at a comma or at a line end that is not
// between double quotes. Blanks before an item are skipped.
class ItemReader
{
public:
    explicit ItemReader(QString text) : text_(std::move(text)) { }

    // nullopt at the end of the file.
    std::optional<QString> next()
    {
        const qsizetype n = text_.size();
        while (pos_ < n && (text_[pos_] == u' ' || text_[pos_] == u'\t'))
            ++pos_;
        if (pos_ >= n)
            return std::nullopt;
        QString item;
        if (text_[pos_] == u'"') {
            ++pos_;
            while (pos_ < n) {
                const QChar c = text_[pos_++];
                if (c != u'"') {
                    item += c;
                } else if (pos_ < n && text_[pos_] == u'"') {
                    item += c;
                    ++pos_;
                } else {
                    break;
                }
            }
            // Whatever stands between the closing quote and the delimiter is not part of it.
            while (pos_ < n && !isDelimiter(text_[pos_]))
                ++pos_;
        } else {
            const qsizetype start = pos_;
            while (pos_ < n && !isDelimiter(text_[pos_]))
                ++pos_;
            item = text_.mid(start, pos_ - start);
            while (!item.isEmpty() && (item.back() == u' ' || item.back() == u'\t'))
                item.chop(1);
        }
        skipDelimiter();
        return item;
    }

private:
    static bool isDelimiter(QChar c) { return c == u',' || c == u'\r' || c == u'\n'; }

    void skipDelimiter()
    {
        if (pos_ >= text_.size())
            return;
        if (text_[pos_] == u'\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == u'\n')
            ++pos_;
        ++pos_;
    }

    QString text_;
    qsizetype pos_ = 0;
};

std::optional<int> wholeNumber(const QString &item)
{
    bool ok = false;
    const qlonglong value = item.trimmed().toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return int(qBound(qlonglong(-1), value, qlonglong(SitesFile::MaxSites + 1)));
}

} // namespace

Decoded Decode(QByteArrayView bytes)
{
    Decoded out;
    ItemReader reader(CodePage::Decode(bytes));

    if (bytes.trimmed().isEmpty()) {
        out.error = QStringLiteral("the file is empty");
        return out;
    }
    const auto countItem = reader.next();
    if (!countItem) {
        out.error = QStringLiteral("the file ends before the number of sites");
        return out;
    }
    const auto count = wholeNumber(*countItem);
    if (!count) {
        out.error = QStringLiteral("the first line should begin with the number of sites, not \u201c%1\u201d")
                            .arg(countItem->left(40));
        return out;
    }
    if (*count < 0 || *count > MaxSites) {
        out.error = QStringLiteral("the first line announces %1 sites; a sites file holds 0 to %2")
                            .arg(countItem->trimmed().left(40))
                            .arg(MaxSites);
        return out;
    }
    out.records.resize(*count);

    const auto currentItem = reader.next();
    if (!currentItem) {
        out.error = QStringLiteral("the file ends before the number of the current site");
        return out;
    }
    const auto current = wholeNumber(*currentItem);
    if (!current) {
        out.error = QStringLiteral("the first line should give the number of the current site after the comma, not \u201c%1\u201d")
                            .arg(currentItem->left(40));
        return out;
    }
    if (*count == 0)
        out.currRecord = qint16(qBound(0, *current, MaxSites));
    else
        out.currRecord = qint16((*current >= 1 && *current <= *count) ? *current : 1);

    for (int i = 0; i < *count; ++i) {
        SiteRecord &record = out.records[i];
        for (QString *field : {&record.Name, &record.Url, &record.SearchTerm}) {
            const auto item = reader.next();
            if (!item) {
                out.error = QStringLiteral("the file ends inside site %1 of %2 (input past end of file)")
                                    .arg(i + 1)
                                    .arg(*count);
                return out;
            }
            *field = *item;
        }
    }
    return out;
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
