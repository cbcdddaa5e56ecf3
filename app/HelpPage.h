#pragma once

#include <QString>

class QWidget;

// The program's manual, a page that lives beside the program file.
inline constexpr char HelpPageName[] = "tallyweave.htm";

QString HelpPagePath();
// Hands the page to the desktop's opener; a missing page or browser goes unremarked.
void OpenHelpPage(QWidget *owner);
