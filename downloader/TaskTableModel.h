#pragma once
#include <array>
#include <string>
#include <vector>

#include <QAbstractTableModel>

#include "tasks/RowView.h"

// The task list as the window shows it: the engine inserts, deletes and fills rows
// through RowView, the list view reads them as a table model.
class TaskTableModel : public QAbstractTableModel, public RowView {
    Q_OBJECT

public:
    static constexpr int kColumnCount = 5;
    // The cell text byte for byte as the engine set it (a QByteArray): a path that is
    // not valid UTF-8 still reaches the shell unchanged.
    static constexpr int RawTextRole = Qt::UserRole + 1;

    struct ColumnInfo {
        const char* heading;
        Qt::Alignment alignment;
        int width;  // pixels
    };
    static const std::array<ColumnInfo, kColumnCount>& Columns();

    explicit TaskTableModel(QObject* parent = nullptr);

    // RowView. A row outside the table is an engine fault; it is ignored rather than
    // taking the window down.
    void InsertRow(int row, const std::string& name) override;
    void DeleteRow(int row) override;
    void SetCellText(int row, int column, const std::string& text) override;
    void SetRowDetail(int row, const std::string& text) override;
    // One announcement for all the rows: a view told of each row alone relays out each time.
    void InsertRows(int row, const std::vector<RowTexts>& rows) override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    const std::string& CellText(int row, int column) const;
    const std::string& RowDetail(int row) const;

private:
    struct Row {
        std::array<std::string, kColumnCount> cells;
        std::string detail;
    };
    std::vector<Row> m_rows;
};
