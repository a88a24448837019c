#pragma once

#include <string>
#include <vector>

#include "history/history_store.h"

class QDialog;
class QWidget;

namespace keelsong {

// "History…": the records in a table, newest first, narrowed to the rows that hold the text
// typed into its search field. Modal; returns once closed.
void ShowHistoryDialog(QWidget* parent, const std::string& title,
                       const std::vector<HistoryRecord>& records);

// The dialog itself, not yet shown (for tests).
QDialog* MakeHistoryDialog(QWidget* parent, const std::string& title,
                           const std::vector<HistoryRecord>& records);

}  // namespace keelsong
