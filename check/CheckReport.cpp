#include "CheckReport.h"

#include "CsvWriter.h"
#include "ResultLine.h"
#include "VisibleText.h"

#include <QDateTime>

namespace CheckReport {

namespace {

using json = nlohmann::ordered_json;
using SiteVerdict::SiteResult;

json text(const QString &value)
{
    return value.toStdString();
}

json textOrNull(const QString &value)
{
    return value.isEmpty() ? json() : text(value);
}

json texts(const QStringList &values)
{
    json list = json::array();
    for (const QString &value : values)
        list.push_back(text(value));
    return list;
}

// The analysis of a match; nullptr when there is none to report.
const PageAnalysis::Analysis *placed(const SiteResult &r)
{
    return r.analysis && r.analysis->found ? &*r.analysis : nullptr;
}

// The stable words, strongest first.
json reasonWords(const PageAnalysis::Analysis &analysis)
{
    json list = json::array();
    for (const PageAnalysis::HollowReason &reason : analysis.reasons)
        list.push_back(PageAnalysis::HollowWord(reason.why));
    return list;
}

constexpr Field FieldTable[] = {
    {"name", [](const SiteRecord &s, const SiteResult &) { return text(s.Name); }},
    {"url", [](const SiteRecord &s, const SiteResult &) { return text(s.Url); }},
    {"status", [](const SiteRecord &, const SiteResult &r) { return json(VerdictWord(r.status)); }},
    {"http_status", [](const SiteRecord &, const SiteResult &r) { return r.httpStatus ? json(r.httpStatus) : json(); }},
    {"final_url", [](const SiteRecord &, const SiteResult &r) { return textOrNull(r.finalUrl); }},
    {"bytes", [](const SiteRecord &, const SiteResult &r) { return json(r.bytes); }},
    {"ms", [](const SiteRecord &, const SiteResult &r) { return json(r.ms); }},
    {"match_offset", [](const SiteRecord &, const SiteResult &r) { return r.matchOffset >= 0 ? json(r.matchOffset) : json(); }},
    {"truncated", [](const SiteRecord &, const SiteResult &r) { return json(r.truncated); }},
    {"error", [](const SiteRecord &, const SiteResult &r) { return textOrNull(r.error); }},
    {"match_context", [](const SiteRecord &, const SiteResult &r) { return placed(r) ? text(placed(r)->contextName) : json(); }},
    {"occurrences", [](const SiteRecord &, const SiteResult &r) { return placed(r) ? json(placed(r)->occurrences) : json(); }},
    {"rel", [](const SiteRecord &, const SiteResult &r) { return placed(r) ? texts(placed(r)->rel) : json(); }, " "},
    {"robots", [](const SiteRecord &, const SiteResult &r) { return placed(r) ? texts(placed(r)->robots) : json(); }, "; "},
    {"noindex", [](const SiteRecord &, const SiteResult &r) { return placed(r) ? json(placed(r)->noindex) : json(); }},
    {"nofollow", [](const SiteRecord &, const SiteResult &r) { return placed(r) ? json(placed(r)->nofollow) : json(); }},
    {"hollow", [](const SiteRecord &, const SiteResult &r) { return placed(r) ? json(placed(r)->hollow) : json(); }},
    {"verified", [](const SiteRecord &, const SiteResult &r) { return json(r.verified); }},
    {"previous_status", [](const SiteRecord &, const SiteResult &r) { return r.change ? textOrNull(r.change->previousStatus) : json(); }},
    {"status_since", [](const SiteRecord &, const SiteResult &r) { return r.change ? text(Moment(r.change->since)) : json(); }},
    {"change", [](const SiteRecord &, const SiteResult &r) { return r.change ? text(r.change->change) : json(); }},
    {"note", [](const SiteRecord &, const SiteResult &r) { return r.change ? textOrNull(r.change->note) : json(); }},
    {"hollow_reasons", [](const SiteRecord &, const SiteResult &r) { return placed(r) ? reasonWords(*placed(r)) : json(); }, " "},
    {"link_text", [](const SiteRecord &, const SiteResult &r) { return placed(r) ? textOrNull(placed(r)->linkText) : json(); }},
    {"link_href", [](const SiteRecord &, const SiteResult &r) { return placed(r) ? textOrNull(placed(r)->linkHref) : json(); }},
    {"canonical", [](const SiteRecord &, const SiteResult &r) { return placed(r) ? textOrNull(placed(r)->canonical) : json(); }},
    {"rendered", [](const SiteRecord &, const SiteResult &r) { return json(r.rendered); }},
};

// Names and pages come from outside; a broken character must not stop the report. The
// library escapes C0 controls but leaves DEL and the C1 controls (U+0080 to U+009F, which
// some terminals obey) raw; outside strings a document holds only ASCII, so they are
// escaped here.
std::string dump(const json &value, int indent = -1)
{
    const std::string raw = value.dump(indent, ' ', false, json::error_handler_t::replace);
    std::string out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const auto c = static_cast<unsigned char>(raw[i]);
        const bool c1 = c == 0xC2 && i + 1 < raw.size() && static_cast<unsigned char>(raw[i + 1]) <= 0x9F;
        if (c == 0x7F || c1) {
            const unsigned code = c == 0x7F ? c : static_cast<unsigned char>(raw[++i]);
            static constexpr char Hex[] = "0123456789abcdef";
            out += "\\u00";
            out += Hex[code >> 4];
            out += Hex[code & 0xF];
        } else {
            out += char(c);
        }
    }
    return out;
}

std::string csvText(const std::string &text)
{
    return CsvWriter::Field(VisibleText::Of(text));
}

std::string csvValue(const Field &field, const json &value)
{
    if (value.is_null())
        return {};
    if (value.is_string())
        return csvText(value.get_ref<const std::string &>());
    if (value.is_array() && field.csvSeparator) {
        std::string joined;
        bool first = true;
        for (const json &item : value) {
            if (!first)
                joined += field.csvSeparator;
            first = false;
            joined += item.is_string() ? item.get_ref<const std::string &>() : dump(item);
        }
        return csvText(joined);
    }
    return dump(value);
}

} // namespace

