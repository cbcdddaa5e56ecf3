#include "HistoryModel.h"

#include "ChangeRule.h"
#include "HistoryCaptions.h"
#include "HistoryRecorder.h"
#include "PageAnalysis.h"
#include "StateMark.h"
#include "VisibleText.h"

#include <QDateTime>
#include <QGuiApplication>
#include <QLocale>

namespace {
const char *const Headers[HistoryModel::ColumnCount] = {"Name", "Page address", "Search term", "Result", "Why",
                                                         "HTTP", "Link text",    "State",       "Since",  "Last checked",
                                                         "Checks", "Changes"};

bool isNumber(int column)
{
    return column == HistoryModel::Result || column == HistoryModel::HttpStatus || column >= HistoryModel::State;
}

// The link text as this window's last check found it, else as the history keeps it from the
// last check that looked at the link.
const QString &linkText(const HistoryModel::Partner &partner)
{
    static const QString none;
    if (partner.latest)
        return partner.latest->linkText;
    return partner.site.details ? partner.site.details->linkText : none;
}

const QString &text(const HistoryModel::Partner &partner, int column)
{
    static const QString none;
    switch (column) {
    case HistoryModel::Name:
        return partner.site.name;
    case HistoryModel::Address:
        return partner.site.url;
    case HistoryModel::Term:
        return partner.site.term;
    case HistoryModel::Why:
        return partner.latest ? partner.latest->why : none;
    case HistoryModel::LinkText:
        return linkText(partner);
    }
    return none;
}

bool known(const HistoryStore::SiteRow &site)
{
    return site.checks > 0;
}
} // namespace

HistoryModel::HistoryModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

QString HistoryModel::keyOf(const QString &url, const QString &term)
{
    return url + QChar(u'\n') + term;
}

void HistoryModel::setPartners(const QList<SiteRecord> &listed, std::vector<HistoryStore::SiteRow> known)
{
    QHash<QString, std::size_t> byKey;
    for (std::size_t i = 0; i < known.size(); ++i)
        byKey.insert(keyOf(known[i].url, known[i].term), i);
    std::vector<bool> taken(known.size(), false);
    std::vector<Partner> partners;
    partners.reserve(std::size_t(listed.size()) + known.size());
    for (const SiteRecord &record : listed) {
        Partner partner;
        partner.listed = true;
        if (const auto it = byKey.constFind(keyOf(record.Url, record.SearchTerm)); it != byKey.cend() && !taken[*it]) {
            partner.site = known[*it];
            taken[*it] = true;
        } else {
            partner.site.url = record.Url;
            partner.site.term = record.SearchTerm;
        }
        // The list's name is the one the user gave last.
        partner.site.name = record.Name;
        partners.push_back(std::move(partner));
    }
    for (std::size_t i = 0; i < known.size(); ++i)
        if (!taken[i])
            partners.push_back({std::move(known[i]), false, std::nullopt});

    bool same = partners.size() == partners_.size();
    for (std::size_t i = 0; same && i < partners.size(); ++i) {
        same = partners[i].site.url == partners_[i].site.url && partners[i].site.term == partners_[i].site.term;
        partners[i].latest = partners_[i].latest;
    }
    if (same) {
        partners_ = std::move(partners);
        if (!partners_.empty())
            emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
        return;
    }
    beginResetModel();
    for (Partner &partner : partners) {
        const int before = rowOf(partner.site.url, partner.site.term);
        if (before >= 0)
            partner.latest = partners_[std::size_t(before)].latest;
    }
    partners_ = std::move(partners);
    rows_.clear();
    for (std::size_t i = 0; i < partners_.size(); ++i)
        rows_.insert(keyOf(partners_[i].site.url, partners_[i].site.term), int(i));
    endResetModel();
}

int HistoryModel::rowOf(const QString &url, const QString &term) const
{
    return rows_.value(keyOf(url, term), -1);
}

HistoryModel::Kind HistoryModel::kind(int row) const
{
    const Partner &partner = partners_[std::size_t(row)];
    if (known(partner.site) && (!partner.latest || partner.latest->recorded))
        return standing(partner.site);
    if (!partner.latest)
        return Kind::Unchecked;
    switch (partner.latest->status) {
    case Verdict::Ok:
        return partner.latest->hollow ? Kind::Hollow : Kind::Ok;
    case Verdict::NotFound:
        return Kind::NotFound;
    case Verdict::PageNotFound:
    case Verdict::Empty:
        break;
    }
    return Kind::Down;
}

