#include "ui/batch_grid_model.h"

#include <algorithm>

#include "platform/path_text.h"

namespace quorvant {

namespace {
const std::string kNoText;
}

BatchGridModel::BatchGridModel(QObject* parent) : QAbstractTableModel(parent) {}

void BatchGridModel::setGridRowCount(int count)
{
    const int wanted = std::max(count, 1) - 1;
    const int have = int(rows_.size());
    if (wanted > have) {
        beginInsertRows({}, have, wanted - 1);
        rows_.resize(std::size_t(wanted));
        endInsertRows();
    } else if (wanted < have) {
        beginRemoveRows({}, wanted, have - 1);
        rows_.resize(std::size_t(wanted));
        endRemoveRows();
    }
}

const std::string& BatchGridModel::cell(int column, int row) const
{
    if (column < 0 || column >= kColumns || row < 0 || row >= gridRowCount())
        return kNoText;
    return row == 0 ? titles_[std::size_t(column)] : rows_[std::size_t(modelRow(row))][std::size_t(column)];
}

void BatchGridModel::setCell(int column, int row, const std::string& text)
{
    if (column < 0 || column >= kColumns || row < 0 || row >= gridRowCount())
        return;
    if (row == 0) {
        titles_[std::size_t(column)] = text;
        emit headerDataChanged(Qt::Horizontal, column, column);
        return;
    }
    rows_[std::size_t(modelRow(row))][std::size_t(column)] = text;
    const QModelIndex changed = index(modelRow(row), column);
    emit dataChanged(changed, changed, {Qt::DisplayRole});
}

int BatchGridModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(rows_.size()); }

int BatchGridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumns; }

QVariant BatchGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole)
        return {};
    return PathDisplay(cell(index.column(), gridRow(index.row())));
}

QVariant BatchGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return PathDisplay(cell(section, 0));
}

Qt::ItemFlags BatchGridModel::flags(const QModelIndex& index) const
{
    // The number column is fixed: it can be neither current nor selected.
    if (!index.isValid() || index.column() == 0)
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

}  // namespace quorvant
