#pragma once
#include <Qt>

// Frames the window manager draws for windows of a fixed size. Listed hint by hint:
// without the customise hint the window managers get every decoration, a maximise
// button and resize handles included.
inline Qt::WindowFlags FixedDialogFrame()
{
    return Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
           Qt::WindowCloseButtonHint;
}

// A main window of a fixed size: a dialog's frame with a minimise button, and a task bar entry.
inline Qt::WindowFlags FixedWindowFrame()
{
    return Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;
}
