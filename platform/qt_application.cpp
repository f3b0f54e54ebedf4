#include "platform/qt_application.h"

#include <exception>
#include <iostream>

#include "platform/app_title.h"

namespace quorvant {

QuorvantApplication::QuorvantApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(AppTitle);
}

bool QuorvantApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        showException(e.what());
    } catch (...) {
        showException("An unknown exception occurred.");
    }
    return false;
}

void QuorvantApplication::showException(const std::string& text) const
{
    if (display_)
        display_(text);
    else
        std::cerr << AppTitle << ": " << text << '\n';
}

}  // namespace quorvant
