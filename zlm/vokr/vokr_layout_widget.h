// The central layout of the editor's frame: on top the instance manager and the JTAG chain
// pane; below, one tab per analyzer instance holding its Data, Setup, advanced-level and
// state-based tabs beside its hierarchy and data log panes. It owns the one node list view
// and the one advanced trigger editor, which move into whichever tab is shown, keeps the
// manager's current instance and each instance's "active tab" in step with the tabs, and
// keeps the window layout in the session (vokr_layout_widget_state.cpp).
#pragma once

#include "vokr_splitter.h"

#include <QMap>

class QAction;
class QTabWidget;
class VOKR_FRAME_WND;
class VOKR_HIERARCHY_WIDGET;
class VOKR_INSTANCE_WIDGET;
class VOKR_JTAG_WIDGET;
class VOKR_OBJECT_WIDGET;
class VOKR_TX_MANAGER;
class VOKR_VIEW;

class VOKR_LAYOUT_WIDGET : public QSplitter {
    Q_OBJECT
public:
    // The width of the side panes beside the node list and the state-based trigger editor.
    static constexpr int SIDE_PANE_WIDTH = 354;
    VOKR_LAYOUT_WIDGET(VOKR_FRAME_WND* frame, VOKR_TX_MANAGER* manager);
    ~VOKR_LAYOUT_WIDGET() override;

    VOKR_VIEW* get_view() const { return m_view; }
    VOKR_VIEW* get_current_view() const { return m_view; }
    VOKR_OBJECT_WIDGET* get_object_widget() const { return m_object_widget; }
    VOKR_INSTANCE_WIDGET* get_instance_widget() const { return m_instance_widget; }
    VOKR_JTAG_WIDGET* get_jtag_widget() const { return m_jtag_widget; }
    QSplitter* get_top_splitter() const { return m_top_splitter; }
    QTabWidget* get_instance_tab_widget() const { return m_instance_tab_widget; }
    const VOKR_SPLITTER::HUB_MAP& get_splitter_hubs() const { return m_splitter_hubs; }

    // The Data/Setup tab widget of an instance; -1 for the instance of the current instance
    // tab. Null while no instance has one.
    QTabWidget* get_data_setup_tab_widget(int instance_index) const;
    // A tab widget that stands in for the instance's own until it is set back to null.
    void set_data_setup_tab_widget(int instance_index, QTabWidget* tabs);
    // The hierarchy pane of the current instance (of its owner for a power-up view), or null.
    VOKR_HIERARCHY_WIDGET* get_hierarchy_widget() const;

    // Stores the frame size and the panes' visibility into the session.
    bool save_widget_state();
    // Applies the stored layout after a document was opened: the stored frame size is the
    // frame's minimum size until the window has been laid out once, then on_resize_timer
    // applies the panes' visibility and sizes.
    bool restore_widget_state();

    void set_acquisition_started(bool started) { m_acquisition_started = started; }
    bool is_acquisition_started() const { return m_acquisition_started; }
    // Set before the instance manager changes the current instance: the next tab change does
    // not store the view's position data again.
    void set_skip_position_store(bool skip) { m_skip_position_save = skip; }
    bool is_skip_position_store() const { return m_skip_position_save; }
    // The view menu's switch of the JTAG pane: it shows or hides the pane and records the
    // choice through the pane's on_set_visible.
    QAction* get_jtag_action();
    void set_jtag_widget(VOKR_JTAG_WIDGET* widget);

    bool eventFilter(QObject* watched, QEvent* event) override;

public slots:
    void on_update(QObject* sender, int hint);
    void on_jtag_widget_resized();
    void update_instance_tabs();
    void on_sel_change_data_setup_tab();
    void on_sel_change_instance_tab(int index);
    void on_resize_timer();
    void on_instance_splitter_moved(int pos, int index);
    void on_hierarchy_log_splitter_moved(int pos, int index);
    void on_advanced_trigger_horizontal_splitter_moved(int pos, int index);
    void on_advanced_trigger_vertical_splitter_moved(int pos, int index);

private:
    bool instance_present() const;
    void build_top_pane();
    void enable_top_pane();
    void build_bottom_pane();
    void build_instance_tabs();
    QWidget* build_instance_page(int instance);
    QWidget* build_data_setup_frame(int instance, QWidget* parent);
    QWidget* build_setup_tab(int instance);
    void add_advanced_tabs(QTabWidget* tabs, int instance);
    QWidget* build_advanced_tab(int level);
    QWidget* build_state_tab(int instance);
    QWidget* build_hierarchy_log(int instance, QWidget* parent);
    void select_active_tab(QTabWidget* tabs, int instance);
    void on_power_up_switch(int hint);
    void on_tabs_rebuilt();
    void rebuild_tabs();
    void apply_top_pane_sizes(bool jtag_shown);
    void apply_hierarchy_height();
    VOKR_SPLITTER* splitter(int id, Qt::Orientation orientation, QWidget* parent);
    QAction* pane_action(int id) const;

    VOKR_FRAME_WND* m_frame;
    VOKR_TX_MANAGER* m_tx_manager;
    VOKR_INSTANCE_WIDGET* m_instance_widget = nullptr;
    VOKR_JTAG_WIDGET* m_jtag_widget = nullptr;
    QSplitter* m_top_splitter = nullptr;
    VOKR_VIEW* m_view = nullptr;
    VOKR_OBJECT_WIDGET* m_object_widget = nullptr;
    QTabWidget* m_instance_tab_widget = nullptr;
    bool m_tab_changed_during_acquisition = false;
    bool m_skip_position_save = true;
    bool m_acquisition_started = false;
    QMap<int, QTabWidget*> m_data_setup_tab_widget_map;
    QMap<int, QTabWidget*> m_stand_in_tab_widgets;
    QMap<int, VOKR_HIERARCHY_WIDGET*> m_hierarchy_widget_map;
    VOKR_SPLITTER::HUB_MAP m_splitter_hubs;
    QAction* m_jtag_action = nullptr;
};