std::span<const Field> Fields()
{
    return FieldTable;
}

QString Moment(qint64 secondsSinceEpoch)
{
    return QDateTime::fromSecsSinceEpoch(secondsSinceEpoch, Qt::UTC).toString(Qt::ISODate);
}

bool IsChange(const SiteChange &change)
{
    return !change.change.isEmpty() && change.change != u"unchanged";
}

std::string TextSuffix(const SiteChange &change, bool withChange)
{
    QString out;
    if (withChange && IsChange(change)) {
        out += u'\t' + change.change + QStringLiteral(": ");
        if (!change.previousStatus.isEmpty())
            out += change.previousStatus + QStringLiteral(" -> ");
        out += change.status + QStringLiteral(" since ") + Moment(change.since);
    }
    if (!change.note.isEmpty())
        out += u'\t' + VisibleText::Of(change.note);
    return out.toStdString();
}

void Summary::add(const SiteVerdict::SiteResult &result)
{
    if (result.verified)
        ++verified;
    if (result.analysis && result.analysis->hollow)
        ++hollow;
    switch (result.status) {
    case Verdict::Ok:
        ++ok;
        break;
    case Verdict::NotFound:
        ++notFound;
        break;
    case Verdict::PageNotFound:
        ++pageNotFound;
        break;
    case Verdict::Empty:
        ++empty;
        break;
    }
}

QString ClosingLine(qsizetype verified, qsizetype sites)
{
    return QStringLiteral("Finished . . .") + (verified > 0 ? QString::number(verified) : QString())
            + QStringLiteral(" out of ") + QString::number(sites) + QStringLiteral(" verified");
}

