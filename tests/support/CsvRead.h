#pragma once

#include <string>
#include <string_view>
#include <vector>

using CsvRows = std::vector<std::vector<std::string>>;

// Parses RFC 4180 text with libcsv in strict mode, keeping blanks as they stand. Returns
// false (and the reason in *error) when the text is not well-formed.
bool ReadCsv(std::string_view text, CsvRows &rows, std::string *error = nullptr);
