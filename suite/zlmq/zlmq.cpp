#include "zlmq.h"

#include "daw.h"
#include "msg.h"
#include "pgmio.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>
#include <sstream>

ZLMQ_JTAG_WIDGET::ZLMQ_JTAG_WIDGET(QWidget* parent) : QFrame(parent) {}

ZLMQ_JTAG_WIDGET::~ZLMQ_JTAG_WIDGET() = default;

void ZLMQ_JTAG_WIDGET::initialize()
{
    auto* box = new QVBoxLayout(this);
    m_status = new QLabel(this);
    box->addWidget(m_status);
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    box->addWidget(line);
    auto* grid = new QGridLayout;
    m_hardware = new QComboBox(this);
    m_device = new QComboBox(this);
    m_setup = new QPushButton("Setup...", this);
    m_scan = new QPushButton("Scan Chain", this);
    m_hardware->setObjectName("jtag_hardware");
    m_device->setObjectName("jtag_device");
    m_program = new QPushButton("Program", this);
    m_program->setObjectName("jtag_program");
    m_file = new QLineEdit(this);
    m_file->setReadOnly(true);
    m_browse = new QPushButton("...", this);
    auto* browse = new QHBoxLayout;
    browse->addWidget(m_file);
    browse->addWidget(m_browse);
    grid->addWidget(new QLabel("Hardware:", this), 0, 0);
    grid->addWidget(m_hardware, 0, 1);
    grid->addWidget(m_setup, 0, 2);
    grid->addWidget(new QLabel("Device:", this), 1, 0);
    grid->addWidget(m_device, 1, 1);
    grid->addWidget(m_scan, 1, 2);
    grid->addWidget(new QLabel("File:", this), 2, 0);
    grid->addWidget(m_program, 2, 1);
    grid->addLayout(browse, 2, 2);
    box->addLayout(grid);
    box->addStretch(1);
    for (const std::string& name : daw_sim::hardware_names())
        m_hardware->addItem(QString::fromStdString(name));
    QString hardware;
    get_jtag_hardware(&hardware);
    m_hardware->setCurrentIndex(m_hardware->findText(hardware, Qt::MatchFixedString));
    on_scan();
    connect(m_hardware, QOverload<int>::of(&QComboBox::activated), this, &ZLMQ_JTAG_WIDGET::on_hardware_activated);
    connect(m_device, QOverload<int>::of(&QComboBox::activated), this, &ZLMQ_JTAG_WIDGET::on_device_activated);
    connect(m_scan, &QPushButton::clicked, this, &ZLMQ_JTAG_WIDGET::on_scan);
    connect(m_program, &QPushButton::clicked, this, &ZLMQ_JTAG_WIDGET::on_program);
    connect(m_browse, &QPushButton::clicked, this, &ZLMQ_JTAG_WIDGET::on_browse);
    enable_program_button();
}

void ZLMQ_JTAG_WIDGET::enable_program_button()
{
    QString hardware, device, file;
    const bool unset = get_jtag_hardware(&hardware) || get_jtag_device(&device);
    get_sif_file_name(&file);
    m_program->setEnabled(!unset && !file.isEmpty() && !m_programming);
}

void ZLMQ_JTAG_WIDGET::on_scan()
{
    show_status(get_looking_for_devices_msg());
    const std::vector<std::string> devices = daw_sim::device_names(m_hardware->currentText().toStdString());
    m_device->clear();
    for (const std::string& name : devices)
        m_device->addItem(QString::fromStdString(name));
    QString device;
    get_jtag_device(&device);
    m_device->setCurrentIndex(m_device->findText(device, Qt::MatchFixedString));
    show_chain_status();
}

void ZLMQ_JTAG_WIDGET::show_chain_status()
{
    QString hardware, device;
    const bool unset = get_jtag_hardware(&hardware) || get_jtag_device(&device);
    if (m_hardware->currentIndex() >= 0 && m_device->count() == 0)
        show_status(get_no_device_detected_msg());
    else if (unset)
        show_status(get_no_device_selected_msg());
    else if (m_hardware->currentIndex() < 0 || m_device->currentIndex() < 0)
        show_status(get_selected_device_not_found_msg());
    else
        show_status(get_ready_msg());
}

void ZLMQ_JTAG_WIDGET::show_running(bool running)
{
    if (running)
        show_status(get_running_msg());
    else
        show_chain_status();
}

void ZLMQ_JTAG_WIDGET::on_hardware_activated(int index)
{
    m_user_change = true;
    set_jtag_hardware(m_hardware->itemText(index));
    m_user_change = false;
    on_scan();
    on_widget_updated(CHANGED);
}

void ZLMQ_JTAG_WIDGET::on_device_activated(int index)
{
    m_user_change = true;
    set_jtag_device(m_device->itemText(index));
    m_user_change = false;
    show_chain_status();
    on_widget_updated(CHANGED);
}

void ZLMQ_JTAG_WIDGET::on_browse()
{
    const QString file = QFileDialog::getOpenFileName(this, "Select Programming File", QString(), "*.sif");
    if (file.isEmpty())
        return;
    m_file->setText(file);
    set_jtag_chain(file);
    enable_program_button();
}

void ZLMQ_JTAG_WIDGET::on_program()
{
    QString hardware, device, file;
    get_jtag_hardware(&hardware);
    get_jtag_device(&device);
    get_sif_file_name(&file);
    m_programming = true;
    show_status(get_programming_device_msg());
    on_widget_updated(CHANGED | PROGRAMMING);
    const bool programmed = program_file(hardware, device, file);
    if (programmed)
        show_chain_status();
    else
        show_status(get_communication_error_msg());
    // The end is reported from the event loop, as the programmer's thread would.
    QMetaObject::invokeMethod(
        this,
        [this, programmed] {
            m_programming = false;
            on_widget_updated(programmed ? CHANGED | PROGRAMMING_ENDED : CHANGED);
        },
        Qt::QueuedConnection);
}

bool ZLMQ_JTAG_WIDGET::program_file(const QString& hardware, const QString& device, const QString& file)
{
    unsigned int count = 0;
    std::string keys;
    if (!pgmio_export_zlm_data(file.toLocal8Bit().constData(), &count, &keys))
        return false;
    std::istringstream records(keys);
    for (std::string key; std::getline(records, key, ';');) {
        unsigned int word = 0, crc = 0;
        if (std::sscanf(key.c_str(), "%x,%x", &word, &crc) != 2)
            return false;
        // The word packs the node information as the compile wrote it.
        KSM_DATA_INSTANCE_INFO info;
        info.first = static_cast<uint8_t>(word & 0xFF);
        info.second = (word >> 8) & 0x7FF;
        info.third = static_cast<uint8_t>((word >> 19) & 0xFF);
        info.version = static_cast<uint8_t>(word >> 27);
        if (!daw_sim::program(hardware.toStdString(), device.toStdString(), info, crc))
            return false;
    }
    return true;
}

void ZLMQ_JTAG_WIDGET::show_status(MSG_POST* message)
{
    std::unique_ptr<MSG_POST> owned(message);
    m_status->setText(owned ? QString::fromStdString(owned->get_msg_text()) : QString());
}
