// The suite's Qt GUI shell: the frame-window base of every suite window, its modified mark,
// file path and compile flow, and the main-frame lookup.
#pragma once

#include <QMainWindow>

#include <string>

using FSTR_FLOW_ENUM = int;
constexpr FSTR_FLOW_ENUM FSTR_FLOW_FULL_COMPILATION = 15;
constexpr FSTR_FLOW_ENUM FSTR_FLOW_FAST_RECOMPILATION = 80;

// Frame modes: the frame is the suite's main window (the editor runs on its own).
constexpr unsigned int WEX_FRAME_MODE_MAIN_WINDOW = 0x1;

class WEX_FRAME_WND : public QMainWindow {
    Q_OBJECT
public:
    WEX_FRAME_WND(QWidget* parent, unsigned int mode);
    ~WEX_FRAME_WND() override;

    bool is_main_window() const { return (m_mode & WEX_FRAME_MODE_MAIN_WINDOW) != 0; }
    // The document's modified state changed: the title shows it.
    virtual void modified();
    QString get_qstring_filepath() const { return m_filepath; }
    void set_qstring_filepath(const QString& path);

    // The compile flow: whether one may start now, and starting one (recorded by the stand-in).
    virtual bool can_start_flow() const { return !m_flow_running; }
    virtual bool start_flow(FSTR_FLOW_ENUM flow, const std::string& arguments, bool, bool, bool);
    FSTR_FLOW_ENUM get_last_started_flow() const { return m_last_flow; }
    // Saves the document when it is modified; false when the user cancels or saving fails.
    virtual bool save_modified(bool ask) = 0;

private:
    void update_title();

    unsigned int m_mode;
    QString m_filepath;
    bool m_flow_running = false;
    FSTR_FLOW_ENUM m_last_flow = 0;
};

// The suite's project UI manager: whether a project is open and its top-level entity.
class WEX_PRJ_UI_MGR {
public:
    static WEX_PRJ_UI_MGR* get_prj_ui_mgr();
    bool project_is_open() const;
    std::string get_top_entity() const;
};

// The suite's current main frame window: the most recently activated frame, or null.
WEX_FRAME_WND* wex_get_main_frame_wnd();
