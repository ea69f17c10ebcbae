// Printing: the node list with its waveforms laid out on a logical 800 x 800 page, pages running
// across the samples first and then down the rows, every page at one time scale.
#include "ksm.h"
#include "vokr_frame_wnd.h"
#include "vokr_msg.h"
#include "vokr_number.h"
#include "vokr_tx_manager.h"
#include "vokr_view.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryFile>

#include <algorithm>
#include <vector>

namespace {

constexpr int PAGE = 800;
constexpr int SEGMENT_ROW = 1;  // the view's header row of segment marks
// The widest, in characters, that the user's name width makes the printed Name and Alias columns.
constexpr int MAX_LABEL_CHARS = 30;

// The page layout, every divisor at least 1 whatever the user's settings hold.
struct LAYOUT {
    int rows = 1, samples = 1, across = 0, down = 0;
    int count() const { return across * down; }
};

LAYOUT page_layout(const VOKR_TX_MANAGER* m, int visible, int depth)
{
    LAYOUT l;
    l.rows = std::max(1, m->get_row_pp());
    l.samples = std::max(1, m->get_column_pp());
    if (m->get_page_fit_type() == 1) {
        l.rows = visible / std::max(1, m->get_pages_tall()) + 1;
        l.samples = depth / std::max(1, m->get_pages_wide()) + 1;
    }
    l.across = (depth + l.samples - 1) / l.samples;
    l.down = (visible + l.rows - 1) / l.rows;
    return l;
}

const char* type_letter(KSM_DATA_SIGNAL_TYPE type)
{
    switch (type) {
    case KSM_STYPE_INPUT_PIN: return "I";
    case KSM_STYPE_OUTPUT_PIN: return "O";
    case KSM_STYPE_BIDIR_PIN: return "B";
    case KSM_STYPE_MEMORY: return "M";
    case KSM_STYPE_REGISTERED: return "R";
    case KSM_STYPE_COMBINATORIAL: return "C";
    case KSM_STYPE_MACHINE: return "S";
    default: return "";
    }
}

void frame(QPainter* p, const QRect& r, bool panel)
{
    p->setPen(QPen(Qt::black, 0));
    p->setBrush(panel ? pirq_get_brush(22) : QBrush(Qt::NoBrush));
    p->drawRect(r);
    p->setBrush(Qt::NoBrush);
}

void hatch(QPainter* p, const QRect& r)
{
    if (r.width() > 1)
        p->fillRect(QRect(QPoint(r.left() + 1, r.top() + 1), QPoint(r.right() - 1, r.bottom() - 4)),
                    QBrush(Qt::black, Qt::DiagCrossPattern));
}

// Whether a PDF file was written to its end: the last line the writer writes is the end marker.
bool pdf_complete(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(std::max<qint64>(0, file.size() - 16)))
        return false;
    return file.read(16).trimmed().endsWith("%%EOF");
}

// Why a file stopped short: the system's answer to one more byte (a size limit, a full disk).
QString write_stop_reason(const QString& path)
{
    QFile file(path);
    if (file.open(QIODevice::Append) && file.write("\n", 1) == 1 && file.flush())
        return "the document was not written completely";
    return file.errorString();
}

void report_print_failure(const QString& path, const QString& reason)
{
    const QByteArray text =
        QString("Cannot print to file \"%1\" -- %2").arg(QDir::toNativeSeparators(path), reason).toLocal8Bit();
    auto* notice = new MSG_O;
    notice->fill_args("%1!s!/OVOKR_PRINT_NOT_WRITTEN", text.constData());
    vokr_prompt(notice);
}

}  // namespace

void VOKR_VIEW::on_print() { on_print(m_frame_wnd ? m_frame_wnd->get_printer() : nullptr); }

// A print to a PDF file says why it failed, and keeps the file that was there.
void VOKR_VIEW::on_print(QPrinter* printer)
{
    const QString target = printer ? printer->outputFileName() : QString();
    if (!printer || printer->outputFormat() != QPrinter::PdfFormat || target.isEmpty()) {
        print_pages(printer);
        return;
    }
    const QString failure = print_to_file(printer, target);
    printer->setOutputFileName(target);
    if (!failure.isEmpty())
        report_print_failure(target, failure);
}

