#include "vokr_frame_wnd.h"

#include "vokr_assert.h"
#include "vokr_layout_widget.h"
#include "vokr_tx_manager.h"

#include <QToolBar>

// The order matters: the manager exists before any action is fetched; the menus hold the
// manager's shared actions before the layout widget and its panels connect the same actions;
// the toolbar exists before the first on_update; the `updated` connection comes last.
VOKR_FRAME_WND::VOKR_FRAME_WND(QWidget* parent, unsigned int mode, int, int)
    : WEX_FRAME_WND(parent, mode), m_main_window(is_main_window())
{
    m_tx_manager = new VOKR_TX_MANAGER(this);
    add_to_file_menu();
    add_to_edit_menu();
    add_to_view_project_processing_menus();
    add_option_pages();
    pirq_safe_connect(get_menu(WEX_FILE_MENU), &QMenu::aboutToShow, this, &VOKR_FRAME_WND::on_update_file_menu);
    pirq_safe_connect(get_menu(WEX_EDIT_MENU), &QMenu::aboutToShow, this, &VOKR_FRAME_WND::on_update_edit_menu);
    pirq_safe_connect(get_menu(WEX_VIEW_MENU), &QMenu::aboutToShow, this, &VOKR_FRAME_WND::on_update_view_menu);
    if (m_main_window) {
        trim_main_window();
    } else {
        get_standard_action("PIRQ_DETACH_ACTION")->setEnabled(true);
        get_standard_action("PIRQ_ATTACH_ACTION")->setEnabled(true);
        if (WEX_FRAME_WND* main = wex_get_suite_main_window(this))
            m_start_recompile_action = main->get_start_recompile_action();
    }
    create_toolbar();
    on_update(nullptr, 0);
    m_layout_widget = new VOKR_LAYOUT_WIDGET(this, m_tx_manager);
    setCentralWidget(m_layout_widget);
    m_tx_manager->set_layout_widget(m_layout_widget);
    // The view refreshes its own edit entries when the Edit menu opens.
    pirq_safe_connect(get_menu(WEX_EDIT_MENU), &QMenu::aboutToShow, this,
                      [this] { invoke(view(), "on_update_edit_menu"); });
    pirq_safe_connect(m_tx_manager, &VOKR_TX_MANAGER::updated, this, &VOKR_FRAME_WND::on_update, Qt::QueuedConnection);
}

// The document is closed and its manager deleted before the base destroys the layout widget
// and the panels; the frame saves nothing itself (closing asks through save_modified).
VOKR_FRAME_WND::~VOKR_FRAME_WND()
{
    // The focused panel lets go of the manager's actions now: once the manager is gone, the
    // focus-out that hiding the window sends would reach them deleted.
    if (QWidget* focus = focusWidget())
        focus->clearFocus();
    m_tx_manager->close_document();
    m_tx_manager->set_layout_widget(nullptr);
    VOKR_ASSERT(this->m_tx_manager != NULL);
    delete m_tx_manager;
    m_tx_manager = nullptr;
    if (m_toolbar) {
        removeToolBar(m_toolbar);
        delete m_toolbar;
        m_toolbar = nullptr;
    }
}

QAction* VOKR_FRAME_WND::action(PIRQ_ACTION_ENUM id) { return m_tx_manager->get_action(id, QVariant()); }
