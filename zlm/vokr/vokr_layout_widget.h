// The central layout of the editor's frame: instance manager, instance tabs with their data
// and setup tabs, panels and splitters.
#pragma once

#include <QMap>
#include <QWidget>

class QTabWidget;
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
    VOKR_VIEW* get_current_view() const { return m_view; }
    void set_acquisition_started(bool started) { m_acquisition_started = started; }
    bool is_acquisition_started() const { return m_acquisition_started; }

private:
    VOKR_TX_MANAGER* m_tx_manager;
    QMap<int, QTabWidget*> m_data_setup_tab_widget_map;
    int m_current_instance_page = 0;
    VOKR_VIEW* m_view = nullptr;
    bool m_acquisition_started = false;
};
