#pragma once

#include <QRect>
#include <QRgb>

#include <span>

// The main window as data: every control with its kind, container, caption, tool tip,
// rectangle in twips and place in the tab order, in the order the window holds them.
namespace MainLayout {

inline constexpr int TwipsPerPixel = 15;
inline constexpr int ClientWidth = 8400;
inline constexpr int ClientHeight = 4020;
inline constexpr int TimerInterval = 500;

enum class Kind { Button, ListBox, TextBox, SourceBox, Frame, Label, Image, Line };

enum Flag : unsigned {
    Hidden = 1 << 0,
    Disabled = 1 << 1,
    Centred = 1 << 2,
    SizedToText = 1 << 3,
    // Holds running state below the visible client area; the user never reaches it.
    DataHolder = 1 << 4,
};

struct Control {
    const char *name;
    Kind kind;
    const char *container; // nullptr: the window's client area
    const char *caption;
    const char *toolTip;
    int left, top, width, height; // twips; a line runs from (left, top) to (left + width, top)
    int tab;                      // -1: takes no place in the tab order
    unsigned flags;
    const char *picture; // resource of an image
    QRgb colour;         // of a line
};

struct MenuItem {
    const char *menu;    // object name of the menu
    const char *title;   // its caption
    const char *name;    // object name of the item
    const char *caption;
    const char *shortcut; // a standard key beside the caption's access key; nullptr: none
};

std::span<const Control> Controls();
std::span<const MenuItem> Menu();
std::span<const char *const> Timers();

QRect ToPixels(int left, int top, int width, int height);

} // namespace MainLayout
