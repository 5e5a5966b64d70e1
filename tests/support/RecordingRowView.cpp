#include "support/RecordingRowView.h"

#include <stdexcept>

namespace {

// A row outside the view is a fault of the engine, never something to tolerate.
void Check(int row, int last)
{
    if (row < 0 || row > last)
        throw std::out_of_range("row " + std::to_string(row));
}

}  // namespace

void RecordingRowView::InsertRow(int row, const std::string& name)
{
    Check(row, static_cast<int>(rows.size()));
    std::vector<std::string> cells(kColumns);
    cells[0] = name;
    rows.insert(rows.begin() + row, cells);
    details.insert(details.begin() + row, std::string());
    log.push_back("insert " + std::to_string(row) + " " + name);
}

void RecordingRowView::DeleteRow(int row)
{
    Check(row, static_cast<int>(rows.size()) - 1);
    rows.erase(rows.begin() + row);
    details.erase(details.begin() + row);
    log.push_back("delete " + std::to_string(row));
}

void RecordingRowView::SetCellText(int row, int column, const std::string& text)
{
    Check(row, static_cast<int>(rows.size()) - 1);
    if (column < 0 || column >= kColumns)
        throw std::out_of_range("column");
    rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = text;
    log.push_back("set " + std::to_string(row) + "," + std::to_string(column) + " " + text);
}

void RecordingRowView::SetRowDetail(int row, const std::string& text)
{
    Check(row, static_cast<int>(rows.size()) - 1);
    details[static_cast<std::size_t>(row)] = text;
    log.push_back("detail " + std::to_string(row) + " " + text);
}

const std::string& RecordingRowView::Cell(int row, int column) const
{
    return rows.at(static_cast<std::size_t>(row)).at(static_cast<std::size_t>(column));
}

std::vector<std::string> RecordingRowView::Names() const
{
    std::vector<std::string> names;
    for (const auto& cells : rows)
        names.push_back(cells[0]);
    return names;
}
