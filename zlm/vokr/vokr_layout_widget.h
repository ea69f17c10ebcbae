// The central layout of the editor's frame: instance manager, instance tabs with their data
// and setup tabs, panels and splitters, and the one node list view and one advanced trigger
// editor that the tabs show in turn.
#pragma once

#include <QMap>
#include <QWidget>

class QAction;
class QSplitter;
class QTabWidget;
class VOKR_JTAG_WIDGET;
class VOKR_OBJECT_WIDGET;
class VOKR_TX_MANAGER;
class VOKR_VIEW;

class VOKR_LAYOUT_WIDGET : public QWidget {
    Q_OBJECT
public:
    VOKR_LAYOUT_WIDGET(QWidget* parent, VOKR_TX_MANAGER* manager);

    // The data/setup tab widget of an instance; -1 for the instance of the current instance
    // page. Null while no instance has one.
    QTabWidget* get_data_setup_tab_widget(int instance_index) const;
    void set_data_setup_tab_widget(int instance_index, QTabWidget* tabs);
    // Stores the frame size and the panels' visibility into the session.
    void save_widget_state();
    // Applies the stored layout after a document was opened: the stored frame size is the
    // frame's minimum size until the window has been laid out once, then the panels follow
    // their stored visibility.
    void restore_widget_state();
    VOKR_VIEW* get_view() const { return m_view; }
    VOKR_VIEW* get_current_view() const { return m_view; }
    VOKR_OBJECT_WIDGET* get_object_widget() const { return m_object_widget; }
    void set_acquisition_started(bool started) { m_acquisition_started = started; }
    bool is_acquisition_started() const { return m_acquisition_started; }
    // Set before the instance manager changes the current instance: the next tab change does
    // not store the view's position data again.
    void set_skip_position_store(bool skip) { m_skip_position_store = skip; }
    bool is_skip_position_store() const { return m_skip_position_store; }
    // Stores the sizes of the splitter that holds the instance manager and the JTAG pane.
    void on_jtag_widget_resized(QSplitter* splitter);
    // The view menu's switch of the JTAG pane: it shows or hides the pane and records the
    // choice through the pane's on_set_visible.
    QAction* get_jtag_action();
    void set_jtag_widget(VOKR_JTAG_WIDGET* widget);

public slots:
    void on_resize_timer();

private:
    // The frame window the layout fills (the layout itself without one).
    QWidget* frame() const { return m_frame; }

    VOKR_TX_MANAGER* m_tx_manager;
    QWidget* m_frame;
    QMap<int, QTabWidget*> m_data_setup_tab_widget_map;
    int m_current_instance_page = 0;
    VOKR_VIEW* m_view = nullptr;
    VOKR_OBJECT_WIDGET* m_object_widget = nullptr;
    bool m_acquisition_started = false;
    bool m_skip_position_store = false;
    QAction* m_jtag_action = nullptr;
};
