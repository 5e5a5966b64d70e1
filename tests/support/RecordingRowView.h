#pragma once
// A list view for tests: keeps the rows' texts as the window would show them and a
// log of every call, so tests can check both the result and the order of changes.

#include <stdexcept>
#include <string>
#include <vector>

#include "tasks/RowView.h"

class RecordingRowView : public RowView {
public:
    static constexpr int kColumns = 5;

    void InsertRow(int row, const std::string& name) override
    {
        Check(row, static_cast<int>(rows.size()));
        std::vector<std::string> cells(kColumns);
        cells[0] = name;
        rows.insert(rows.begin() + row, cells);
        details.insert(details.begin() + row, std::string());
        log.push_back("insert " + std::to_string(row) + " " + name);
    }

    void DeleteRow(int row) override
    {
        Check(row, static_cast<int>(rows.size()) - 1);
        rows.erase(rows.begin() + row);
        details.erase(details.begin() + row);
        log.push_back("delete " + std::to_string(row));
    }

    void SetCellText(int row, int column, const std::string& text) override
    {
        Check(row, static_cast<int>(rows.size()) - 1);
        if (column < 0 || column >= kColumns)
            throw std::out_of_range("column");
        rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = text;
        log.push_back("set " + std::to_string(row) + "," + std::to_string(column) + " " + text);
    }

    void SetRowDetail(int row, const std::string& text) override
    {
        Check(row, static_cast<int>(rows.size()) - 1);
        details[static_cast<std::size_t>(row)] = text;
        log.push_back("detail " + std::to_string(row) + " " + text);
    }

    const std::string& Cell(int row, int column) const
    {
        return rows.at(static_cast<std::size_t>(row)).at(static_cast<std::size_t>(column));
    }

    // Column 0 of every row, top to bottom.
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& cells : rows)
            names.push_back(cells[0]);
        return names;
    }

    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> details;  // in step with rows
    std::vector<std::string> log;

private:
    // A row outside the view is a fault of the engine, never something to tolerate.
    static void Check(int row, int last)
    {
        if (row < 0 || row > last)
            throw std::out_of_range("row " + std::to_string(row));
    }
};
