#include "vokr_table_fit.h"

#include <QHeaderView>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>

#include <algorithm>

void vokr_fit_columns(QTableView* view, std::initializer_list<int> minimum_widths)
{
    int column = 0;
    for (int minimum : minimum_widths) {
        if (column >= view->horizontalHeader()->count())
            break;
        // The cells' width is public on the item view base only.
        const QAbstractItemView* cells = view;
        const int needed =
            std::max(view->horizontalHeader()->sectionSizeHint(column), cells->sizeHintForColumn(column));
        view->setColumnWidth(column, std::max(minimum, needed));
        ++column;
    }
}

QSize vokr_table_size_hint(const QTableView* view, int rows)
{
    const int frame = 2 * view->frameWidth();
    const QHeaderView* row_header = view->verticalHeader();
    // Rows that are there with their own heights, the others at the default height.
    const int present = std::min(rows, row_header->count());
    int rows_height = (rows - present) * row_header->defaultSectionSize();
    for (int row = 0; row < present; ++row)
        rows_height += row_header->sectionSize(row);
    const int width = view->horizontalHeader()->length() + view->verticalScrollBar()->sizeHint().width() + frame;
    return QSize(width, view->horizontalHeader()->sizeHint().height() + rows_height + frame);
}

// A window shown for the first time gets at most two thirds of the screen from Qt; these open at
// their whole size hint instead.
void vokr_fit_window(QWidget* widget)
{
    QWidget* window = widget->window();
    window->ensurePolished();
    QSize size = window->sizeHint();
    if (window->isVisible())
        size = size.expandedTo(window->size());
    if (const QScreen* screen = window->screen())
        size = size.boundedTo(screen->availableGeometry().size());
    window->resize(size);
}
