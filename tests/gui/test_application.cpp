// The application object: its title, and exceptions that escape event
// handlers are shown and the event loop goes on.

#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <stdexcept>

#include "platform/qt_application.h"

using namespace quorvant;

namespace {

QuorvantApplication* App() { return static_cast<QuorvantApplication*>(QCoreApplication::instance()); }

}  // namespace

class TestApplication : public QObject {
    Q_OBJECT
private slots:
    void title() { QCOMPARE(QCoreApplication::applicationName(), QString("Quorvant")); }
    void escapedExceptionIsShown();
    void cleanup() { App()->setExceptionDisplay({}); }
};

void TestApplication::escapedExceptionIsShown()
{
    QStringList shown;
    App()->setExceptionDisplay([&](const std::string& text) { shown << QString::fromStdString(text); });

    QWidget window;
    auto* failing = new QPushButton("fails", &window);
    auto* unknown = new QPushButton("fails oddly", &window);
    auto* working = new QPushButton("works", &window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    connect(failing, &QPushButton::clicked, [] { throw std::runtime_error("The handler failed."); });
    connect(unknown, &QPushButton::clicked, [] { throw 42; });
    int worked = 0;
    connect(working, &QPushButton::clicked, [&] { ++worked; });

    QTest::mouseClick(failing, Qt::LeftButton);
    QTest::mouseClick(unknown, Qt::LeftButton);
    QTest::mouseClick(working, Qt::LeftButton);
    QCOMPARE(shown, (QStringList{"The handler failed.", "An unknown exception occurred."}));
    QCOMPARE(worked, 1);

    // The same inside the running event loop: a timer's handler fails, the loop goes on.
    QTimer::singleShot(0, [] { throw std::runtime_error("late"); });
    QTimer::singleShot(10, [] { QCoreApplication::exit(7); });
    QCOMPARE(QApplication::exec(), 7);
    QCOMPARE(shown.last(), QString("late"));
}

int main(int argc, char** argv)
{
    QuorvantApplication app(argc, argv);
    TestApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_application.moc"
