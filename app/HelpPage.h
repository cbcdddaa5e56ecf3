#pragma once

#include <QString>

class QWidget;

// The program's manual: beside the program file in a build or a portable folder, with the
// documentation (../share/doc/tallyweave) in an installed tree.
inline constexpr char HelpPageName[] = "tallyweave.htm";

// Beside the program unless only the installed tree has it.
QString HelpPagePath();
// Hands the page to the desktop's opener; a missing page or browser goes unremarked.
void OpenHelpPage(QWidget *owner);
