// The "Find" dialog of the node list and of the advanced trigger canvas. For the node list it
// finds nodes by name in the view's active list; the view keeps the settings and, for repeats
// without the dialog, the position of the last find. For the canvas it finds boxes by name, bus
// name, alias or kind, continuing after the selected box; the canvas keeps the settings.
#pragma once

#include "vokr_find_target.h"

#include "pirq.h"

#include <QDialog>

#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class VOKR_OBJECT;
class VOKR_OBJECT_WIDGET;
class VOKR_VIEW;

class VOKR_FIND_DLG : public PIRQ_DIALOG {
    Q_OBJECT
public:
    VOKR_FIND_DLG(QWidget* parent, VOKR_VIEW* view);
    VOKR_FIND_DLG(QWidget* parent, VOKR_OBJECT_WIDGET* canvas);

    void load_find_settings();
    void save_find_settings();
    // Repeats the view's last search without showing the dialog.
    void on_view_find_next();
    // Searches the canvas's boxes once from the selected box, offering to wrap at the end.
    void on_object_find_next();

    QLineEdit* text_edit() const { return m_text_edit; }
    QPushButton* find_next_button() const { return m_find_next; }
    QCheckBox* find_in_box(int bit) const;  // bit 0..4 of the find-in mask
    QCheckBox* all_box() const { return m_all; }
    QComboBox* direction_combo() const { return m_direction_combo; }
    size_t target_count() const { return m_targets.size(); }

public slots:
    void on_find_text_changed(const QString& text);
    void on_find_in_state_changed();
    void on_find_option_changed();
    void on_find_all_state_changed(bool checked);
    void on_search_direction_combo_changed(int index);
    void on_find_next_clicked();

private:
    void build_controls();
    void build_targets();
    // One search from the current position; on nothing found asks whether to wrap, and wraps
    // once at most. `repeat` keeps the position in the view instead of the dialog.
    void search(bool repeat);
    bool find_from_position(bool repeat);
    void step_position(size_t* index, size_t* position, bool found) const;
    void load_canvas_settings();
    void save_canvas_settings();
    unsigned int all_find_in() const;
    void build_object_targets(const VOKR_OBJECT* current, int* start);
    bool find_object_from(const VOKR_OBJECT* current);

    VOKR_VIEW* m_view = nullptr;
    VOKR_OBJECT_WIDGET* m_canvas = nullptr;
    QString m_text;
    unsigned int m_find_in = 31;
    unsigned int m_options = 0;
    unsigned int m_direction = YAB_ALL;
    std::vector<std::unique_ptr<YAB_FIND_TARGET>> m_owned;
    std::vector<YAB_FIND_TARGET*> m_targets;
    YAB_FIND_ENGINE m_engine{&m_targets};
    size_t m_index = 0, m_position = 0, m_length = 0;
    YAB_FIND_TARGET* m_last_found = nullptr;

    QLineEdit* m_text_edit = nullptr;
    QPushButton* m_find_next = nullptr;
    QCheckBox* m_options_boxes[3] = {};
    QComboBox* m_direction_combo = nullptr;
    QCheckBox* m_find_in_boxes[5] = {};
    QCheckBox* m_all = nullptr;
};
