#include "vokr_find_dlg.h"

#include "ksm.h"
#include "vokr_msg.h"
#include "vokr_object.h"
#include "vokr_object_find_target.h"
#include "vokr_object_widget.h"
#include "vokr_view.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <cstdint>

namespace {

constexpr const char* FIND_IN_TEXTS[5] = {"Node names", "Bus names", "Other names", "Object aliases", "Object types"};
constexpr const char* OPTION_TEXTS[3] = {"Match case", "Find whole words only", "Use regular expressions"};
// Only node and bus names exist in the node list.
constexpr unsigned int NODE_FIND_IN = VOKR_FIND_TARGET::NODE_NAMES | VOKR_FIND_TARGET::BUS_NAMES;
// Boxes have every field.
constexpr unsigned int OBJECT_FIND_IN = 31;
constexpr int FIND_BACKWARDS = 2;

}  // namespace

VOKR_FIND_DLG::VOKR_FIND_DLG(QWidget* parent, VOKR_VIEW* view) : PIRQ_DIALOG(parent), m_view(view)
{
    build_controls();
    build_targets();
    load_find_settings();
}

VOKR_FIND_DLG::VOKR_FIND_DLG(QWidget* parent, VOKR_OBJECT_WIDGET* canvas) : PIRQ_DIALOG(parent), m_canvas(canvas)
{
    build_controls();
    load_find_settings();
}

unsigned int VOKR_FIND_DLG::all_find_in() const { return m_canvas ? OBJECT_FIND_IN : NODE_FIND_IN; }

QCheckBox* VOKR_FIND_DLG::find_in_box(int bit) const { return m_find_in_boxes[bit]; }

void VOKR_FIND_DLG::build_controls()
{
    setWindowTitle("Find");
    m_text_edit = new QLineEdit(this);
    m_text_edit->setObjectName("find_what");
    m_find_next = new QPushButton("Find Next", this);
    m_direction_combo = new QComboBox(this);
    m_direction_combo->addItems({"Up", "Down", "All"});
    auto* box = new QDialogButtonBox(QDialogButtonBox::Cancel | QDialogButtonBox::Help, Qt::Vertical, this);
    auto* group = new QGroupBox("Find in", this);
    auto* group_grid = new QGridLayout(group);
    const int cells[5][2] = {{0, 0}, {1, 0}, {2, 2}, {0, 2}, {1, 2}};
    for (int i = 0; i < 5; ++i) {
        m_find_in_boxes[i] = new QCheckBox(FIND_IN_TEXTS[i], group);
        group_grid->addWidget(m_find_in_boxes[i], cells[i][0], cells[i][1], 1, 2);
        connect(m_find_in_boxes[i], &QCheckBox::toggled, this, &VOKR_FIND_DLG::on_find_in_state_changed);
    }
    m_all = new QCheckBox("All", group);
    group_grid->addWidget(m_all, 2, 0, 1, 2);
    // The node list has no other names, aliases or types to search.
    for (int i = 2; i < 5 && !m_canvas; ++i) {
        m_find_in_boxes[i]->setEnabled(false);
        m_find_in_boxes[i]->hide();
    }
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel("Find what:", this), 0, 0);
    grid->addWidget(m_text_edit, 0, 1, 1, 2);
    grid->addWidget(m_find_next, 0, 3);
    for (int i = 0; i < 3; ++i) {
        m_options_boxes[i] = new QCheckBox(OPTION_TEXTS[i], this);
        grid->addWidget(m_options_boxes[i], i + 1, 0, 1, 2);
        connect(m_options_boxes[i], &QCheckBox::toggled, this, &VOKR_FIND_DLG::on_find_option_changed);
    }
    grid->addWidget(new QLabel("Search:", this), 1, 2);
    grid->addWidget(m_direction_combo, 2, 2);
    grid->addWidget(box, 1, 3, 3, 1);
    grid->addWidget(group, 4, 0, 4, 4);
    connect(m_text_edit, &QLineEdit::textChanged, this, &VOKR_FIND_DLG::on_find_text_changed);
    connect(m_all, &QCheckBox::clicked, this, &VOKR_FIND_DLG::on_find_all_state_changed);
    connect(m_find_next, &QPushButton::clicked, this, &VOKR_FIND_DLG::on_find_next_clicked);
    connect(m_direction_combo, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &VOKR_FIND_DLG::on_search_direction_combo_changed);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(box, &QDialogButtonBox::helpRequested, this, &PIRQ_DIALOG::help_button_clicked);
}