// The document is printed to a temporary file of the system's, and written to the target (a
// link's target) only once it is whole: a new file beside it replaces it once it and the folder
// are synced. The reason of a failure, else empty; nothing to print leaves the file as it was.
QString VOKR_VIEW::print_to_file(QPrinter* printer, const QString& target)
{
    const QFileInfo link(target);
    const QFileInfo info(link.isSymLink() ? link.symLinkTarget() : target);
    if (info.isDir())
        return "the name is a folder";
    if (info.exists() && !info.isWritable())
        return "the file is not writable";
    QTemporaryFile temporary(QDir::temp().filePath("korvane-print-XXXXXX.pdf"));
    if (!temporary.open())
        return temporary.errorString();
    temporary.close();
    printer->setOutputFileName(temporary.fileName());
    const int pages = print_pages(printer);
    if (pages < 0)
        return "the file could not be opened for printing";
    if (pages == 0)
        return QString();
    if (!pdf_complete(temporary.fileName()))
        return write_stop_reason(temporary.fileName());
    if (!temporary.open())
        return temporary.errorString();
    std::string reason;
    const bool written = ksm_replace_file(
        QFile::encodeName(target).toStdString(),
        [&](QIODevice* file) {
            for (QByteArray piece; !(piece = temporary.read(1 << 20)).isEmpty();)
                if (file->write(piece) != piece.size())
                    return false;
            return temporary.error() == QFileDevice::NoError;
        },
        &reason);
    return written ? QString() : QString::fromLocal8Bit(reason.c_str());
}

// The pages printed, -1 when the printer could not begin.
int VOKR_VIEW::print_pages(QPrinter* printer)
{
    KSM_TX_SIGNAL_NODES* list = current_node_table();
    if (!printer || !list)
        return 0;
    std::vector<int> shown;
    for (int n = 0; n < list->get_num_nodes(); ++n)
        if (get_row_height(node_to_row(n)) > 0)
            shown.push_back(n);
    const int depth = get_sample_depth();
    const LAYOUT l = page_layout(m_tx_manager, int(shown.size()), depth);
    QPainter painter;
    if (l.count() < 1)
        return 0;
    if (!painter.begin(printer))
        return -1;
    const int unit = print_sample_unit(shown.empty() ? 0 : shown.back(), l.samples);
    const int from = printer->fromPage() > 0 ? printer->fromPage() : 1;
    const int to = printer->fromPage() > 0 ? std::min(printer->toPage(), l.count()) : l.count();
    for (int page = from; page <= to; ++page) {
        if (page > from)
            printer->newPage();
        const QRect paint = printer->pageLayout().paintRectPixels(printer->resolution());
        painter.setWindow(0, 0, PAGE, PAGE);
        painter.setViewport(0, 0, paint.width() - 1, paint.height() - 1);
        const int block = (page - 1) / l.across, first = ((page - 1) % l.across) * l.samples;
        const std::vector<int> rows(shown.begin() + std::min<size_t>(shown.size(), size_t(block) * l.rows),
                                    shown.begin() + std::min<size_t>(shown.size(), size_t(block + 1) * l.rows));
        print_page(&painter, rows, l.rows, block * l.rows,
                   {first, std::min(depth, first + l.samples), l.samples, unit});
    }
    painter.end();
    return std::max(1, to - from + 1);  // a range past the last page still makes a document
}

// 9 units a character of the longest name (with its indent) or alias, each column at most 8 units
// a character of the user's name width, itself at most MAX_LABEL_CHARS: the page keeps room for
// the waveforms whatever the names, aliases and settings hold.
std::pair<int, int> VOKR_VIEW::print_name_widths(int last_node) const
{
    KSM_TX_SIGNAL_NODES* list = current_node_table();
    const size_t cap = size_t(std::clamp(m_tx_manager->get_name_width(), 1, MAX_LABEL_CHARS)) * 8;
    size_t name = 4, alias = 5;
    for (int n = 0; n <= last_node && n < list->get_num_nodes(); ++n) {
        const size_t extra = is_group(n) ? 2 : list->get_depth(n) > 0 ? 5 : 0;
        name = std::max(name, std::min(strlen(list->get_node_name(n)), cap) + extra);
        alias = std::max(alias, std::min(strlen(list->get_node_alias(n)), cap));
    }
    return {int(std::min(9 * name, cap)), int(std::min(9 * alias, cap))};
}