QString TextLine(const QString &name, const SiteResult &result, bool withReason)
{
    QString line = ResultLine::Make(VisibleText::Of(name), VerdictLine(result.status));
    if (!withReason)
        return line;
    if (const QString reason = SiteVerdict::Reason(result); !reason.isEmpty())
        line += QStringLiteral("  [") + VisibleText::Of(reason) + QLatin1Char(']');
    if (const PageAnalysis::Analysis *analysis = placed(result); analysis && !analysis->reasons.empty()) {
        QStringList phrases;
        for (const PageAnalysis::HollowReason &reason : analysis->reasons)
            phrases << PageAnalysis::HollowPhrase(reason);
        line += QStringLiteral("  [hollow: ") + VisibleText::Of(phrases.join(QStringLiteral(", "))) + QLatin1Char(']');
    }
    return line;
}

Writer::Writer(CheckOptions::Format format, std::ostream &out, bool reasons)
    : format_(format), out_(out), reasons_(reasons)
{
}

void Writer::begin()
{
    switch (format_) {
    case CheckOptions::Format::Text:
        break;
    case CheckOptions::Format::Json:
        out_ << "{\n  \"schema\": " << JsonSchema << ",\n  \"sites\": [\n";
        break;
    case CheckOptions::Format::Csv: {
        std::string header;
        for (const Field &field : Fields()) {
            if (!header.empty())
                header += ',';
            header += field.name;
        }
        out_ << header << "\r\n";
        break;
    }
    }
}

void Writer::site(const SiteRecord &site, const SiteVerdict::SiteResult &result)
{
    switch (format_) {
    case CheckOptions::Format::Text:
        // As in the window, an empty page gets no line.
        if (result.status != Verdict::Empty)
            out_ << TextLine(site.Name, result, reasons_).toStdString()
                 << (result.change ? TextSuffix(*result.change, showChanges_) : std::string()) << '\n';
        break;
    case CheckOptions::Format::Json: {
        json object = json::object();
        for (const Field &field : Fields())
            object[field.name] = field.value(site, result);
        // Held until the next one shows whether a comma follows, so that every write ends a
        // line and a progress bar below it never lands inside the document.
        if (!heldJson_.empty())
            out_ << "    " << heldJson_ << ",\n";
        heldJson_ = dump(object);
        break;
    }
    case CheckOptions::Format::Csv: {
        std::string row;
        bool firstField = true;
        for (const Field &field : Fields()) {
            if (!firstField)
                row += ',';
            firstField = false;
            row += csvValue(field, field.value(site, result));
        }
        out_ << row << "\r\n";
        break;
    }
    }
}

void Writer::end(const Summary &summary)
{
    switch (format_) {
    case CheckOptions::Format::Text:
        out_ << ClosingLine(summary.verified, summary.checked()).toStdString() << '\n';
        break;
    case CheckOptions::Format::Json: {
        json s = json::object();
        s["sites_file"] = summary.sitesFile.toStdString();
        s["checked"] = summary.checked();
        s["strict"] = summary.strict;
        s["verified"] = summary.verified;
        s["not_verified"] = summary.checked() - summary.verified;
        s[VerdictWord(Verdict::Ok)] = summary.ok;
        s[VerdictWord(Verdict::NotFound)] = summary.notFound;
        s[VerdictWord(Verdict::PageNotFound)] = summary.pageNotFound;
        s[VerdictWord(Verdict::Empty)] = summary.empty;
        s["hollow"] = summary.hollow;
        s["ms"] = summary.ms;
        if (!heldJson_.empty())
            out_ << "    " << heldJson_ << "\n";
        heldJson_.clear();
        out_ << "  ],\n  \"summary\": " << dump(s) << "\n}\n";
        break;
    }
    case CheckOptions::Format::Csv:
        break;
    }
    out_.flush();
}

} // namespace CheckReport
