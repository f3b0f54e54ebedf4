// The main window's own conversion, for timing whole runs: the real TForm1
// on the offscreen platform, with a scripted desktop answering the open and
// save dialogs. Times "Open" and "Conv." as the user would run them.
//
//   QT_QPA_PLATFORM=offscreen main_window_convert BITS_INDEX RATE_INDEX CHANNEL_INDEX INPUT OUTPUT

#include <QApplication>
#include <QComboBox>
#include <cstdio>
#include <cstdlib>

#include "gui/scripted_platform.h"
#include "ui/Quorvant_Unit1.h"

int main(int argc, char** argv)
{
    if (argc != 6) {
        std::fprintf(stderr, "usage: main_window_convert BITS_INDEX RATE_INDEX CHANNEL_INDEX INPUT OUTPUT\n");
        return 2;
    }
    QApplication app(argc, argv);
    quorvant::test::ScriptedPlatform platform;
    quorvant::TForm1 form(platform);
    form.findChild<QComboBox*>("ComboBox1")->setCurrentIndex(std::atoi(argv[1]));
    form.findChild<QComboBox*>("ComboBox2")->setCurrentIndex(std::atoi(argv[2]));
    form.findChild<QComboBox*>("ComboBox3")->setCurrentIndex(std::atoi(argv[3]));
    platform.openFileAnswers.push_back(std::string(argv[4]));
    platform.saveFileAnswers.push_back(std::string(argv[5]));
    form.Button1Click();
    form.Button2Click();
    for (const auto& call : platform.calls)
        if (call.kind == "messageBox" || call.kind == "plainMessage")
            std::fprintf(stderr, "%s\n", call.text.c_str());
    return platform.callsOf("plainMessage").empty() && form.records().Work.WorkData.data() ? 0 : 1;
}