// Page units per sample on every page, the last one of a few samples too: what the narrowest
// waveform cell, beside the widest names of the first sample block's pages, gives each sample.
int VOKR_VIEW::print_sample_unit(int last_node, int per_page) const
{
    const auto [name_w, alias_w] = print_name_widths(last_node);
    const int waves = (m_tx_manager->get_show_type() ? 700 : 750) - name_w -
                      (m_tx_manager->get_show_alias() ? alias_w : 0) - 2;  // less the cell's margins
    return std::max(0, waves) / per_page;
}

void VOKR_VIEW::print_page(QPainter* p, const std::vector<int>& nodes, int rows_per_page, int first_row,
                           const PRINT_SAMPLES& samples)
{
    KSM_TX_SIGNAL_NODES* list = current_node_table();
    p->fillRect(QRect(0, 0, PAGE, PAGE), pirq_get_color(298));
    const int h = std::min(30, PAGE / (std::min(list->get_num_nodes(), rows_per_page) + 1));
    // Text sized in page units, so that it fits its row whatever the printer's resolution.
    QFont font = p->font();
    font.setPixelSize(std::max(4, std::min(11, h - 6)));
    p->setFont(font);
    const auto [name_w, alias_w] = print_name_widths(nodes.empty() ? 0 : nodes.back());
    for (size_t i = 0; i <= nodes.size(); ++i) {
        const int top = int(i) * h;
        if (top > PAGE - 1)
            break;
        const int node = i == 0 ? -1 : nodes[i - 1];
        // Texts are centred, or with an indent (the name tree's) left-aligned.
        auto cell = [&](int left, int right, bool panel, const QString& text, int indent = -1) {
            const QRect r(QPoint(left, top), QPoint(right, top + h + 1));
            frame(p, r, panel || node < 0);
            if (!text.isEmpty())
                p->drawText(r.adjusted(2 + std::max(0, indent), 2, -2, -2),
                            indent < 0 ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter, text);
            return r;
        };
        cell(0, 51, true, node < 0 ? QString("Row") : QString::number(first_row + int(i)));
        int x = 50, remaining = 750;
        if (samples.first == 0) {
            if (m_tx_manager->get_show_type()) {
                const QString letter = node < 0 ? QString() : type_letter(list->get_signal_type(node));
                cell(50, 101, true, node < 0 ? "Type" : is_group(node) ? letter + letter : letter);
                x = 100, remaining = 700;
            }
            if (m_tx_manager->get_show_alias()) {
                const QString alias =
                    node < 0 ? QString() : vokr_one_line(QString::fromLocal8Bit(list->get_node_alias(node)));
                cell(x, x + alias_w + 1, true,
                     node < 0 ? QString("Alias") : p->fontMetrics().elidedText(alias, Qt::ElideRight, alias_w - 4));
                x += alias_w, remaining -= alias_w;
            }
            cell(x, x + name_w + 1, false,
                 node < 0 ? QString("Name") : vokr_one_line(QString::fromLocal8Bit(list->get_node_name(node))),
                 node < 0 ? -1 : 9 * list->get_depth(node) + (is_group(node) ? 0 : 2));
            x += name_w, remaining -= name_w;
        }
        const QRect wave = cell(x, x + remaining + 1, false, QString());
        if (node < 0)
            print_rulers(p, wave, samples);
        else
            print_wave(p, node, wave.adjusted(2, 2, -2, -2), samples);
    }
}

void VOKR_VIEW::print_rulers(QPainter* p, const QRect& cell, const PRINT_SAMPLES& samples)
{
    const bool segmented = m_tx_manager->get_data_segment_size() > 0;
    if (!segmented || get_row_height(SEGMENT_ROW) <= 0) {
        print_ruler(p, cell.adjusted(2, 2, -2, -2), samples, segmented);
        return;
    }
    const int middle = (cell.top() + cell.bottom()) / 2;
    const QRect upper(cell.topLeft(), QPoint(cell.right(), middle));
    const QRect lower(QPoint(cell.left(), middle), cell.bottomRight());
    for (const auto& [half, segments] : {std::pair{upper, true}, std::pair{lower, false}}) {
        frame(p, half, true);
        print_ruler(p, half.adjusted(2, 2, -2, -2), samples, segments);
    }
}

