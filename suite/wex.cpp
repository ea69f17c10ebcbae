#include "wex.h"

#include "omu.h"

#include <QFileInfo>

#include <algorithm>
#include <vector>

namespace {

std::vector<WEX_FRAME_WND*>& frames()
{
    static std::vector<WEX_FRAME_WND*> list;
    return list;
}

}  // namespace

WEX_FRAME_WND::WEX_FRAME_WND(QWidget* parent, unsigned int mode) : QMainWindow(parent), m_mode(mode)
{
    frames().push_back(this);
    update_title();
}

WEX_FRAME_WND::~WEX_FRAME_WND() { frames().erase(std::remove(frames().begin(), frames().end(), this), frames().end()); }

void WEX_FRAME_WND::modified() { update_title(); }

void WEX_FRAME_WND::set_qstring_filepath(const QString& path)
{
    m_filepath = path;
    update_title();
}

// The stand-in runs no compile: it records which flow was asked for and reports it started.
bool WEX_FRAME_WND::start_flow(FSTR_FLOW_ENUM flow, const std::string&, bool, bool, bool)
{
    m_last_flow = flow;
    return true;
}

// The title is the document's file name, the modified mark Qt shows for "[*]", and the name of
// the editor, which is the only kind of frame the stand-in hosts.
void WEX_FRAME_WND::update_title()
{
    const QString name = m_filepath.isEmpty() ? QString("Untitled") : QFileInfo(m_filepath).fileName();
    setWindowTitle(name + "[*] - Logic Analyzer Editor");
}

WEX_FRAME_WND* wex_get_main_frame_wnd() { return frames().empty() ? nullptr : frames().back(); }

WEX_PRJ_UI_MGR* WEX_PRJ_UI_MGR::get_prj_ui_mgr()
{
    static WEX_PRJ_UI_MGR manager;
    return &manager;
}

bool WEX_PRJ_UI_MGR::project_is_open() const { return OMU_MANAGER::get_omu_manager()->is_project_open(); }

std::string WEX_PRJ_UI_MGR::get_top_entity() const { return OMU_MANAGER::get_omu_manager()->get_top_entity(); }