// One target per node of the active list whose hierarchy is shown.
void VOKR_FIND_DLG::build_targets()
{
    const KSM_TX_SIGNAL_NODES* list = m_view->current_node_table();
    for (int node = 0, count = list ? list->get_num_nodes() : 0; node < count; ++node) {
        if (m_view->is_hidden_for_find(node))
            continue;
        m_owned.push_back(std::make_unique<VOKR_FIND_TARGET>(
            m_view, node, QString::fromLocal8Bit(list->get_node_name(node)), m_view->is_group(node)));
        m_targets.push_back(m_owned.back().get());
    }
}

// ---- settings and controls ---------------------------------------------------------------------------

void VOKR_FIND_DLG::load_find_settings()
{
    if (m_canvas) {
        load_canvas_settings();
        return;
    }
    const VOKR_VIEW::FIND_SETTINGS& s = m_view->find_settings();
    const bool options[3] = {s.match_case, s.whole_word, s.regex};
    for (int i = 0; i < 3; ++i)
        m_options_boxes[i]->setChecked(options[i]);
    m_find_in_boxes[0]->setChecked(s.node_names);
    m_find_in_boxes[1]->setChecked(s.bus_names);
    m_direction_combo->setCurrentIndex(s.direction == "Up" ? 0 : s.direction == "Down" ? 1 : 2);
    on_search_direction_combo_changed(m_direction_combo->currentIndex());
    m_text_edit->setText(s.text);
    on_find_text_changed(s.text);
    on_find_in_state_changed();
}

void VOKR_FIND_DLG::save_find_settings()
{
    if (m_canvas) {
        save_canvas_settings();
        return;
    }
    VOKR_VIEW::FIND_SETTINGS& s = m_view->find_settings();
    s.match_case = m_options_boxes[0]->isChecked();
    s.whole_word = m_options_boxes[1]->isChecked();
    s.regex = m_options_boxes[2]->isChecked();
    s.direction = m_direction_combo->currentText();
    s.node_names = m_find_in_boxes[0]->isChecked();
    s.bus_names = m_find_in_boxes[1]->isChecked();
    s.text = m_text;
}

void VOKR_FIND_DLG::on_find_text_changed(const QString& text)
{
    m_text = text;
    m_find_next->setEnabled(!m_text.isEmpty() && m_find_in != 0);
}

void VOKR_FIND_DLG::on_find_in_state_changed()
{
    m_find_in = 0;
    for (int i = 0; i < 5; ++i)
        if (m_find_in_boxes[i]->isChecked())
            m_find_in |= 1u << i;
    m_find_next->setEnabled(!m_text.isEmpty() && m_find_in != 0);
    m_all->setChecked(m_find_in == all_find_in());
}

void VOKR_FIND_DLG::on_find_option_changed()
{
    m_options = 0;
    for (int i = 0; i < 3; ++i)
        if (m_options_boxes[i]->isChecked())
            m_options |= 1u << i;
}

void VOKR_FIND_DLG::on_find_all_state_changed(bool checked)
{
    for (int i = 0; i < 5; ++i)
        if (all_find_in() & (1u << i))
            m_find_in_boxes[i]->setChecked(checked);
}

void VOKR_FIND_DLG::on_search_direction_combo_changed(int index)
{
    m_direction = index == 0 ? YAB_UP : index == 1 ? YAB_DOWN : YAB_ALL;
}

// ---- searching ----------------------------------------------------------------------------------------

void VOKR_FIND_DLG::on_find_next_clicked()
{
    if (m_canvas)
        on_object_find_next();
    else
        search(false);
    save_find_settings();
}

void VOKR_FIND_DLG::on_view_find_next()
{
    VOKR_VIEW::FIND_SETTINGS& s = m_view->find_settings();
    m_index = s.index;
    m_position = s.position;
    m_last_found = s.found && !m_targets.empty() ? m_targets.front() : nullptr;
    search(true);
    s.index = m_index;
    s.position = m_position;
    s.found = m_last_found != nullptr;
}

// Searching again from the start after nothing was found happens once: a second miss means
// there is no match anywhere, and asking again would loop for as long as the answer is Yes.
void VOKR_FIND_DLG::search(bool repeat)
{
    for (bool wrapped = false;; wrapped = true) {
        if (find_from_position(repeat))
            return;
        if (wrapped)
            return;
        MSG_YN* question =
            m_direction == YAB_UP ? vokr_msg_start_of_document_reached() : vokr_msg_end_of_document_reached();
        if (vokr_prompt(question) != MSG_PROMPT::MSG_VALUE_YES)
            return;
    }
}

bool VOKR_FIND_DLG::find_from_position(bool repeat)
{
    if (m_targets.empty() || (repeat && m_text.isEmpty())) {
        m_last_found = nullptr;
        return false;
    }
    step_position(&m_index, &m_position, m_last_found != nullptr);
    m_last_found = m_engine.find(m_text, m_find_in, m_options, m_direction, &m_index, &m_position, &m_length);
    return m_last_found != nullptr;
}

