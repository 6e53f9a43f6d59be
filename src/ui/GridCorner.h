#pragma once
// Text in the top-left corner of a table view, where a grid with fixed
// heading rows and columns shows what its headings count ("Hex", "Reg").

#include <QString>

#include <functional>

class QTableView;

// text is asked at every paint, so the corner follows a changing base.
void SetGridCornerText(QTableView& view, std::function<QString()> text);