// Labels at the multiples of the page's ruler step, with longer ticks at the half steps; a
// segment ruler marks the page's first sample and each sample a whole number of segments from the
// trigger, labelled with sample numbers. Labels keep apart, and the walk ends at the first one
// that would stick out on the right. Ticks are 5, 3 and 2 units long, shorter in a ruler of half
// the header's height, whose labels would otherwise be too small to read.
void VOKR_VIEW::print_ruler(QPainter* p, const QRect& r, const PRINT_SAMPLES& samples, bool segments)
{
    if (samples.end <= samples.first)
        return;
    const int tick = std::clamp(r.height() / 3, 2, 5), half_tick = std::max(1, tick - 2), short_tick = tick - 3;
    p->save();
    QFont font = p->font();
    font.setPixelSize(std::clamp(r.height() - tick, 4, 11));  // above the longest tick
    p->setFont(font);
    const int unit = samples.unit;
    const QRect scale(r.left(), r.top(), unit * samples.per_page + 5, r.height());  // the page's samples
    const int step = std::max(1, get_print_ruler_step(p, scale, samples.first, samples.first + samples.per_page));
    const int half = std::max(1, step / 2), size = m_tx_manager->get_data_segment_size();
    const KSM_DATA_LOG* log = m_tx_manager->get_data_log();
    const int trigger = log ? std::max(0, log->get_data_trigger_position(-1)) : 0;
    p->setPen(QPen(Qt::black, 0));
    int free_from = r.left();  // where the next label may start
    for (int s = samples.first; s <= samples.end; ++s) {
        if (segments && s != samples.first && (size <= 0 || (s - trigger) % size != 0))
            continue;
        const int x = r.left() + (s - samples.first) * unit;
        if (!segments && s % step != 0) {
            p->drawLine(x, r.bottom(), x, r.bottom() - std::max(1, s % half == 0 ? half_tick : short_tick));
            continue;
        }
        QString text;
        format_sample_value(&text, s - trigger, false, segments);
        const int w = p->fontMetrics().horizontalAdvance(text) + 2;
        const int left = std::max(x - w / 2, r.left());
        if (left + w > r.right() + 1)
            break;
        if (left >= free_from) {
            p->drawText(QRect(left, r.top(), w, r.height() - tick), Qt::AlignCenter, text);
            free_from = left + w + 2;
        }
        p->drawLine(x, r.bottom(), x, r.bottom() - tick);
    }
    p->restore();
}

namespace {

// The samples of a printed cell: x of sample s is left + (s - first) * unit.
struct SPAN {
    QRect rect;
    int first, end, unit, depth, trigger;
    int x(int s) const { return rect.left() + (s - first) * unit; }
};

// A double line where the capture starts or ends, and a dotted line at the trigger sample.
void draw_limits(QPainter* p, const SPAN& span)
{
    const QRect& r = span.rect;
    p->setPen(QPen(Qt::black, 0));
    if (span.first == 0)
        p->drawLine(r.left(), r.top(), r.left(), r.bottom()),
            p->drawLine(r.left() + 2, r.top(), r.left() + 2, r.bottom());
    if (span.end == span.depth) {
        const int x = span.x(span.end);
        p->drawLine(x, r.top(), x, r.bottom()), p->drawLine(x - 2, r.top(), x - 2, r.bottom());
    }
    if (span.trigger >= span.first && span.trigger < span.end) {
        p->setPen(QPen(Qt::black, 0, Qt::DotLine));
        p->drawLine(span.x(span.trigger), r.top(), span.x(span.trigger), r.bottom());
    }
}

// A bit's level at each captured sample; samples never captured stay blank, as on screen.
void draw_bits(QPainter* p, const SPAN& span, const std::vector<char>& bits, const std::vector<char>& valid)
{
    const QRect& r = span.rect;
    const int high = r.top() + 1, low = r.bottom() - 2;
    for (size_t i = 0; i < bits.size(); ++i) {
        if (!valid[i])
            continue;
        const int s = span.first + int(i);
        const bool one = bits[i];
        p->setPen(pirq_get_pen(one ? 108 : 109));
        p->drawLine(span.x(s), one ? high : low, span.x(s + 1), one ? high : low);
        if (i > 0 && valid[i - 1] && one != bool(bits[i - 1]))
            p->drawLine(span.x(s), high, span.x(s), low);
    }
}

// One run of equal bus values: a band between the cell's edges, slanted where the value changes
// (half a slant where the cell starts), with the value's text centred when it fits.
void draw_run(QPainter* p, const SPAN& span, int from, int to, const QString& text)
{
    const QRect& r = span.rect;
    const int slant = std::min(6, span.unit) / 2, mid = (r.top() + r.bottom()) / 2;
    const int left = span.x(from), right = span.x(to);
    const int right_in = to < span.end ? right - slant : right;
    QPolygon band;
    band << QPoint(left, mid) << QPoint(left + slant, r.top()) << QPoint(right_in, r.top());
    if (to < span.end)
        band << QPoint(right, mid);
    band << QPoint(right_in, r.bottom()) << QPoint(left + slant, r.bottom());
    p->setPen(QPen(pirq_get_color(314), 0));
    p->setBrush(Qt::NoBrush);
    p->drawPolygon(band);
    vokr_draw_text_if_fits(p, QRect(QPoint(left + slant, r.top()), QPoint(right_in, r.bottom())), Qt::AlignCenter,
                           text);
}

}  // namespace