// From the last match to where the next search starts: one character on (down), one back (up);
// without a match, the first character of the first target or the last of the last one.
void VOKR_FIND_DLG::step_position(size_t* index, size_t* position, bool found) const
{
    const bool up = m_direction == YAB_UP;
    if (!found) {
        *index = up ? m_targets.size() - 1 : 0;
        *position = up ? SIZE_MAX : 0;
    } else if (!up) {
        *position += 1;
    } else if (*position > 0) {
        *position -= 1;
    } else {
        *index = *index > 0 ? *index - 1 : SIZE_MAX;  // before the first target: nothing left
        *position = SIZE_MAX;
    }
}

// ---- the canvas's boxes ---------------------------------------------------------------------------------

void VOKR_FIND_DLG::load_canvas_settings()
{
    for (int i = 0; i < 3; ++i)
        m_options_boxes[i]->setChecked(m_canvas->m_find_options[i]);
    for (int i = 0; i < 5; ++i)
        m_find_in_boxes[i]->setChecked(m_canvas->m_find_in[i]);
    const QString& direction = m_canvas->m_find_direction;
    m_direction_combo->setCurrentIndex(direction == "Up" ? 0 : direction == "Down" ? 1 : 2);
    on_search_direction_combo_changed(m_direction_combo->currentIndex());
    m_text_edit->setText(m_canvas->m_find_text);
    on_find_text_changed(m_canvas->m_find_text);
    on_find_option_changed();
    on_find_in_state_changed();
}

void VOKR_FIND_DLG::save_canvas_settings()
{
    for (int i = 0; i < 3; ++i)
        m_canvas->m_find_options[i] = m_options_boxes[i]->isChecked();
    for (int i = 0; i < 5; ++i)
        m_canvas->m_find_in[i] = m_find_in_boxes[i]->isChecked();
    m_canvas->m_find_direction = m_direction_combo->currentText();
    m_canvas->m_find_text = m_text;
}

// The targets of the whole diagram, trees top to bottom. *start becomes where a search after
// `current` continues (-1 without it). Targets point at boxes: they live for one search only.
void VOKR_FIND_DLG::build_object_targets(const VOKR_OBJECT* current, int* start)
{
    m_targets.clear();
    m_owned.clear();
    m_last_found = nullptr;
    *start = -1;
    QList<VOKR_OBJECT*> roots;
    for (VOKR_OBJECT* box : *m_canvas->get_objects())
        if (!box->get_parent())
            roots.append(box);
    std::stable_sort(roots.begin(), roots.end(), [](const VOKR_OBJECT* a, const VOKR_OBJECT* b) {
        return a->get_top() + a->get_height() / 2 < b->get_top() + b->get_height() / 2;
    });
    const int direction = m_direction == YAB_UP ? FIND_BACKWARDS : 1;
    for (VOKR_OBJECT* root : std::as_const(roots))
        VOKR_OBJECT_FIND_TARGET::add_find_targets(root, &m_targets, m_canvas, direction, current, start);
    for (YAB_FIND_TARGET* target : m_targets)
        m_owned.emplace_back(target);
}

// One pass from the target after `current` (from the first or, upwards, the last without it).
bool VOKR_FIND_DLG::find_object_from(const VOKR_OBJECT* current)
{
    int start = -1;
    build_object_targets(current, &start);
    if (m_targets.empty())
        return false;
    const bool up = m_direction == YAB_UP;
    size_t index = up ? m_targets.size() - 1 : 0;
    size_t position = up ? SIZE_MAX : 0;
    if (start >= 0 && !up) {
        index = size_t(start) + 1;
    } else if (start >= 0) {
        // Nothing lies before a current box whose targets come first.
        const auto* first = static_cast<VOKR_OBJECT_FIND_TARGET*>(m_targets.front());
        if (start == 0 && first->get_box() == current)
            return false;
        index = size_t(start);
    }
    if (index >= m_targets.size())
        return false;
    m_last_found = m_engine.find(m_text, m_find_in, m_options, m_direction, &index, &position, &m_length);
    return m_last_found != nullptr;
}

void VOKR_FIND_DLG::on_object_find_next()
{
    if (!m_canvas || !m_canvas->get_objects() || m_text.isEmpty() || m_find_in == 0)
        return;
    if (find_object_from(m_canvas->get_selected_object()))
        return;
    MSG_YN* question =
        m_direction == YAB_UP ? vokr_msg_start_of_document_reached() : vokr_msg_end_of_document_reached();
    if (vokr_prompt(question) == MSG_PROMPT::MSG_VALUE_YES)
        find_object_from(nullptr);
}