HistoryModel::Kind HistoryModel::standing(const HistoryStore::SiteRow &site) const
{
    switch (site.state) {
    case History::State::Ok:
        return Kind::Ok;
    case History::State::HollowOk:
        return Kind::Hollow;
    case History::State::NotFound:
        return site.lost ? Kind::Lost : Kind::NotFound;
    case History::State::PageNotFound:
        break;
    }
    // A page that fails is down until it has failed long enough to count as lost.
    return site.lost && site.downStreak >= downAfter_ ? Kind::Lost : Kind::Down;
}

void HistoryModel::noteChecked(int row, const SiteVerdict::SiteResult &result, qint64 at, const QString &note)
{
    Partner &partner = partners_[std::size_t(row)];
    Latest latest;
    latest.status = result.status;
    latest.why = WhyOf(result);
    latest.httpStatus = result.httpStatus;
    if (result.analysis)
        latest.linkText = result.analysis->linkText;
    latest.hollow = result.analysis && result.analysis->hollow;
    latest.recorded = result.change && !result.change->status.isEmpty();
    latest.note = result.change ? result.change->note : note;
    partner.latest = std::move(latest);
    if (partner.latest->recorded) {
        // The same judgement the history has just made, so the row need not be read again.
        HistoryStore::SiteRow &site = partner.site;
        std::optional<History::Standing> before;
        if (known(site))
            before = History::Standing{site.state, site.since, site.downStreak};
        const History::Judgement judgement = History::Judge(before, HistoryRecorder::OutcomeOf(result), downAfter_);
        if (before && judgement.stateChanged)
            ++site.changes;
        site.state = judgement.state;
        site.downStreak = judgement.downStreak;
        site.since = result.change->since;
        site.lastChecked = at;
        ++site.checks;
        if (judgement.change == History::Change::Lost || judgement.change == History::Change::Down)
            site.lost = true;
        else if (History::IsOk(site.state))
            site.lost = false;
    }
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

std::optional<Verdict> HistoryModel::result(const Partner &partner) const
{
    if (partner.latest)
        return partner.latest->status == Verdict::Empty ? Verdict::PageNotFound : partner.latest->status;
    if (!known(partner.site))
        return std::nullopt;
    return History::VerdictOf(partner.site.state);
}

bool HistoryModel::lessThan(int left, int right, int column) const
{
    const Partner &a = partners_[std::size_t(left)];
    const Partner &b = partners_[std::size_t(right)];
    if (!isNumber(column))
        return text(a, column).compare(text(b, column), Qt::CaseInsensitive) < 0;
    const auto number = [this, column](const Partner &p) -> qint64 {
        switch (column) {
        case Result: {
            const auto status = result(p);
            return status ? qint64(*status) : -1;
        }
        case HttpStatus:
            return p.latest ? p.latest->httpStatus : -1;
        case State:
            return known(p.site) ? qint64(p.site.state) : -1;
        case Since:
            return p.site.since;
        case LastChecked:
            return p.site.lastChecked;
        case Checks:
            return p.site.checks;
        case Changes:
            return p.site.changes;
        }
        return 0;
    };
    return number(a) < number(b);
}

QString HistoryModel::shownText(int row, int column) const
{
    const Partner &partner = partners_[std::size_t(row)];
    const HistoryStore::SiteRow &site = partner.site;
    switch (column) {
    case Result: {
        const auto status = result(partner);
        return status ? ResultCaption(*status) : QString();
    }
    case HttpStatus:
        return partner.latest && partner.latest->httpStatus > 0 ? QString::number(partner.latest->httpStatus) : QString();
    case State:
        return known(site) ? History::StateCaption(site.state) : QString();
    case Since:
        return known(site) ? History::DayCaption(site.since) : QString();
    case LastChecked:
        return known(site) ? WhenCaption(site.lastChecked, QDateTime::currentSecsSinceEpoch()) : QString();
    case Checks:
        return QString::number(site.checks);
    case Changes:
        return QString::number(site.changes);
    }
    // Names, addresses, terms, reasons and link texts come from partner lists and web pages:
    // a control character shows as its code.
    return OneLine(text(partner, column));
}

QString HistoryModel::exportText(int row, int column) const
{
    const Partner &partner = partners_[std::size_t(row)];
    if ((column == Since || column == LastChecked) && known(partner.site))
        return QDateTime::fromSecsSinceEpoch(column == Since ? partner.site.since : partner.site.lastChecked)
                .date()
                .toString(Qt::ISODate);
    if (isNumber(column))
        return shownText(row, column);
    return text(partner, column);
}

int HistoryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(partners_.size());
}

int HistoryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HistoryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole)
        return shownText(index.row(), index.column());
    if ((role == Qt::DecorationRole || role == Qt::ToolTipRole) && index.column() == State) {
        // The mark goes with the state's words: the history's, not a finding it has yet to take.
        const HistoryStore::SiteRow &site = partners_[std::size_t(index.row())].site;
        if (!known(site))
            return {};
        if (role == Qt::ToolTipRole)
            return KindCaption(standing(site));
        return mark(standing(site));
    }
    if (role == Qt::ToolTipRole && (index.column() == Result || index.column() == Why || index.column() == LinkText)) {
        const Partner &partner = partners_[std::size_t(index.row())];
        const QString tip = !partner.latest                ? QString()
                : index.column() == Why                     ? partner.latest->why
                : index.column() == LinkText                ? linkText(partner)
                                                            : partner.latest->note;
        if (!tip.isEmpty())
            return OneLine(tip);
    }
    if (role == Qt::TextAlignmentRole && (index.column() == HttpStatus || index.column() >= Checks))
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return QString::fromLatin1(Headers[section]);
}

QString HistoryModel::ResultCaption(Verdict status)
{
    return History::StateCaption(History::StateOf(status, false));
}

QString HistoryModel::WhyOf(const SiteVerdict::SiteResult &result)
{
    if (result.status == Verdict::Empty)
        return QStringLiteral("empty page");
    if (result.analysis && result.analysis->hollow) {
        // Where the match sits and what the page asks of search engines; not the closing line,
        // which only says that the match does not count.
        QStringList lines = PageAnalysis::Describe(*result.analysis).split(u'\n');
        if (lines.size() > 1)
            lines.removeLast();
        return lines.join(u' ');
    }
    return SiteVerdict::Reason(result);
}

const QIcon &HistoryModel::mark(Kind kind) const
{
    const QPalette palette = QGuiApplication::palette();
    if (palette.cacheKey() != marksPalette_) {
        marksPalette_ = palette.cacheKey();
        for (std::size_t i = 0; i < marks_.size(); ++i)
            marks_[i] = StateMark::Icon(Kind(i), palette);
    }
    return marks_[std::size_t(kind)];
}

QString HistoryModel::KindCaption(Kind kind)
{
    switch (kind) {
    case Kind::Ok:
        return QStringLiteral("OK: the link is there");
    case Kind::Hollow:
        return QStringLiteral("Hollow: the link is there, where search engines do not count it");
    case Kind::Lost:
        return QStringLiteral("Lost: the link was there once and is not now");
    case Kind::Down:
        return QStringLiteral("Down: the page cannot be opened, not yet long enough to count as lost");
    case Kind::NotFound:
        return QStringLiteral("Not found: the page opens without the link, and never had it");
    case Kind::Unchecked:
        break;
    }
    return QStringLiteral("Not checked yet");
}

QString HistoryModel::OneLine(const QString &text)
{
    QString shown = VisibleText::Of(text);
    // Line and paragraph separators, which VisibleText leaves, would break the line.
    shown.replace(QChar(0x2028), QStringLiteral("\\u2028")).replace(QChar(0x2029), QStringLiteral("\\u2029"));
    return shown;
}

QString HistoryModel::WhenCaption(qint64 at, qint64 now)
{
    const QDateTime when = QDateTime::fromSecsSinceEpoch(at);
    if (when.date() == QDateTime::fromSecsSinceEpoch(now).date())
        return QLocale::c().toString(when.time(), QStringLiteral("HH:mm"));
    return History::DayCaption(at);
}
