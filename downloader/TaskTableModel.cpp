#include "downloader/TaskTableModel.h"

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
    std::array<std::string, kColumnCount> cells;
    cells[0] = name;
    m_rows.insert(m_rows.begin() + row, std::move(cells));
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
    std::string& cell = m_rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
    // Progress arrives many times a second; an unchanged text costs no repaint.
    if (cell == text)
        return;
    cell = text;
    const QModelIndex changed = index(row, column);
    emit dataChanged(changed, changed, {Qt::DisplayRole, RawTextRole});
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
    case Qt::ToolTipRole:
        return QString::fromStdString(text);
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
    return m_rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}
