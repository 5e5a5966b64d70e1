#include "downloader/TaskTableModel.h"

#include <iterator>
#include <tuple>

namespace {

const std::string kEmpty;

}  // namespace

const std::array<TaskTableModel::ColumnInfo, TaskTableModel::kColumnCount>& TaskTableModel::Columns()
{
    static const std::array<ColumnInfo, kColumnCount> columns{{
        {"Name", Qt::AlignLeft | Qt::AlignVCenter, 120},
        {"Size", Qt::AlignHCenter | Qt::AlignVCenter, 60},
        {"Status", Qt::AlignLeft | Qt::AlignVCenter, 135},
        {"Time Elapsed", Qt::AlignHCenter | Qt::AlignVCenter, 80},
        {"Target", Qt::AlignLeft | Qt::AlignVCenter, 230},
    }};
    return columns;
}

TaskTableModel::TaskTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void TaskTableModel::InsertRow(int row, const std::string& name)
{
    if (row < 0 || row > static_cast<int>(m_rows.size()))
        return;
    beginInsertRows(QModelIndex(), row, row);
    Row inserted;
    inserted.cells[0] = name;
    m_rows.insert(m_rows.begin() + row, std::move(inserted));
    endInsertRows();
}

void TaskTableModel::InsertRows(int row, const std::vector<RowTexts>& rows)
{
    static_assert(std::tuple_size_v<RowTexts> == kColumnCount);
    if (row < 0 || row > static_cast<int>(m_rows.size()) || rows.empty())
        return;
    beginInsertRows(QModelIndex(), row, row + static_cast<int>(rows.size()) - 1);
    std::vector<Row> inserted(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        inserted[i].cells = rows[i];
    m_rows.insert(m_rows.begin() + row, std::make_move_iterator(inserted.begin()),
                  std::make_move_iterator(inserted.end()));
    endInsertRows();
}

void TaskTableModel::DeleteRow(int row)
{
    if (row < 0 || row >= static_cast<int>(m_rows.size()))
        return;
    beginRemoveRows(QModelIndex(), row, row);
    m_rows.erase(m_rows.begin() + row);
    endRemoveRows();
}

void TaskTableModel::SetCellText(int row, int column, const std::string& text)
{
    if (row < 0 || row >= static_cast<int>(m_rows.size()) || column < 0 || column >= kColumnCount)
        return;
    std::string& cell = m_rows[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)];
    // Progress arrives many times a second; an unchanged text costs no repaint.
    if (cell == text)
        return;
    cell = text;
    const QModelIndex changed = index(row, column);
    emit dataChanged(changed, changed, {Qt::DisplayRole, RawTextRole});
}

void TaskTableModel::SetRowDetail(int row, const std::string& text)
{
    if (row < 0 || row >= static_cast<int>(m_rows.size()))
        return;
    std::string& detail = m_rows[static_cast<std::size_t>(row)].detail;
    if (detail == text)
        return;
    detail = text;
    emit dataChanged(index(row, 0), index(row, kColumnCount - 1), {Qt::ToolTipRole});
}

int TaskTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int TaskTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant TaskTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= static_cast<int>(m_rows.size()) || index.column() >= kColumnCount)
        return {};
    const std::string& text = CellText(index.row(), index.column());
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromStdString(text);
    case Qt::ToolTipRole: {
        // The whole text of a cut cell, and why the task failed where there is a reason.
        const std::string& detail = RowDetail(index.row());
        return QString::fromStdString(detail.empty() ? text : text + '\n' + detail);
    }
    case Qt::TextAlignmentRole:
        return static_cast<int>(Columns()[static_cast<std::size_t>(index.column())].alignment);
    case RawTextRole:
        return QByteArray::fromStdString(text);
    default:
        return {};
    }
}

QVariant TaskTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount)
        return {};
    const ColumnInfo& column = Columns()[static_cast<std::size_t>(section)];
    if (role == Qt::DisplayRole)
        return QString::fromLatin1(column.heading);
    if (role == Qt::TextAlignmentRole)
        return static_cast<int>(column.alignment);
    return {};
}

const std::string& TaskTableModel::CellText(int row, int column) const
{
    if (row < 0 || row >= static_cast<int>(m_rows.size()) || column < 0 || column >= kColumnCount)
        return kEmpty;
    return m_rows[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)];
}

const std::string& TaskTableModel::RowDetail(int row) const
{
    if (row < 0 || row >= static_cast<int>(m_rows.size()))
        return kEmpty;
    return m_rows[static_cast<std::size_t>(row)].detail;
}
