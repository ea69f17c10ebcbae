#include "vokr_export_dlg.h"

#include "vokr_frame_wnd.h"
#include "vokr_layout_widget.h"
#include "vokr_msg.h"
#include "vokr_tx_manager.h"
#include "vokr_view.h"
#include "vokr_waveform_export_data.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSaveFile>

#include <algorithm>
#include <iterator>

namespace {

struct FORMAT {
    const char* text;
    const char* extension;
    int type;
};
const FORMAT FORMATS[] = {
    {"Comma Separated Values - (*.csv)", ".csv", GUV_OUTPUT_CSV},
    {"Table File - (*.tbl)", ".tbl", GUV_OUTPUT_TABLE},
    {"Value Change Dump - (*.vcd)", ".vcd", GUV_OUTPUT_VCD},
    {"BMP Image File - (*.bmp)", ".bmp", 3},
    {"JPEG Image File - (*.jpg)", ".jpg", 4},
};
constexpr int FIRST_IMAGE_FORMAT = 3;

struct UNIT {
    const char* text;
    double picoseconds;  // per unit; 0 marks a frequency in MHz
    BIG_TIME::TIME_UNIT code;
};
const UNIT UNITS[] = {
    {"s", 1e12, BIG_TIME::S},  {"ms", 1e9, BIG_TIME::MS}, {"us", 1e6, BIG_TIME::US},
    {"ns", 1e3, BIG_TIME::NS}, {"ps", 1, BIG_TIME::PS},   {"MHz", 0, BIG_TIME::MHZ},
};

constexpr double MIN_PERIOD = 1.0;
constexpr double MAX_PERIOD = 10000.0;

// Shows why the file could not be written: its path and the system's reason.
void report_not_written(const QString& path, const QString& reason)
{
    const QByteArray text =
        QString("Cannot export data to file \"%1\" -- %2").arg(QDir::toNativeSeparators(path), reason).toLocal8Bit();
    auto* notice = new MSG_O;
    notice->fill_args("%1!s!/OVOKR_EXPORT_NOT_WRITTEN", text.constData());
    vokr_prompt(notice);
}

// Why a file of a log with data was not written: the system's reason when the path cannot be
// opened for writing (the probe leaves nothing behind), else a failed write.
QString write_failure(const QString& path)
{
    QSaveFile probe(path);
    if (!probe.open(QIODevice::WriteOnly))
        return probe.errorString();
    probe.cancelWriting();
    return "the file could not be written";
}

// Why the typed name names no file: empty, or a folder ("dir/"), which would otherwise become the
// hidden file ".csv" there; empty when it names a file.
QString name_refusal(const QString& text)
{
    if (text.isEmpty())
        return "no file name";
    if (QFileInfo(text).fileName().isEmpty())
        return "the name is a folder, not a file";
    return QString();
}

}  // namespace

VOKR_EXPORT_DLG::VOKR_EXPORT_DLG(KSM_DATA_LOG* data_log, VOKR_FRAME_WND* frame_wnd, QWidget* parent,
                                 VOKR_TX_MANAGER* manager)
    : PIRQ_DIALOG(parent), m_tx_manager(manager), m_data_log(data_log), m_frame_wnd(frame_wnd),
      m_file(new PIRQ_LINE_EDIT_BROWSE_BUTTON(this, {"Export Types(*.csv;*.tbl;*.vcd;*.bmp;*.jpg)", "All Files(*.*)"})),
      m_format(new QComboBox(this)), m_clock(new QLineEdit(this)), m_period_edit(new QLineEdit(this)),
      m_unit(new QComboBox(this))
{
    setWindowTitle("Export");
    for (auto [widget, name] : {std::pair<QWidget*, const char*>{m_file, "file_name"},
                                {m_format, "export_format"},
                                {m_period_edit, "clock_period"},
                                {m_unit, "clock_unit"}})
        widget->setObjectName(name);
    for (const FORMAT& f : FORMATS)
        m_format->addItem(f.text);
    for (const UNIT& u : UNITS)
        m_unit->addItem(u.text);
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel("Specify settings for exporting Lumetra waveform data", this), 0, 0, 1, 3);
    grid->addWidget(line, 1, 0, 1, 3);
    grid->addWidget(new QLabel("File name: ", this), 2, 0);
    grid->addWidget(m_file, 2, 1, 1, 2);
    grid->addWidget(new QLabel("Export format: ", this), 3, 0);
    grid->addWidget(m_format, 3, 1, 1, 2);
    grid->addWidget(new QLabel("Clock signal: ", this), 4, 0);
    grid->addWidget(m_clock, 4, 1, 1, 2);
    grid->addWidget(new QLabel("Clock period: ", this), 5, 0);
    grid->addWidget(m_period_edit, 5, 1);
    grid->addWidget(m_unit, 5, 2);
    grid->addWidget(buttons, 6, 1, 1, 2);

    connect(buttons, &QDialogButtonBox::accepted, this, &VOKR_EXPORT_DLG::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this, &PIRQ_DIALOG::help_button_clicked);
    connect(m_format, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &VOKR_EXPORT_DLG::export_format_combo_changed);
    compose_default_file_name();
}

