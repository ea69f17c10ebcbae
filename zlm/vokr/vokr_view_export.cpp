// The export command and the image of the whole node list and waveform grid.
#include "vokr_export_dlg.h"
#include "vokr_image_export_option.h"
#include "vokr_tx_manager.h"
#include "vokr_view.h"

#include <QImage>
#include <QPainter>
#include <QScrollBar>

void VOKR_VIEW::on_export()
{
    VOKR_EXPORT_DLG dialog(m_tx_manager->get_data_log(), m_frame_wnd, this, m_tx_manager);
    dialog.exec();
}

// Paints the grid at full content width (at most IMAGE_WIDTH_LIMIT) into an image file whose
// format follows the path's suffix. A wider grid asks whether to keep the sample spacing (only
// the samples in view) or to fit every sample; fitting shows the whole depth at zoom 1/1. The
// view's geometry, zoom and scroll position are restored exactly afterwards.
bool VOKR_VIEW::export_image(const QString& path)
{
    int width = get_total_width();
    const int height = get_total_height();
    bool fit = true;
    if (width > IMAGE_WIDTH_LIMIT) {
        width = IMAGE_WIDTH_LIMIT;
        if (!ask_image_fit_all(&fit))
            return false;
    }
    const QRect saved_geometry = geometry();
    if (!fit)
        width = this->width();
    const int saved_scroll = m_horizontal_bar->isVisible() ? m_horizontal_bar->value() : 0;
    const VOKR_DOUBLE saved_level = m_zoom_level, saved_offset = m_zoom_offset;
    setGeometry(0, 0, width, height);
    if (fit) {
        m_horizontal_bar->setSliderPosition(0);
        m_zoom_level = VOKR_DOUBLE(1, 1);
    }
    invalidate_geometry();
    // A grid too large for memory gives a null image: a failure, never a paint on nothing.
    QImage image(rect().size(), QImage::Format_RGB32);
    bool saved = false;
    if (!image.isNull()) {
        QPainter painter(&image);
        QRect area = rect();
        paint(&painter, 0, this, &area, true);
        painter.end();
        saved = image.save(path);
    }
    setGeometry(0, 0, saved_geometry.width(), saved_geometry.height());
    if (fit) {
        m_horizontal_bar->setSliderPosition(saved_scroll);
        m_zoom_level = saved_level, m_zoom_offset = saved_offset;
    }
    invalidate_geometry();
    return saved;
}

bool VOKR_VIEW::ask_image_fit_all(bool* fit_all)
{
    VOKR_IMAGE_EXPORT_OPTION dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    *fit_all = dialog.is_fit_all();
    return true;
}
