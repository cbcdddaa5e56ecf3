#include "CsvRead.h"

#include <csv.h>

namespace {

struct Collector {
    CsvRows *rows;
    std::vector<std::string> row;
};

void onField(void *data, std::size_t length, void *context)
{
    auto *c = static_cast<Collector *>(context);
    c->row.emplace_back(data ? static_cast<const char *>(data) : "", length);
}

void onRowEnd(int, void *context)
{
    auto *c = static_cast<Collector *>(context);
    c->rows->push_back(std::move(c->row));
    c->row.clear();
}

int noBlanks(unsigned char)
{
    return 0;
}

} // namespace

bool ReadCsv(std::string_view text, CsvRows &rows, std::string *error)
{
    csv_parser parser;
    if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI) != 0)
        return false;
    csv_set_space_func(&parser, noBlanks);
    Collector collector{&rows, {}};
    const std::size_t used = csv_parse(&parser, text.data(), text.size(), onField, onRowEnd, &collector);
    bool ok = used == text.size();
    if (csv_fini(&parser, onField, onRowEnd, &collector) != 0)
        ok = false;
    if (!ok && error)
        *error = csv_strerror(csv_error(&parser));
    csv_free(&parser);
    return ok;
}
