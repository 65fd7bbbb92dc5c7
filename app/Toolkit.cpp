#include "app/Toolkit.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <QtGlobal>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

// Qt's messages while the binding starts, held back: without a display Qt
// writes a page of advice and aborts (status 134); the user gets one line
// instead. Touched only on the GUI thread, during init.
QStringList *heldMessages = nullptr;   // owned here, only during init

void onStartupMessage(QtMsgType type, const QMessageLogContext &context, const QString &message) {
    if (type != QtFatalMsg) {
        heldMessages->append(qFormatLogMessage(type, context, message));
        return;
    }
    const char *platform = std::getenv("QT_QPA_PLATFORM");
    const char *display = std::getenv("DISPLAY");
    if (platform != nullptr && qstrcmp(platform, "xcb") != 0) {
        std::fprintf(stderr, "quendar: cannot open a window: the Qt platform \"%s\" did not start\n",
                     platform);
    } else if (display == nullptr || *display == '\0') {
        std::fprintf(stderr, "quendar: cannot open a window: no X display (DISPLAY is not set)\n");
    } else {
        std::fprintf(stderr, "quendar: cannot open a window: cannot connect to X display \"%s\"\n",
                     display);
    }
    std::fflush(stderr);
    std::_Exit(1);   // Qt's state is broken here; run no destructors
}

}  // namespace

namespace toolkit {

Window init(int &argc, char **argv, const char *appName) {
    setenv("QT_QPA_PLATFORM", "xcb", 0);   // 0: a platform the user chose stays

    QStringList held;
    heldMessages = &held;
    const QtMessageHandler previous = qInstallMessageHandler(onStartupMessage);
    Window window = SoQt::init(argc, argv, appName, kClassName);
    qInstallMessageHandler(previous);
    heldMessages = nullptr;

    for (const QString &line : held) std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    return window;
}

void show(Window window) {
    if (!window->testAttribute(Qt::WA_Resized)) {
        int width = kDefaultWidth;
        int height = kDefaultHeight;
        if (const QScreen *screen = QGuiApplication::primaryScreen()) {
            const QRect room = screen->availableGeometry();
            width = std::min(width, room.width() * 9 / 10);
            height = std::min(height, room.height() * 9 / 10);
        }
        window->resize(width, height);
    }
    SoQt::show(window);
}

void mainLoop() { SoQt::mainLoop(); }

void close(Window window) { window->close(); }

}  // namespace toolkit
