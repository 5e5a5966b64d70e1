#pragma once
#include <string>

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
};
