#include "vokr_frame_wnd.h"

#include "vokr_layout_widget.h"
#include "vokr_tx_manager.h"

VOKR_FRAME_WND::VOKR_FRAME_WND(QWidget* parent, unsigned int mode, int, int) : WEX_FRAME_WND(parent, mode)
{
    m_tx_manager = new VOKR_TX_MANAGER(this);
    m_layout_widget = new VOKR_LAYOUT_WIDGET(this, m_tx_manager);
    setCentralWidget(m_layout_widget);
    m_tx_manager->set_layout_widget(m_layout_widget);
}

VOKR_FRAME_WND::~VOKR_FRAME_WND()
{
    m_tx_manager->set_layout_widget(nullptr);
    delete m_layout_widget;
    m_layout_widget = nullptr;
    delete m_tx_manager;
}

bool VOKR_FRAME_WND::save_modified(bool)
{
    if (!isWindowModified())
        return true;
    const QString path = get_qstring_filepath();
    return !path.isEmpty() && m_tx_manager->save_document(path.toLocal8Bit().constData());
}
