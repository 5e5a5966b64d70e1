#pragma once
#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "tasks/TaskReport.h"

// The texts of one row, by column, COLUMN_NAME first.
using RowTexts = std::array<std::string, COLUMN_TARGET + 1>;

// The task list as the engine sees the window's list view. The engine keeps the
// view's rows in step with its task list; the window draws them.
class RowView {
public:
    virtual ~RowView() = default;
    virtual void InsertRow(int row, const std::string& name) = 0;
    virtual void DeleteRow(int row) = 0;
    virtual void SetCellText(int row, int column, const std::string& text) = 0;
    // Why the row's task failed; empty when there is nothing to tell.
    virtual void SetRowDetail(int row, const std::string& text) = 0;

    // Rows put in together at `row`, each with all its texts, so that a view can announce
    // a whole stored list at once rather than row by row and cell by cell.
    virtual void InsertRows(int row, const std::vector<RowTexts>& rows)
    {
        for (const RowTexts& texts : rows) {
            InsertRow(row, texts[COLUMN_NAME]);
            for (std::size_t column = COLUMN_NAME + 1; column < texts.size(); ++column)
                SetCellText(row, static_cast<int>(column), texts[column]);
            ++row;
        }
    }
};
