// The export command and the image of the whole node list and waveform grid.
#include "ksm.h"
#include "vokr_export_dlg.h"
#include "vokr_image_export_option.h"
#include "vokr_tx_manager.h"
#include "vokr_view.h"

#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QScrollBar>

void VOKR_VIEW::on_export()
{
    VOKR_EXPORT_DLG dialog(m_tx_manager->get_data_log(), m_frame_wnd, this, m_tx_manager);
    dialog.exec();
}

namespace {

void set_failure(QString* failure, const QString& reason)
{
    if (failure)
        *failure = reason;
}

// Writes a new file that replaces the one there only when whole and synced, so that a failed
// write keeps the file that was there; the format follows the path's suffix.
bool write_image(const QImage& image, const QString& path, QString* failure)
{
    if (image.isNull()) {
        set_failure(failure, "the image is too large to be made");
        return false;
    }
    QString encoding;
    std::string reason;
    const bool written = ksm_replace_file(
        QFile::encodeName(path).toStdString(),
        [&](QIODevice* file) {
            QImageWriter writer(file, QFileInfo(path).suffix().toLatin1());
            if (!writer.write(image))
                encoding = writer.errorString();
            return encoding.isEmpty();
        },
        &reason);
    if (!written)
        set_failure(failure, !encoding.isEmpty() ? encoding : QString::fromLocal8Bit(reason.c_str()));
    return written;
}

}  // namespace

// Paints the grid at full content width (at most IMAGE_WIDTH_LIMIT) into an image file whose
// format follows the path's suffix. A wider grid asks whether to keep the sample spacing (only
// the samples in view) or to fit every sample; fitting shows the whole depth at zoom 1/1. The
// view's geometry, zoom, scroll ranges and scroll positions are restored exactly afterwards.
bool VOKR_VIEW::export_image(const QString& path, QString* failure)
{
    set_failure(failure, QString());
    int width = get_total_width();
    bool fit = true;
    if (width > IMAGE_WIDTH_LIMIT) {
        width = IMAGE_WIDTH_LIMIT;
        if (!ask_image_fit_all(&fit))
            return false;
    }
    const QRect saved_geometry = geometry();
    const VOKR_DOUBLE saved_level = m_zoom_level, saved_offset = m_zoom_offset;
    const int saved_horizontal = m_horizontal_bar->value(), saved_vertical = m_vertical_bar->value();
    const QImage image = render_image(fit ? width : this->width(), get_total_height(), fit);
    // The zoom goes back before the size, so that the bars' ranges are those of the user's zoom.
    m_zoom_level = saved_level, m_zoom_offset = saved_offset;
    setGeometry(saved_geometry);
    resizeEvent(nullptr);
    m_horizontal_bar->setValue(saved_horizontal);
    m_vertical_bar->setValue(saved_vertical);
    invalidate_geometry();
    return write_image(image, path, failure);
}

// The whole grid at that size; fitting paints every sample from the first at zoom 1/1. A grid
// too large for memory gives a null image, never a paint on nothing.
QImage VOKR_VIEW::render_image(int width, int height, bool fit)
{
    setGeometry(0, 0, width, height);
    if (fit) {
        m_horizontal_bar->setSliderPosition(0);
        m_zoom_level = VOKR_DOUBLE(1, 1);
    }
    resizeEvent(nullptr);
    invalidate_geometry();
    QImage image(rect().size(), QImage::Format_RGB32);
    if (image.isNull())
        return image;
    QPainter painter(&image);
    QRect area = rect();
    paint(&painter, 0, this, &area, true);
    painter.end();
    return image;
}

bool VOKR_VIEW::ask_image_fit_all(bool* fit_all)
{
    VOKR_IMAGE_EXPORT_OPTION dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    *fit_all = dialog.is_fit_all();
    return true;
}
