#include "MainLayout.h"

#include <array>

namespace MainLayout {

namespace {

using enum Kind;

constexpr std::array<Control, 35> controls{{
    // name            kind       container  caption                                             tool tip                      left  top   width height tab flags
    {"cmdStart",      Button,    nullptr,  "&Start Scan",                                       "Start scanning sites",        6960, 3555, 1335, 350,  28, 0, nullptr, 0},
    {"cmdAdd",        Button,    nullptr,  "&Add Sites",                                        nullptr,                       3960, 3555, 1335, 350,  27, 0, nullptr, 0},
    {"cmdSkip",       Button,    nullptr,  "S&kip",                                             nullptr,                       5460, 3555, 1335, 350,  26, Disabled, nullptr, 0},
    {"txtCount",      TextBox,   nullptr,  nullptr,                                             nullptr,                       2640, 6960, 255,  285,  23, DataHolder, nullptr, 0},
    {"txtSource",     SourceBox, nullptr,  nullptr,                                             nullptr,                       240,  8400, 615,  495,  12, DataHolder, nullptr, 0},
    {"lstSearch",     ListBox,   nullptr,  nullptr,                                             nullptr,                       960,  6720, 975,  645,  11, DataHolder, nullptr, 0},
    {"lstUrl",        ListBox,   nullptr,  nullptr,                                             nullptr,                       3960, 6600, 2415, 1035, 10, DataHolder, nullptr, 0},
    {"cmdAgain",      Button,    nullptr,  "&Start Scan",                                       nullptr,                       6960, 3555, 1335, 350,  8,  Hidden, nullptr, 0},
    {"frScan",        Frame,     nullptr,  "Scan Sites",                                        nullptr,                       120,  240,  8175, 2775, 13, 0, nullptr, 0},
    {"lstNames",      ListBox,   "frScan", nullptr,                                             nullptr,                       240,  480,  3735, 1815, 9,  0, nullptr, 0},
    {"lstResults",    ListBox,   "frScan", nullptr,                                             nullptr,                       4200, 480,  3735, 1815, 14, 0, nullptr, 0},
    {"lblScan1",      Label,     "frScan", "Double click or press Enter to scan selected",      nullptr,                       540,  2400, 3135, 195,  29, Hidden | Centred | SizedToText, nullptr, 0},
    {"lblManual",     Label,     "frScan", "Double click or press Enter to verify manually",    nullptr,                       4470, 2400, 3195, 195,  24, Hidden | Centred | SizedToText, nullptr, 0},
    {"Label4",        Label,     "frScan", "Sites to Scan",                                     nullptr,                       1635, 240,  945,  195,  16, SizedToText, nullptr, 0},
    {"Label5",        Label,     "frScan", "Results of Scan",                                   nullptr,                       5505, 240,  1125, 195,  15, SizedToText, nullptr, 0},
    {"frAdd",         Frame,     nullptr,  "Click the Add button first to add a site",          nullptr,                       120,  240,  8175, 2775, 17, Hidden, nullptr, 0},
    {"cmdBack",       Button,    "frAdd",  "&Back to Scan",                                     "Back to Sites",               5940, 2280, 1335, 350,  22, 0, nullptr, 0},
    {"txtName",       TextBox,   "frAdd",  nullptr,                                             nullptr,                       720,  600,  4095, 285,  0,  0, nullptr, 0},
    {"txtCompany",    TextBox,   "frAdd",  nullptr,                                             nullptr,                       720,  1380, 4095, 285,  1,  0, nullptr, 0},
    {"txtPhone1",     TextBox,   "frAdd",  nullptr,                                             nullptr,                       720,  2160, 4095, 285,  2,  0, nullptr, 0},
    {"cmdPrevious",   Button,    "frAdd",  "&<<",                                               "Go back through records",     6000, 1440, 615,  350,  6,  0, nullptr, 0},
    {"cmdNext",       Button,    "frAdd",  "&>>",                                               "Go forward through records",  6720, 1440, 615,  350,  7,  0, nullptr, 0},
    {"Command1",      Button,    "frAdd",  "&Add",                                              "Clear current record and add new", 5280, 960, 855, 350, 3, 0, nullptr, 0},
    {"Command2",      Button,    "frAdd",  "&Delete",                                           "Delete this record",          6180, 960,  855,  350,  4,  0, nullptr, 0},
    {"Command3",      Button,    "frAdd",  "&Save",                                             "Save/Modify this record",     7080, 960,  855,  350,  5,  0, nullptr, 0},
    {"Label1",        Label,     "frAdd",  "Name of Site to Scan:",                             nullptr,                       720,  360,  1560, 195,  21, SizedToText, nullptr, 0},
    {"Label2",        Label,     "frAdd",  "Page on Site to Scan:",                             nullptr,                       720,  1125, 1560, 195,  20, SizedToText, nullptr, 0},
    {"Label3",        Label,     "frAdd",  "Term to Search For:",                               nullptr,                       720,  1920, 1410, 195,  19, SizedToText, nullptr, 0},
    {"lblCurrRecord", Label,     "frAdd",  "Site #",                                            nullptr,                       5820, 1920, 1575, 255,  18, Centred, nullptr, 0},
    {"Label6",        Label,     nullptr,  "Copy Test",                                         nullptr,                       840,  3120, 1575, 255,  30, 0, nullptr, 0},
    {"Image1",        Image,     nullptr,  nullptr,                                             nullptr,                       240,  3460, 480,  480,  -1, 0, ":/app/icon32.png", 0},
    {"Image2",        Image,     nullptr,  nullptr,                                             nullptr,                       840,  3505, 2700, 450,  -1, 0, ":/app/banner.png", 0},
    {"lblResults",    Label,     nullptr,  "Ready . . .",                                       nullptr,                       3825, 3165, 765,  195,  25, Centred | SizedToText, nullptr, 0},
    {"Line2",         Line,      nullptr,  nullptr,                                             nullptr,                       0,    75,   8400, 0,    -1, 0, nullptr, qRgb(255, 255, 255)},
    {"Line1",         Line,      nullptr,  nullptr,                                             nullptr,                       0,    60,   8490, 0,    -1, 0, nullptr, qRgb(128, 128, 128)},
}};

constexpr std::array<MenuItem, 9> menu{{
    {"mnuFile", "&File", "mnuAdd", "&Add Sites", nullptr},
    {"mnuFile", "&File", "mnuScan", "&Start Scan", nullptr},
    {"mnuFile", "&File", "mnuExit", "&Exit", "Ctrl+Q"},
    {"mnuFile", "&File", "mnuImport", "&Import Sites...", nullptr},
    {"mnuFile", "&File", "mnuExportSites", "E&xport Sites...", nullptr},
    {"mnuFile", "&File", "mnuExportResults", "Export &Results...", nullptr},
    {"mnuFile", "&File", "mnuPartners", "&Partners...", nullptr},
    {"mnuAbout", "&Help", "mnuContents", "&Contents", "F1"},
    {"mnuAbout", "&Help", "mnuAboutLink", "&About", nullptr},
}};

constexpr std::array<const char *, 4> timers{"tmrSearch2", "tmrScan2", "tmrSearch", "tmrScan"};

} // namespace

std::span<const Control> Controls()
{
    return controls;
}

std::span<const MenuItem> Menu()
{
    return menu;
}

std::span<const char *const> Timers()
{
    return timers;
}

QRect ToPixels(int left, int top, int width, int height)
{
    return QRect(left / TwipsPerPixel, top / TwipsPerPixel, width / TwipsPerPixel, height / TwipsPerPixel);
}

} // namespace MainLayout
