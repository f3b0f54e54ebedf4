#pragma once
// The cells of the batch list, addressed like the grid shows them: column 0
// is the row number, row 0 the titles (shown as the view's header). Cell
// texts are path bytes as the system gave them; they are decoded only for
// display, so folder + name always rebuilds the exact listed path.

#include <QAbstractTableModel>
#include <array>
#include <string>
#include <vector>

namespace quorvant {

class BatchGridModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kColumns = 5;

    explicit BatchGridModel(QObject* parent = nullptr);

    // Grid rows, the title row included; never less than 1.
    int gridRowCount() const { return int(rows_.size()) + 1; }
    // Rows beyond the new count are dropped, new rows are empty.
    void setGridRowCount(int count);

    // Empty outside the grid.
    const std::string& cell(int column, int row) const;
    // Ignored outside the grid.
    void setCell(int column, int row, const std::string& text);

    // The model's row of a grid row and back (row 0 lives in the header).
    static int modelRow(int gridRow) { return gridRow - 1; }
    static int gridRow(int modelRow) { return modelRow + 1; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    using Row = std::array<std::string, kColumns>;
    Row titles_;
    std::vector<Row> rows_;  // grid rows 1 and below
};

}  // namespace quorvant
