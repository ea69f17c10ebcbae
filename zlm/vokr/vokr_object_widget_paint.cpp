// The canvas's painting: the diagram is drawn one unit per pixel into an image as large as the
// widget times the zoom, then shown scaled below the title band. Over the boxes go the text
// form of the expression (twice, the selected parts overprinted in bold) and the first problem
// that the expression printer found, with a red frame around the box it blames.
#include "vokr_object_widget.h"

#include "cfg.h"
#include "ksm.h"
#include "vokr_object.h"
#include "vokr_tx_manager.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>

namespace {

constexpr int COLOR_HIGHLIGHT = 297;
constexpr int COLOR_BACKGROUND = 298;
constexpr int BRUSH_FACE = 22;
constexpr int BRUSH_BAND_LINE = 26;
constexpr int PEN_TEXT = 18;
constexpr int FONT_MESSAGE = 5;
const QColor POWER_UP_TINT(153, 204, 255);

constexpr int TEXT_LEFT = 5;

bool show_equation()
{
    static const bool on = cfg_is_on("vok_show_equation", false);
    return on;
}

QFont expression_font(bool bold)
{
    QFont font(QStringLiteral("Courier"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSize(12);
    if (bold)
        font.setWeight(QFont::Bold);
    return font;
}

}  // namespace

QString VOKR_OBJECT_WIDGET::title_text(int level)
{
    static const char* const PATTERNS[] = {"Conditional Storage Qualifier", "Start Storage Qualifier",
                                           "Stop Storage Qualifier"};
    const QString what =
        level >= -3 && level <= -1 ? QString(PATTERNS[level + 3]) : QString("Condition %1").arg(level + 1);
    return "   Advanced Trigger Condition Editor: " + what;
}

QString VOKR_OBJECT_WIDGET::result_label() const
{
    const int index = vokr_find_child_of_type(m_objects, VOKR_TYPE_RESULT);
    QString name;
    if (index >= 0)
        m_objects->at(index)->get_string_property_text(VOKR_STRING_NAME, &name, VOKR_BANK_CURRENT);
    return (name.isEmpty() ? QStringLiteral("Result") : name) + ": ";
}

int VOKR_OBJECT_WIDGET::expression_lines_bottom() const
{
    int lines = 1;
    if (m_objects)
        for (const VOKR_OBJECT* box : std::as_const(*m_objects))
            if (!box->get_parent() && box->get_type() != VOKR_TYPE_RESULT)
                ++lines;
    // As painted: below the band, two pixels down, the bold pass one more.
    return TITLE_BAND + 1 + 2 + 1 + lines * QFontMetrics(expression_font(true)).height();
}

QString VOKR_OBJECT_WIDGET::fit_expression(const QString& text, const QFontMetrics& metrics, int width, int shift)
{
    QString fitted = text;
    if (metrics.horizontalAdvance(fitted) - shift > width) {
        // Cut from the end; an area too narrow for anything keeps only the ellipsis.
        while (!fitted.isEmpty() && metrics.horizontalAdvance(fitted + "...") - shift > width)
            fitted.chop(1);
        fitted += "...";
    }
    if (shift > 0) {
        int blanks = 0;
        while (blanks < fitted.size() && metrics.horizontalAdvance(QString(blanks, ' ')) < shift)
            ++blanks;
        fitted = QString(blanks, ' ') + "..." + fitted.mid(blanks + 3);
    }
    return fitted;
}

void VOKR_OBJECT_WIDGET::paintEvent(QPaintEvent*)
{
    if (!m_objects)
        return;
    const QRect logical(0, 0, width() * m_zoom / 10, height() * m_zoom / 10);
    if (logical.isEmpty())
        return;
    QImage image(logical.size(), QImage::Format_RGB32);
    {
        QPainter painter(&image);
        painter.setFont(font());
        for (VOKR_OBJECT* box : std::as_const(*m_objects))
            box->set_context(this);
        paint_background(&painter, logical);
        validate();
        paint_expression_lines(&painter);
        paint_validation(&painter);
        painter.setFont(font());
        const bool incremental = m_tx_manager && m_tx_manager->is_incremental_compile();
        for (VOKR_OBJECT* box : std::as_const(*m_objects))
            box->draw(&painter, hasFocus(), incremental);
        // A pointer outside the canvas, or where the platform does not know it, is not hovering.
        const QPoint pointer = mapFromGlobal(QCursor::pos());
        const QPoint mouse = to_canvas(rect().contains(pointer) ? pointer : m_mouse_point);
        for (VOKR_OBJECT* box : std::as_const(*m_objects))
            box->draw_connections(&painter, mouse);
        const QRect band = m_rubber_band.normalized();
        if (hasFocus() && !m_moving && (QApplication::mouseButtons() & Qt::LeftButton) && !m_rubber_band.isNull()) {
            painter.setPen(QPen(palette().dark().color(), 1, Qt::DashLine));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(band);
        }
    }
    QPainter widget(this);
    const QRect target(QPoint(0, TITLE_BAND + 1), QPoint(width() - 1 - m_vscroll->width(), height() - 1));
    widget.drawImage(target, image, QRect(QPoint(0, TITLE_BAND + 1), logical.bottomRight()));
    paint_title(&widget);
}

void VOKR_OBJECT_WIDGET::paint_background(QPainter* painter, const QRect& logical)
{
    QBrush brush(pirq_get_color(COLOR_BACKGROUND));
    if (is_disabled())
        brush = pirq_get_brush(BRUSH_FACE);
    else if (is_power_up_view())
        brush = is_locked() ? pirq_get_brush(BRUSH_FACE) : QBrush(POWER_UP_TINT);
    painter->fillRect(logical, brush);
}

// The band with the level's title and, when the switch asks for it, the printed expression.
void VOKR_OBJECT_WIDGET::paint_title(QPainter* painter)
{
    const QRect band(0, 0, width(), TITLE_BAND + 1);
    painter->fillRect(band, pirq_get_brush(BRUSH_BAND_LINE));
    painter->fillRect(band.adjusted(0, 0, 0, -1), pirq_get_brush(BRUSH_FACE));
    int level = 0;
    if (m_tx_manager)
        m_tx_manager->is_advanced_mode(&level);
    const QString title = title_text(level);
    painter->setPen(pirq_get_pen(PEN_TEXT));
    painter->drawText(band, Qt::AlignLeft | Qt::AlignVCenter, title);
    if (!show_equation() || m_equation.isEmpty())
        return;
    painter->setFont(pirq_get_font(FONT_MESSAGE));
    painter->setPen(m_error_code ? QPen(Qt::red) : pirq_get_pen(PEN_TEXT));
    const int left = painter->fontMetrics().horizontalAdvance(title + ' ');
    const QRect rest = band.adjusted(left, 0, 0, 0);
    painter->drawText(rest, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip,
                      painter->fontMetrics().elidedText(m_equation, Qt::ElideRight, rest.width()));
}

// The printer's text and first problem of the result box's expression.
void VOKR_OBJECT_WIDGET::validate()
{
    m_error_code = 0;
    m_error_object = nullptr;
    m_equation.clear();
    const int index = vokr_find_child_of_type(m_objects, VOKR_TYPE_RESULT);
    if (index < 0 || !m_tx_manager || m_tx_manager->is_empty())
        return;
    int level = 0;
    m_tx_manager->is_advanced_mode(&level);
    KSM_DATA_MNEMONICS* mnemonics = m_tx_manager->get_session()->get_data_session()->get_mnemonics();
    uint32_t code = VOKR_ELEMENT_OK;
    VOKR_OBJECT* blamed = nullptr;
    m_objects->at(index)->get_element_equation(&m_equation, mnemonics, m_tx_manager->get_trigger_nodes(-1), &code,
                                               &blamed, level < 0 ? 1 : level + 1, is_power_up_view());
    if (code != VOKR_ELEMENT_OK) {
        m_error_code = static_cast<int>(code);
        m_error_object = blamed;
    }
}

void VOKR_OBJECT_WIDGET::paint_expression_lines(QPainter* painter)
{
    const int index = vokr_find_child_of_type(m_objects, VOKR_TYPE_RESULT);
    VOKR_OBJECT* result = index >= 0 ? m_objects->at(index) : nullptr;
    const QString label = result_label();
    const int area = width() - m_vscroll->width();
    const int max = m_hscroll->maximum();
    for (int pass = 0; pass < 2; ++pass) {
        painter->setFont(expression_font(pass == 1));
        painter->setPen(pirq_get_pen(PEN_TEXT));
        const QFontMetrics metrics = painter->fontMetrics();
        int y = TITLE_BAND + 1 + 2 + pass;
        const int label_advance = metrics.horizontalAdvance(label);
        if (pass == 1) {
            painter->drawText(QPoint(TEXT_LEFT, y + metrics.ascent()), label);
            painter->setPen(pirq_get_color(COLOR_HIGHLIGHT));
        }
        const int x = TEXT_LEFT + label_advance;
        if (result && !result->get_children().isEmpty()) {
            QString text;
            result->get_children().first()->get_element_display_text(&text, pass == 1, 0);
            const int overflow = label_advance + metrics.horizontalAdvance(text) - area;
            int shift = 0;
            if (overflow > 0 && max > 0 && m_hscroll->value() > max / 2)
                shift = static_cast<int>(overflow * (2.0 * m_hscroll->value() / max - 1));
            text = fit_expression(text, metrics, area - label_advance, shift);
            painter->drawText(QPoint(x - shift, y + metrics.ascent()), text);
        }
        y += metrics.height();
        for (int i = m_objects->size() - 1; i >= 0; --i) {
            VOKR_OBJECT* root = m_objects->at(i);
            if (root->get_parent() || root->get_type() == VOKR_TYPE_RESULT)
                continue;
            QString text;
            root->get_element_display_text(&text, pass == 1, 0);
            painter->drawText(QPoint(x, y + metrics.ascent()), text);
            y += metrics.height();
        }
    }
}

void VOKR_OBJECT_WIDGET::paint_validation(QPainter* painter)
{
    if (!m_error_code || !m_error_object)
        return;
    painter->setFont(pirq_get_font(FONT_MESSAGE));
    painter->setPen(Qt::red);
    const int bottom = height() * m_zoom / 10 - m_hscroll->height() - 7;
    const QRect area(QPoint(TEXT_LEFT + 7, 0), QPoint(width() - m_vscroll->width(), bottom));
    painter->drawText(area, Qt::AlignLeft | Qt::AlignBottom | Qt::TextSingleLine,
                      vokr_element_error_text(static_cast<uint32_t>(m_error_code)));
    if (m_error_object->is_hidden()) {
        if (!m_moving && !m_uncover_queued) {
            // Uncovering edits the diagram: never inside the painter.
            m_uncover_queued = true;
            QTimer::singleShot(0, this, &VOKR_OBJECT_WIDGET::uncover_blamed_box);
        }
        return;
    }
    const bool selected = m_error_object->is_selected();
    const QRect box = m_error_object->get_rect().adjusted(0, 0, -2, -2);
    const int grow = selected ? 6 : 3;
    const QRect outer = box.adjusted(-grow, -grow, grow, grow);
    painter->setPen(Qt::red);
    painter->setBrush(Qt::red);
    painter->drawRoundedRect(outer, selected ? 7 : 5, selected ? 7 : 5);
    painter->setPen(Qt::white);
    painter->setBrush(Qt::white);
    painter->drawRoundedRect(outer.adjusted(3, 3, -3, -3), selected ? 6 : 5, selected ? 6 : 5);
    painter->setBrush(Qt::NoBrush);
}

// Shows the box that the last paint blamed but found inside a collapsed tree: its ancestors
// open, the trees are laid out, and a snapshot records the new look without marking the level.
void VOKR_OBJECT_WIDGET::uncover_blamed_box()
{
    m_uncover_queued = false;
    if (!m_objects || !m_error_object || !m_objects->contains(m_error_object) || !m_error_object->is_hidden())
        return;
    m_error_object->ensure_visible();
    arrange_objects();
    update_scroll_bars();
    save_undo(false);
}
