#include "vokr_icon_sprites.h"

#include "vokr_pixel_fill.h"

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QRect>

#include <vector>

namespace {

using RUN = VOKR_PIXEL_FILL::RUN;

// A ground the icon was drawn over and what it left there, both of the icon's size.
struct DRAWN {
    QImage ground, pixels;
};

// An icon drawn on images of one format in one composition mode, its rows as runs.
struct ICON {
    QPixmap pixmap;
    int format, mode;
    std::vector<RUN> runs;
    std::vector<DRAWN> drawn;  // the latest last
};

constexpr size_t MAX_ICONS = 64;
constexpr size_t MAX_GROUNDS = 4;  // per icon: unselected, selected and focused rows, a spare

// The icons, forgotten with the application object, whose pixmaps they must not outlive.
std::vector<ICON>& kept()
{
    static std::vector<ICON> icons;
    static const bool forgotten_at_exit = [] {
        qAddPostRoutine([] { std::vector<ICON>().swap(icons); });
        return true;
    }();
    Q_UNUSED(forgotten_at_exit);
    return icons;
}

ICON& icon_for(const QPixmap& pixmap, int format, int mode)
{
    std::vector<ICON>& icons = kept();
    for (ICON& icon : icons)
        if (icon.pixmap.cacheKey() == pixmap.cacheKey() && icon.format == format && icon.mode == mode)
            return icon;
    if (icons.size() >= MAX_ICONS)
        icons.clear();
    ICON icon{pixmap, format, mode, {}, {}};
    for (int y = 0; y < pixmap.height(); ++y)
        icon.runs.push_back({short(y), 0, short(pixmap.width())});
    icons.push_back(std::move(icon));
    return icons.back();
}

}  // namespace

void VOKR_ICON_SPRITES::draw(QPainter* painter, const VOKR_PIXEL_FILL& pixels, const QPoint& at, const QPixmap& icon)
{
    constexpr int MAX_SIDE = 256;  // a short's reach, and more than any icon
    if (!pixels.valid() || icon.isNull() || icon.width() > MAX_SIDE || icon.height() > MAX_SIDE ||
        !pixels.contains(QRect(at, icon.size()))) {
        painter->drawPixmap(at, icon);
        return;
    }
    ICON& kept_icon = icon_for(icon, pixels.format(), int(painter->compositionMode()));
    const QRect bounds(QPoint(0, 0), icon.size());
    for (const DRAWN& drawn : kept_icon.drawn)
        if (pixels.same_pixels(at, bounds, kept_icon.runs, drawn.ground.constBits(), drawn.ground.bytesPerLine())) {
            pixels.copy(QRect(at, icon.size()), drawn.pixels.constBits(), drawn.pixels.bytesPerLine());
            return;
        }
    // Drawn by the painter, its ground read before and its pixels after.
    DRAWN drawn{QImage(icon.size(), QImage::Format(pixels.format())),
                QImage(icon.size(), QImage::Format(pixels.format()))};
    pixels.read(at, bounds, kept_icon.runs, drawn.ground.bits(), drawn.ground.bytesPerLine());
    painter->drawPixmap(at, icon);
    pixels.read(at, bounds, kept_icon.runs, drawn.pixels.bits(), drawn.pixels.bytesPerLine());
    if (kept_icon.drawn.size() >= MAX_GROUNDS)
        kept_icon.drawn.erase(kept_icon.drawn.begin());
    kept_icon.drawn.push_back(std::move(drawn));
}
