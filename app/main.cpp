// Starts the tool: the application object, the main window, the hidden
// batch window, and the event loop until the main window closes.

#include <QIcon>
#include <cstdio>
#include <cstdlib>

#include "platform/qt_application.h"
#include "platform/qt_platform.h"
#include "ui/Quorvant_Unit1.h"
#include "ui/Quorvant_Unit2.h"

namespace {

// Qt aborts when it finds no display; say plainly what is missing instead.
bool DisplayMissing()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    return qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
           qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
    return false;
#endif
}

}  // namespace

int main(int argc, char** argv)
{
    if (DisplayMissing()) {
        std::fputs("Quorvant is a desktop application and needs a display: neither DISPLAY nor WAYLAND_DISPLAY is set.\n",
                   stderr);
        return EXIT_FAILURE;
    }
    quorvant::QuorvantApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("quorvant"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("quorvant")));

    quorvant::QtPlatform platform;
    app.setExceptionDisplay(
        [&platform](const std::string& text) { platform.showMessageBox(text, quorvant::MessageIcon::Error); });

    quorvant::TForm1 form1(platform);
    quorvant::TForm2 form2(platform, form1, &form1);
    form1.setBatchWindow(&form2);
    form1.show();
    app.exec();
    return 0;
}
