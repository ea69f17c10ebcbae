// Icons kept as the pixels the raster engine leaves when it draws them over a ground: for each of a
// few grounds an icon was drawn over, the ground's pixels under it and what drawing it left there.
// Each pixel an opaque-or-blended icon leaves follows only from the pixel under it and the icon's
// own, so where the pixels under the icon are a kept ground again, copying what was left puts down
// exactly what drawing it would: the type icons of a view repainted while its rows stay. GUI
// thread only.
#pragma once

class QPainter;
class QPixmap;
class QPoint;
class VOKR_PIXEL_FILL;

class VOKR_ICON_SPRITES {
public:
    // Puts `icon` down with its top left at `at`, in painter coordinates, as
    // QPainter::drawPixmap(at, icon) does: from kept pixels where the ground under it was kept,
    // else drawn by the painter and kept. `pixels` must write what the painter would.
    static void draw(QPainter* painter, const VOKR_PIXEL_FILL& pixels, const QPoint& at, const QPixmap& icon);
};
