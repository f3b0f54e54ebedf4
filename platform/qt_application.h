#pragma once
// The application object. Qt must not see an exception cross its event
// loop, so every exception that escapes an event handler is caught where
// events are dispatched, shown, and the tool goes on.

#include <QApplication>
#include <functional>
#include <string>

namespace quorvant {

class QuorvantApplication final : public QApplication {
public:
    using ExceptionDisplay = std::function<void(const std::string& text)>;

    QuorvantApplication(int& argc, char** argv);

    // Where the text of an escaped exception goes; standard error until set.
    void setExceptionDisplay(ExceptionDisplay display) { display_ = std::move(display); }

    bool notify(QObject* receiver, QEvent* event) override;

private:
    void showException(const std::string& text) const;

    ExceptionDisplay display_;
};

}  // namespace quorvant
