#pragma once
// The window-system binding of the viewer, named here and nowhere else in
// app/: Debian's SoQt on Qt 5. The rest of app/ uses only the names below,
// so it reads the same on any binding of the toolkit.

#ifndef QT_NO_EMIT
#define QT_NO_EMIT   // Qt's emit macro would clash with plain identifiers
#endif

#include <Inventor/Qt/SoQt.h>
#include <Inventor/Qt/viewers/SoQtExaminerViewer.h>

namespace toolkit {

using Window = QWidget *;   // owned by the toolkit, lives until the process ends
using ExaminerViewer = SoQtExaminerViewer;
constexpr SoQtFullViewer::BuildFlag kBuildAll = SoQtFullViewer::BUILD_ALL;   // decoration and popup menu
constexpr SoQtViewer::Type kBrowser = SoQtViewer::BROWSER;
constexpr char kClassName[] = "SoQt";

// Main-window size when the user asked for none, in pixels; the binding's own
// default of 500x390 is cramped on a desktop. Capped to the screen.
constexpr int kDefaultWidth = 1024;
constexpr int kDefaultHeight = 768;

// Initialises the binding (and Coin) and returns the main window. Takes the
// binding's own options (such as -display) out of argc and argv. Asks Qt for
// its X11 platform unless QT_QPA_PLATFORM is already set: this Coin draws
// through GLX and shows a blank view on a native Wayland platform. Without a
// display it writes one line on standard error and ends the process with
// status 1.
Window init(int &argc, char **argv, const char *appName);

// Shows the main window, at the default size unless the user chose one.
void show(Window window);

// Runs the event loop; returns once the main window has been closed.
void mainLoop();

// Closes the main window as the user's close button does: the event loop
// then returns.
void close(Window window);

}  // namespace toolkit
