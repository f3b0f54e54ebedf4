#pragma once
// How the batch list paints its cells: one background colour per column,
// black text aligned by row and column, 4 px in from the sides and 1 px
// from top and bottom. Selected cells look like the others.

#include <QHeaderView>
#include <QStyledItemDelegate>

class QPainter;

namespace quorvant {

// Column 0 (and any column past the last) takes the button face, column 1
// the window colour, columns 2 to 4 light red, light green and green.
QColor CellBackground(int column, const QPalette& palette);
// Titles centred; then the number right, folder and name left, info and result centred.
Qt::Alignment CellAlignment(int row, int column);
QRect CellTextRect(const QRect& cell);

// Fills one cell and draws its text; `row` and `column` are grid positions.
void StringGrid1DrawCell(QPainter& canvas, int column, int row, const QRect& cell, const QString& text,
                         const QPalette& palette);

// Body cells; keeps the focus frame of the current cell.
class BatchCellDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// The title row, painted like the body with the edges of a fixed row.
class BatchTitleHeader final : public QHeaderView {
public:
    explicit BatchTitleHeader(QWidget* parent = nullptr) : QHeaderView(Qt::Horizontal, parent) {}

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
};

}  // namespace quorvant
