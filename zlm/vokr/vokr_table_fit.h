// Sizes that let the dialogs show their values and headers whole: table columns as wide as their
// header and cells need (at least their designed widths), a table size hint that holds every
// column and a given number of rows, and windows that open at their whole size hint.
#pragma once

#include <QSize>

#include <initializer_list>

class QTableView;
class QWidget;

// Widens each column to its header and its cells; a column is never narrower than its entry in
// `minimum_widths`.
void vokr_fit_columns(QTableView* view, std::initializer_list<int> minimum_widths);

// The size that shows every column and `rows` rows with the header, the frame and a vertical
// scroll bar.
QSize vokr_table_size_hint(const QTableView* view, int rows);

// Sizes the widget's window to show all of its size hint, as far as the screen allows: a window
// not shown yet opens at that size, a shown one only grows.
void vokr_fit_window(QWidget* widget);
