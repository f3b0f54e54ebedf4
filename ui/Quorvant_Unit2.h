#pragma once
// The batch window: a list of files converted in one run into one folder.

#include <QDialog>

#include "platform/platform.h"
#include "ui/target_selectors.h"

namespace quorvant {

class TForm2 : public QDialog {
    Q_OBJECT
public:
    TForm2(Platform& platform, const TargetSelectors& selectors, QWidget* parent = nullptr);

private:
    Platform& platform_;
    const TargetSelectors& selectors_;
};

}  // namespace quorvant