// Reads only the page's samples of the node (or of each member of a group), each bit with the
// row's inversion applied.
void VOKR_VIEW::print_wave(QPainter* p, int node, const QRect& r, const PRINT_SAMPLES& samples)
{
    const int first = samples.first, end = samples.end;
    KSM_TX_SIGNAL_NODES* list = current_node_table();
    const KSM_TX_SIGNAL_SET* set = m_tx_manager->get_signal_nodes(-1);
    const KSM_DATA_LOG* log = m_tx_manager->get_data_log();
    std::vector<int> rows;
    const int last = is_group(node) ? list->get_last_child_index(node) : node;
    for (int n = is_group(node) ? node + 1 : node; n <= last && set; ++n)
        if (!list->has_children(n))
            rows.push_back(n);
    const bool data =
        log && log->is_data_available(false) && !rows.empty() && std::all_of(rows.begin(), rows.end(), [&](int n) {
            return set->get_channel(n) >= 0 && log->get_connection_status(set->get_channel(n));
        });
    if (!data || end <= first) {
        if (end > 0)
            hatch(p, r);
        return;
    }
    const SPAN span{
        r, first, end, std::max(1, samples.unit), get_sample_depth(), std::max(0, log->get_data_trigger_position(-1))};
    // Member bits sample by sample: row k of the block holds the bits of sample first + k.
    const size_t width = rows.size();
    std::vector<char> valid(size_t(end - first));
    for (int s = first; s < end; ++s)
        valid[size_t(s - first)] = log->is_bit_valid(s);
    std::vector<char> bits(width * size_t(end - first));
    for (size_t k = 0; k < width; ++k) {
        const int channel = set->get_channel(rows[k]);
        const char inverted = set->is_signal_inverted(rows[k]) ? 1 : 0;
        for (int s = first; s < end; ++s)
            bits[size_t(s - first) * width + k] = char(log->get_bit(channel, s) ^ inverted);
    }
    if (!is_group(node)) {
        draw_bits(p, span, bits, valid);
    } else {
        auto text_at = [&](int s) {
            std::string value(width, '0');
            for (size_t k = 0; k < width; ++k)
                value[k] = char('0' + bits[size_t(s - first) * width + k]);
            VOKR_NUMBER number(value.c_str());
            const char* text = nullptr;
            number.get_string(m_tx_manager, node, &text, true, true, nullptr, -1);
            return QString::fromLocal8Bit(text ? text : "");
        };
        // A run of samples never captured stays blank.
        auto same = [&](int a, int b) {
            const bool known = valid[size_t(a - first)];
            return known == bool(valid[size_t(b - first)]) &&
                   (!known || std::equal(bits.begin() + std::ptrdiff_t(size_t(a - first) * width),
                                         bits.begin() + std::ptrdiff_t(size_t(a - first + 1) * width),
                                         bits.begin() + std::ptrdiff_t(size_t(b - first) * width)));
        };
        for (int from = first, to; from < end; from = to) {
            for (to = from + 1; to < end && same(from, to);)
                ++to;
            if (valid[size_t(from - first)])
                draw_run(p, span, from, to, text_at(from));
        }
    }
    draw_limits(p, span);
}
