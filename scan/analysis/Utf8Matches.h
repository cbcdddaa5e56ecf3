#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

#include <cstdint>
#include <vector>

namespace PageAnalysis {

// Every place where a term occurs in the bytes of a UTF-8 text by FindIt::Find's rule,
// overlapping places included, found in the bytes themselves. Only an ASCII term is matched
// so: each of its characters is one byte, and in the text only an ASCII byte or a character that
// upper-cases to an ASCII letter (dotless i, long s) can equal one. A text holding such a
// character for a letter of the term is left to the decoded text. Work grows linearly with the
// text, whatever the term.
class Utf8Matches
{
public:
    // text: valid UTF-8 without a byte order mark.
    Utf8Matches(QByteArrayView text, QStringView term);

    // Whether the bytes alone tell: the term is ASCII and not empty, and the text holds no
    // character outside ASCII that the search takes for one of its letters.
    bool usable() const { return usable_; }
    // Byte offset of the next place after the last one given; -1 when there is none.
    qsizetype next();

private:
    bool matchesAt(qsizetype at) const;
    qsizetype scan();
    qsizetype knuthMorrisPratt();

    QByteArrayView text_;
    QByteArray upper_; // the term, letters in upper case
    bool usable_ = false;
    qsizetype from_ = 0; // where the search goes on
    qint64 work_ = 0;    // bytes compared beyond the first and last of each candidate
    // Once candidates cost too much, the rest of the text is read by Knuth-Morris-Pratt.
    bool linear_ = false;
    std::vector<std::uint32_t> border_;
    qsizetype matched_ = 0;
};

} // namespace PageAnalysis