// The data session's name reduced to its stem when it has both a directory and an extension.
void VOKR_EXPORT_DLG::compose_default_file_name()
{
    KSM_DATA_SESSION* session =
        m_tx_manager && m_tx_manager->get_session() ? m_tx_manager->get_session()->get_data_session() : nullptr;
    QString name = session ? QString::fromLocal8Bit(session->get_name()) : QString();
    const int dot = name.lastIndexOf('.');
    int separator = name.lastIndexOf('/');
    if (separator < 0)
        separator = name.lastIndexOf('\\');
    if (dot >= 0 && separator >= 0)
        name = name.left(dot).mid(separator + 1);
    m_file->setText(name);

    const KSM_DATA_SIGNAL_SET* set = m_data_log ? m_data_log->get_signal_set() : nullptr;
    m_clock->setText(set ? QString::fromLocal8Bit(set->get_clock_name()) : QString());
    m_clock->setReadOnly(true);
    QPalette plain = m_clock->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        plain.setBrush(group, QPalette::Base, QBrush());
    m_clock->setPalette(plain);
    m_format->setCurrentIndex(0);
    m_unit->setCurrentIndex(0);
    m_period_edit->setText("1");
}

void VOKR_EXPORT_DLG::export_format_combo_changed(int index)
{
    const bool timed = index < FIRST_IMAGE_FORMAT;
    m_period_edit->setEnabled(timed);
    m_unit->setEnabled(timed);
}

// A name that holds the extension only inside ("run.csv.old") is another file than the one it
// would be cut to ("run.csv"), which may hold other work: the extension is added to it.
QString VOKR_EXPORT_DLG::apply_extension(const QString& text, const QString& extension)
{
    return text.endsWith(extension) ? text : text + extension;
}

int64_t VOKR_EXPORT_DLG::clock_interval(double period, int unit)
{
    const UNIT& u = UNITS[std::clamp(unit, 0, int(std::size(UNITS)) - 1)];
    return int64_t(u.picoseconds > 0 ? u.picoseconds * period : 1e6 / period);
}

// The period and the file name are checked before the dialog closes: a value out of range or a
// name of no file is reported and the user can correct it. A failed export says why: no samples to write, or the file
// and the system's reason; a cancelled image size question says nothing.
void VOKR_EXPORT_DLG::accept()
{
    const int index = std::clamp(m_format->currentIndex(), 0, int(std::size(FORMATS)) - 1);
    const bool samples_needed = index < FIRST_IMAGE_FORMAT;
    if (!m_data_log || !m_data_log->get_signal_set() || (samples_needed && !m_data_log->is_data_available(false))) {
        QDialog::reject();
        vokr_prompt(vokr_msg_failed_export());
        return;
    }
    bool number = false;
    const double period = m_period_edit->text().trimmed().toDouble(&number);
    if (!number || !(period >= MIN_PERIOD && period <= MAX_PERIOD)) {
        vokr_prompt(vokr_msg_value_out_of_range("1", "10000"));
        return;
    }
    const QString refusal = name_refusal(m_file->text());
    if (!refusal.isEmpty()) {
        report_not_written(m_file->text(), refusal);
        return;
    }
    const QString path = apply_extension(m_file->text(), FORMATS[index].extension);
    if (!may_replace(path))
        return;
    m_clock_period = period;
    QDialog::accept();
    QString failure;
    if (export_file(path, index, period, &failure))
        vokr_prompt(vokr_msg_successful_export(path.toLocal8Bit().constData()));
    else if (!failure.isEmpty())
        report_not_written(path, failure);
}

// Why the path must not be written (the open session, its project, no regular file...); empty
// when it may.
QString VOKR_EXPORT_DLG::target_refusal(const QString& path) const
{
    return m_tx_manager ? m_tx_manager->write_target_refusal(path) : wex_save_refusal(path);
}

// A file already at the path is replaced only when the person says so; No keeps the dialog
// open to choose another name. (The browse button's chooser leaves the question to this.) A
// target that is refused is not asked about: the refusal says why.
bool VOKR_EXPORT_DLG::may_replace(const QString& path) const
{
    if (!QFileInfo(path).isFile() || !target_refusal(path).isEmpty())
        return true;
    const QByteArray shown = QDir::toNativeSeparators(path).toLocal8Bit();
    return vokr_prompt(vokr_msg_export_file_exists(shown.constData())) == MSG_PROMPT::MSG_VALUE_YES;
}

// False with the reason in `failure`, which stays empty when the person cancelled.
bool VOKR_EXPORT_DLG::export_file(const QString& path, int index, double period, QString* failure)
{
    *failure = target_refusal(path);
    if (!failure->isEmpty())
        return false;
    if (index >= FIRST_IMAGE_FORMAT) {
        VOKR_VIEW* view = m_frame_wnd && m_frame_wnd->get_layout_widget()
                              ? m_frame_wnd->get_layout_widget()->get_current_view()
                              : nullptr;
        if (!view)
            *failure = "no waveform view is open";
        return view && view->export_image(path, failure);
    }
    VOKR_WAVEFORM_EXPORT_DATA record;
    record.set_type(GUV_DATA_LOG_EXPORTER_OUTPUT_FORMAT(FORMATS[index].type));
    record.set_filename(path.toLocal8Bit().constData());
    record.set_clock_interval(clock_interval(period, m_unit->currentIndex()));
    record.set_time_unit(UNITS[std::clamp(m_unit->currentIndex(), 0, int(std::size(UNITS)) - 1)].code);
    if (m_tx_manager)
        m_tx_manager->commit_session();
    PIRQ_WAIT_CURSOR wait;
    if (record.create_vector_database(m_data_log))
        return true;
    *failure = write_failure(path);
    return false;
}
