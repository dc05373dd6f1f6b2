#pragma once
// Where the panel's windows open: whole inside the screen's free area (the
// area without the desktop's panels), and never over the main window's title
// and menu bars, which a window on top would otherwise make unreachable. On a
// small screen (1280 x 720) the main window leaves little room around it, so
// a window that wants to sit there is moved below the menu bar or beside the
// main window; the log window may also be made smaller to fit.

#include <QMargins>
#include <QRect>
#include <QSize>

class QApplication;
class QWidget;

namespace quillon::app {

// What a window has around it. Rectangles are outer ones (frame included), in
// desktop pixels.
struct Surroundings {
    QRect area;      // the screen's free area
    QRect main;      // the main window; empty when none is shown
    QRect menuBand;  // the main window's title bar and menu bar
};

// The outer rectangle a window gets that wants to be at `wanted`: inside the
// area (made smaller only when larger than it), off the menu band and, with
// `clearOfMain`, off the main window. When it must move, it goes where it
// covers the least of the main window: below the menu band or into the free
// strip on one side, keeping as much of its size as it can (never less than
// `minimum`) and staying as near to `wanted` as it can.
QRect KeepInView(const QRect& wanted, const QSize& minimum, const Surroundings& around,
                 bool clearOfMain = false);

// The window system's frame around `w`; until `w` has been framed, the frame of
// another shown window with one (the same window manager draws both).
QMargins FrameMargins(const QWidget* w);
// The screen area, main window and menu band around a window that wants the
// outer rectangle `wanted`. A place on a screen that is gone counts as on the
// main window's screen.
Surroundings SurroundingsOf(const QWidget* w, const QRect& wanted);

// Moves `w` to the place KeepInView gives for `wantedOuter` at its own size.
void PlaceInView(QWidget* w, const QRect& wantedOuter);
// Centres `w` on the screen's free area, then keeps it in view.
void CentreOnScreen(QWidget* w);

// From now on, every dialog that is shown is kept in view as well (Qt centres
// a dialog over its parent, which may put its top over the menu bar).
void InstallWindowPlacement(QApplication& app);

}  // namespace quillon::app
