#include "ui/Quorvant_Unit2.h"

namespace quorvant {

TForm2::TForm2(Platform& platform, const TargetSelectors& selectors, QWidget* parent)
    : QDialog(parent), platform_(platform), selectors_(selectors)
{
    setWindowTitle("Quorvant");
}

}  // namespace quorvant
