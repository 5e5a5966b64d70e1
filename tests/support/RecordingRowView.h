#pragma once
// A list view for tests: keeps the rows' texts as the window would show them and a
// log of every call, so tests can check both the result and the order of changes.

#include <string>
#include <vector>

#include "tasks/RowView.h"

class RecordingRowView : public RowView {
public:
    static constexpr int kColumns = 5;

    void InsertRow(int row, const std::string& name) override;
    void DeleteRow(int row) override;
    void SetCellText(int row, int column, const std::string& text) override;
    void SetRowDetail(int row, const std::string& text) override;

    const std::string& Cell(int row, int column) const;
    // Column 0 of every row, top to bottom.
    std::vector<std::string> Names() const;

    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> details;  // in step with rows
    std::vector<std::string> log;
};
