// The suite's display palette. Every colour and font a module paints with is named by an
// identifier here, so that the options dialog can offer them and every window draws alike.
// Brushes and pens are made from the colour of the same identifier.
//
// Colours (identifier: use, default):
//     1 cell frames and drop markers, black       5 invalid nodes, red
//    18 window text, black                       21 selected text, navy
//    22 window face (empty and read-only cells), light grey
//    24 horizontal grid lines, very light grey   26 cell outlines, silver
//    27 hint texts, dark grey                     6 selected waveforms, navy
//   108 high levels, green                       109 low levels, dark green
//   297 selection highlight, light steel blue     298 background, white
//   299 time bars, blue                           300 trigger position bar, red
//   301 end of samples bar, dark grey             302 column header text, black
//   303 waveform grid lines, light grey           304 Data/Setup window titles, dark blue
//   305 pre-synthesis node names, black           306 post-fitting node names, dark green
//   307 group names, dark magenta                 308 trigger mnemonics, dark cyan
//   309 data mnemonics, dark cyan                 310 sample numbers, black
//   311 segment numbers, dark grey                312 high values, green
//   313 low values, dark green                    314 bus values, black
//   315 duplicated nodes, grey
// Fonts (identifier: use, default): 54 Data/Setup window titles (bold), 55 column headers (bold),
//   56 pre-synthesis node names, 57 post-fitting node names, 58 group names (bold), 59 trigger
//   mnemonics, 60 data mnemonics, 61 master time bar sample number (bold), 62 sample numbers,
//   63 master time bar segment numbers (bold), 64 segment numbers, 65 bus values, 66 duplicated
//   nodes (italic). All are the application font with that weight or slant.
#include "pirq.h"

#include <QApplication>

#include <map>

namespace {

const std::map<int, QRgb>& colors()
{
    static const std::map<int, QRgb> table = {
        {1, qRgb(0, 0, 0)},        {4, qRgb(0, 255, 0)},       {8, qRgb(255, 255, 0)},     {5, qRgb(220, 0, 0)},
        {18, qRgb(0, 0, 0)},       {21, qRgb(0, 0, 128)},      {22, qRgb(240, 240, 240)},  {24, qRgb(232, 232, 232)},
        {26, qRgb(192, 192, 192)}, {27, qRgb(96, 96, 96)},     {6, qRgb(0, 0, 128)},       {108, qRgb(0, 160, 0)},
        {109, qRgb(0, 100, 0)},    {297, qRgb(176, 196, 222)}, {298, qRgb(255, 255, 255)}, {299, qRgb(0, 0, 255)},
        {300, qRgb(255, 0, 0)},    {301, qRgb(96, 96, 96)},    {302, qRgb(0, 0, 0)},       {303, qRgb(211, 211, 211)},
        {304, qRgb(0, 0, 128)},    {305, qRgb(0, 0, 0)},       {306, qRgb(0, 100, 0)},     {307, qRgb(139, 0, 139)},
        {308, qRgb(0, 139, 139)},  {309, qRgb(0, 139, 139)},   {310, qRgb(0, 0, 0)},       {311, qRgb(96, 96, 96)},
        {312, qRgb(0, 192, 0)},    {313, qRgb(0, 100, 0)},     {314, qRgb(0, 0, 0)},       {315, qRgb(128, 128, 128)},
    };
    return table;
}

enum FONT_STYLE { PLAIN, BOLD, ITALIC };

const std::map<int, FONT_STYLE>& fonts()
{
    static const std::map<int, FONT_STYLE> table = {
        {54, BOLD}, {55, BOLD},  {56, PLAIN}, {57, PLAIN}, {58, BOLD},  {59, PLAIN},  {60, PLAIN},
        {61, BOLD}, {62, PLAIN}, {63, BOLD},  {64, PLAIN}, {65, PLAIN}, {66, ITALIC},
    };
    return table;
}

}  // namespace

QColor pirq_get_color(int id)
{
    auto it = colors().find(id);
    return it == colors().end() ? QColor(Qt::black) : QColor(it->second);
}

QBrush pirq_get_brush(int id) { return QBrush(pirq_get_color(id)); }

QPen pirq_get_pen(int id) { return QPen(pirq_get_color(id), 1); }

// Each font is made once from the application font and kept until that changes: a kept font
// keeps the engines it has resolved, which a new copy would look up again.
QFont pirq_get_font(int id)
{
    static QFont base;
    static std::map<int, QFont> made;
    const QFont application = QApplication::font();
    if (made.empty() || !(application == base) || application.resolve() != base.resolve()) {
        made.clear();
        base = application;
    }
    auto kept = made.find(id);
    if (kept != made.end())
        return kept->second;
    QFont font = application;
    auto it = fonts().find(id);
    if (it != fonts().end()) {
        font.setBold(it->second == BOLD);
        font.setItalic(it->second == ITALIC);
    }
    made.emplace(id, font);
    return font;
}
