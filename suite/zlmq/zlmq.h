// The suite's JTAG chain panel: hardware and device selectors, the programming file, and the
// programming of the simulated target. A client derives from it and answers the pure virtual
// operations from its own document.
//
// Layout (clients rely on it): a vertical box whose items are the status line (0), a line (1),
// a grid (2) and a stretch (3). Grid row 0: "Hardware:", the hardware selector, the setup
// button; row 1: "Device:", the device selector, the scan button; row 2: "File:", the program
// button, and the browse layout holding the file-name field and the browse button.
#pragma once

#include <QFrame>
#include <QString>

class MSG_POST;
class QComboBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;

class ZLMQ_JTAG_WIDGET : public QFrame {
    Q_OBJECT
public:
    // Client identification of the logic analyzer editor.
    static constexpr const char* ZLMQ_VOKR = "vokr";
    // Change flags of on_widget_updated.
    enum : int { CHANGED = 0x1, SCANNING = 0x10, PROGRAMMING = 0x40, PROGRAMMING_ENDED = 0x400 };

    explicit ZLMQ_JTAG_WIDGET(QWidget* parent);
    ~ZLMQ_JTAG_WIDGET() override;

    void set_client_id(const QString& id) { m_client = id; }
    const QString& get_client_id() const { return m_client; }
    // Builds the controls and fills the selectors from the client's names.
    void initialize();
    // Enabled when hardware, device and file are all named and nothing is being programmed.
    void enable_program_button();
    // True while a change comes from the person (a selector), false while the panel fills itself.
    bool is_user_change() const { return m_user_change; }
    bool is_programming() const { return m_programming; }

    QComboBox* get_hardware_combo() const { return m_hardware; }
    QComboBox* get_device_combo() const { return m_device; }
    QLineEdit* get_file_edit() const { return m_file; }
    QPushButton* get_program_button() const { return m_program; }
    QPushButton* get_setup_button() const { return m_setup; }
    QPushButton* get_scan_button() const { return m_scan; }
    QPushButton* get_browse_button() const { return m_browse; }
    QLabel* get_status_label() const { return m_status; }

    // The client's side. The getters return true when the name is empty.
    virtual bool get_jtag_hardware(QString* name) = 0;
    virtual bool get_jtag_device(QString* name) = 0;
    virtual void set_jtag_chain(const QString& name) = 0;
    virtual bool get_sif_file_name(QString* name) = 0;
    virtual void set_jtag_hardware(const QString& name) = 0;
    virtual void set_jtag_device(const QString& name) = 0;
    virtual void on_widget_updated(int flags) = 0;
    // Status messages; the panel takes each over.
    virtual MSG_POST* get_ready_msg() = 0;
    virtual MSG_POST* get_running_msg() = 0;
    virtual MSG_POST* get_looking_for_devices_msg() = 0;
    virtual MSG_POST* get_programming_device_msg() = 0;
    virtual MSG_POST* get_no_device_selected_msg() = 0;
    virtual MSG_POST* get_no_device_detected_msg() = 0;
    virtual MSG_POST* get_selected_device_not_found_msg() = 0;
    virtual MSG_POST* get_communication_error_msg() = 0;

public slots:
    // Programs the device from the client's programming file: writes each analyzer record's
    // checksum into the simulated target, then reports CHANGED | PROGRAMMING_ENDED (or CHANGED
    // alone when it failed) from the event loop.
    void on_program();
    // Lists the devices of the chosen hardware, selects the client's device among them and
    // says what it found.
    void on_scan();
    // The running message during an acquisition; else what the chain holds: no hardware or
    // device chosen, no device on the hardware, the chosen device absent, or ready.
    void show_running(bool running);

private slots:
    void on_hardware_activated(int index);
    void on_device_activated(int index);
    void on_browse();

private:
    void show_status(MSG_POST* message);
    void show_chain_status();
    bool program_file(const QString& hardware, const QString& device, const QString& file);

    QString m_client;
    QLabel* m_status = nullptr;
    QComboBox* m_hardware = nullptr;
    QComboBox* m_device = nullptr;
    QLineEdit* m_file = nullptr;
    QPushButton* m_program = nullptr;
    QPushButton* m_setup = nullptr;
    QPushButton* m_scan = nullptr;
    QPushButton* m_browse = nullptr;
    bool m_user_change = false;
    bool m_programming = false;
};
