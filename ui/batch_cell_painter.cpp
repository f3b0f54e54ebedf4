#include "ui/batch_cell_painter.h"

#include <QApplication>
#include <QPainter>

#include "ui/batch_grid_model.h"

namespace quorvant {

QColor CellBackground(int column, const QPalette& palette)
{
    switch (column) {
    case 1: return palette.color(QPalette::Base);
    case 2: return QColor(255, 230, 230);
    case 3: return QColor(230, 255, 230);
    case 4: return QColor(200, 250, 200);
    default: return palette.color(QPalette::Button);
    }
}

Qt::Alignment CellAlignment(int row, int column)
{
    if (column >= BatchGridModel::kColumns)
        return Qt::AlignLeft | Qt::AlignTop;
    if (row == 0)
        return Qt::AlignCenter;
    if (column == 0)
        return Qt::AlignRight | Qt::AlignVCenter;
    if (column <= 2)
        return Qt::AlignLeft | Qt::AlignVCenter;
    return Qt::AlignCenter;
}

QRect CellTextRect(const QRect& cell) { return cell.adjusted(4, 1, -4, -1); }

void StringGrid1DrawCell(QPainter& canvas, int column, int row, const QRect& cell, const QString& text,
                         const QPalette& palette)
{
    canvas.save();
    canvas.fillRect(cell, CellBackground(column, palette));
    canvas.setPen(Qt::black);
    // Without Qt::TextDontClip the text is cut at the inset rectangle.
    const int singleLine = column < BatchGridModel::kColumns ? int(Qt::TextSingleLine) : 0;
    canvas.drawText(CellTextRect(cell), int(CellAlignment(row, column)) | singleLine, text);
    canvas.restore();
}

void BatchCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    StringGrid1DrawCell(*painter, index.column(), BatchGridModel::gridRow(index.row()), option.rect,
                        index.data().toString(), option.palette);
    if (option.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.backgroundColor = CellBackground(index.column(), option.palette);
        const QWidget* widget = option.widget;
        (widget ? widget->style() : QApplication::style())->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter,
                                                                           widget);
    }
}

void BatchTitleHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    StringGrid1DrawCell(*painter, logicalIndex, 0, rect, model()->headerData(logicalIndex, orientation()).toString(),
                        palette());
    painter->save();
    painter->setPen(palette().color(QPalette::Dark));
    painter->drawLine(rect.topRight(), rect.bottomRight());
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    painter->restore();
}

}  // namespace quorvant
