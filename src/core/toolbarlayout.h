#pragma once
// The large toolbars of the two frames: a fixed layout of command buttons and separators, each
// button showing its command's icon (32 x 32) with a label under it. The buttons are the
// window's command actions, so they follow the same enabled and checked states as its menus,
// show the command's tooltip and, while the pointer rests on them, its prompt in the status bar.
// UI thread only.

#include <span>

class CCommandActions;
class QToolBar;

// One entry of a layout: a command and the label under its icon; id 0 is a separator.
struct ToolButton {
    int id;
    const char* label;
};

// Appends the layout to `bar`, left to right. The label becomes the action's icon text, which
// only toolbars show: menus keep the command's own text.
void fillToolBar(QToolBar* bar, CCommandActions& actions, std::span<const ToolButton> layout);
