#pragma once

#include <QString>

// What one check of a partner's page found. The window, the checker, the history and the
// Partners window all name a check's outcome with this one list and its words.
enum class Verdict {
    Ok,           // the term occurs in the page text
    NotFound,     // the page opened, is not empty and lacks the term
    PageNotFound, // the page could not be opened
    Empty,        // the page opened but delivered nothing; the window writes no line for it
};

// The stable word that json, csv and the history use: ok, not_found, page_not_found, empty.
const char *VerdictWord(Verdict verdict);
// The window's status text ("  --> OK", ...); empty for Verdict::Empty.
QString VerdictLine(Verdict verdict);
