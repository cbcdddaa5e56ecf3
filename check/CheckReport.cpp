#include "CheckReport.h"

#include "ChangeReport.h"
#include "ResultLine.h"

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

constexpr Field FieldTable[] = {
    {"name", [](const SiteRecord &s, const SiteResult &) { return text(s.Name); }},
    {"url", [](const SiteRecord &s, const SiteResult &) { return text(s.Url); }},
    {"status", [](const SiteRecord &, const SiteResult &r) { return json(SiteVerdict::StatusWord(r.status)); }},
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
    {"status_since", [](const SiteRecord &, const SiteResult &r) { return r.change ? text(ChangeReport::Moment(r.change->since)) : json(); }},
    {"change", [](const SiteRecord &, const SiteResult &r) { return r.change ? text(r.change->change) : json(); }},
    {"note", [](const SiteRecord &, const SiteResult &r) { return r.change ? textOrNull(r.change->note) : json(); }},
};

// Names and pages come from outside; a broken character must not stop the report.
std::string dump(const json &value, int indent = -1)
{
    return value.dump(indent, ' ', false, json::error_handler_t::replace);
}

std::string csvValue(const Field &field, const json &value)
{
    if (value.is_null())
        return {};
    if (value.is_string())
        return CsvField(value.get_ref<const std::string &>());
    if (value.is_array() && field.csvSeparator) {
        std::string joined;
        bool first = true;
        for (const json &item : value) {
            if (!first)
                joined += field.csvSeparator;
            first = false;
            joined += item.is_string() ? item.get_ref<const std::string &>() : dump(item);
        }
        return CsvField(joined);
    }
    return dump(value);
}

} // namespace

std::span<const Field> Fields()
{
    return FieldTable;
}

void Summary::add(const SiteVerdict::SiteResult &result)
{
    if (result.verified)
        ++verified;
    if (result.analysis && result.analysis->hollow)
        ++hollow;
    switch (result.status) {
    case SiteVerdict::Status::Ok:
        ++ok;
        break;
    case SiteVerdict::Status::NotFound:
        ++notFound;
        break;
    case SiteVerdict::Status::PageNotFound:
        ++pageNotFound;
        break;
    case SiteVerdict::Status::Empty:
        ++empty;
        break;
    }
}

QString ClosingLine(qsizetype verified, qsizetype sites)
{
    return QStringLiteral("Finished . . .") + (verified > 0 ? QString::number(verified) : QString())
            + QStringLiteral(" out of ") + QString::number(sites) + QStringLiteral(" verified");
}

std::string CsvField(std::string_view text)
{
    // Blanks at either end are kept by RFC 4180 but trimmed by many readers: quoting keeps them.
    const bool blankAtEnd = !text.empty() && (text.front() == ' ' || text.front() == '\t'
                                              || text.back() == ' ' || text.back() == '\t');
    if (!blankAtEnd && text.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(text);
    std::string out;
    out.reserve(text.size() + 8);
    out += '"';
    for (char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

Writer::Writer(CheckOptions::Format format, std::ostream &out) : format_(format), out_(out) { }

void Writer::begin()
{
    switch (format_) {
    case CheckOptions::Format::Text:
        break;
    case CheckOptions::Format::Json:
        out_ << "{\n  \"sites\": [\n";
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
        if (result.status != SiteVerdict::Status::Empty)
            out_ << ResultLine::Make(site.Name, SiteVerdict::StatusText(result.status)).toStdString()
                 << (result.change ? ChangeReport::TextSuffix(*result.change, showChanges_) : std::string()) << '\n';
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
        s["ok"] = summary.ok;
        s["not_found"] = summary.notFound;
        s["page_not_found"] = summary.pageNotFound;
        s["empty"] = summary.empty;
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
