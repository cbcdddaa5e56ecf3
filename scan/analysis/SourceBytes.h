#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

// The page text as UTF-8 for the parser, and the way from UTF-16 offsets (where the term is
// matched) to byte offsets (where the parser places the markup).
namespace PageAnalysis {

// UTF-16 units that valid UTF-8 decodes to.
qsizetype Utf16Length(QByteArrayView utf8);

// A lone surrogate becomes U+FFFD, three bytes, as in any UTF-8 encoder that does not fail.
QByteArray ToUtf8(QStringView text);

// Byte offsets of UTF-16 offsets asked for in ascending order; each call continues from the
// last, so a pass over a whole page costs one walk over it.
class ByteOffsets
{
public:
    // ascii: every unit of the text is below 0x80, so offsets are the same in both.
    ByteOffsets(QStringView text, bool ascii);

    // Where the character at unit offset i starts. The low half of a surrogate pair belongs to
    // the character that starts at its high half.
    qsizetype Start(qsizetype i);
    // Where the range of units [i, j) ends, exclusive: a range that ends inside a surrogate pair
    // takes the whole pair. i is asked for as by Start; only the range itself is walked beyond
    // it, so one walker serves both ends of the occurrences of a term.
    qsizetype End(qsizetype i, qsizetype j);

private:
    QStringView text_;
    bool ascii_;
    qsizetype unit_ = 0;
    qsizetype byte_ = 0;
};

} // namespace PageAnalysis
