#include "HistoryCommand.h"

#include "CheckReport.h"
#include "CsvWriter.h"
#include "HistoryStore.h"
#include "VisibleText.h"

#include <nlohmann/json.hpp>

#include <QFile>

namespace HistoryCommand {

namespace {

using json = nlohmann::ordered_json;
constexpr const char *CsvHeader = "name,url,term,state,from,to,change,current";

std::string csv(const QString &text)
{
    return CsvWriter::Field(VisibleText::Of(text).toStdString());
}

} // namespace

QString Print(const QString &historyFile, const QList<SiteRecord> &sites, CheckOptions::Format format,
              std::ostream &out, const std::function<void(const QString &)> &warn)
{
    if (!QFile::exists(historyFile))
        return QStringLiteral("no history has been recorded yet: %1 does not exist").arg(historyFile);
    HistoryStore store;
    const HistoryStore::Opened opened = store.open(historyFile);
    if (!opened.usable)
        return opened.message;
    if (!opened.message.isEmpty())
        warn(opened.message);

    json document = json::object();
    json &list = document["sites"] = json::array();
    if (format == CheckOptions::Format::Csv)
        out << CsvHeader << "\r\n";
    for (const SiteRecord &site : sites) {
        const auto known = store.site(site.Url, site.SearchTerm);
        const std::vector<HistoryStore::Span> spans = known ? store.timeline(known->id) : std::vector<HistoryStore::Span>();
        switch (format) {
        case CheckOptions::Format::Text:
            out << VisibleText::Of(site.Name).toStdString() << '\n';
            if (spans.empty())
                out << "  no checks recorded\n";
            for (const HistoryStore::Span &span : spans)
                out << "  " << History::StateWord(span.state) << '\t' << CheckReport::Moment(span.from).toStdString()
                    << '\t' << CheckReport::Moment(span.to).toStdString() << (span.current ? "\tcurrent" : "") << '\n';
            break;
        case CheckOptions::Format::Json: {
            json entry = json::object();
            // As in the check report: no control or bidirectional character reaches a terminal.
            entry["name"] = VisibleText::Of(site.Name).toStdString();
            entry["url"] = VisibleText::Of(site.Url).toStdString();
            entry["term"] = VisibleText::Of(site.SearchTerm).toStdString();
            json &timeline = entry["timeline"] = json::array();
            for (const HistoryStore::Span &span : spans)
                timeline.push_back({{"state", History::StateWord(span.state)},
                                    {"from", CheckReport::Moment(span.from).toStdString()},
                                    {"to", CheckReport::Moment(span.to).toStdString()},
                                    {"change", History::ChangeWord(span.change)},
                                    {"current", span.current}});
            list.push_back(std::move(entry));
            break;
        }
        case CheckOptions::Format::Csv:
            for (const HistoryStore::Span &span : spans)
                out << csv(site.Name) << ',' << csv(site.Url) << ',' << csv(site.SearchTerm) << ','
                    << History::StateWord(span.state) << ',' << CheckReport::Moment(span.from).toStdString() << ','
                    << CheckReport::Moment(span.to).toStdString() << ',' << History::ChangeWord(span.change) << ','
                    << (span.current ? "true" : "false") << "\r\n";
            break;
        }
    }
    if (format == CheckOptions::Format::Json)
        out << document.dump(2, ' ', false, json::error_handler_t::replace) << '\n';
    return {};
}

} // namespace HistoryCommand
