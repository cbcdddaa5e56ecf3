#pragma once

#include "HistoryModel.h"

#include <QColor>
#include <QIcon>
#include <QPalette>

// The mark beside a partner's state in the Partners window: a small disc in the colour of its
// kind (green OK, amber hollow, red lost, a red ring for down, grey not found), made darker or
// lighter until it stands out from the table's rows in the palette at hand, light or dark.
class StateMark
{
public:
    // The kind's colour, readable on the palette's base and alternate base; invalid for a
    // partner never checked.
    static QColor Colour(HistoryModel::Kind kind, const QPalette &palette);
    // A state's colour in the timeline, drawn on the window's background: green OK, amber
    // hollow, red not found, grey for a page that failed; readable on that background.
    static QColor Colour(History::State state, const QPalette &palette);
    // The mark, with a version for selected rows ringed in the highlight's text colour; null
    // for a partner never checked.
    static QIcon Icon(HistoryModel::Kind kind, const QPalette &palette);
    // How far apart two colours are to the eye: 1 (the same) to 21 (black on white).
    static double Contrast(const QColor &a, const QColor &b);
    // The least contrast a mark keeps with the rows behind it.
    static constexpr double LeastContrast = 3.0;
};
