#pragma once

#include <QStringList>

#include <optional>

// What the window program answers on the terminal, before any window or display is needed:
// --help and --version; and how the window opens (--partners). Every other argument is left
// for Qt (-platform, -style, ...).
namespace CommandLine {

// The exit status when the command line was answered; none when the window is to open.
std::optional<int> Answer(int argc, char *argv[]);

// The Partners window is to open beside the main window, on the lost and hollow partners.
bool OpensPartners(const QStringList &arguments);

} // namespace CommandLine
