// The suite's node finder: a dialog that lists the design's node names of the pre-synthesis
// or the post-fitting database, filtered by text, and hands out the chosen ones. It lives in
// its own library, which the editor also loads at run time for the modal chooser.
#pragma once

#include "pirq.h"

#include <QDialog>
#include <QStringList>

class QLineEdit;
class QListWidget;
struct Tcl_Interp;

class TEVQ_DIALOG : public QDialog {
    Q_OBJECT
public:
    TEVQ_DIALOG(QWidget* parent, bool modeless);
    ~TEVQ_DIALOG() override;
    // "Lumetra: pre-synthesis" lists the pre-synthesis names, any other title the post-fitting ones.
    void set_filter_title(const QString& title);
    QString get_filter_title() const { return m_filter_title; }
    void set_text_filter(const QString& text);
    void clear_selection();
    // The names the list shows now.
    QStringList get_listed_names() const;
    // Hands the named entries out as the user's choice; each name the database does not hold is
    // left out, posted as a warning and returned.
    QStringList choose(const QStringList& full_names);

signals:
    void on_selected_list(const PIRQ_INSTANCE_NAME_LIST& names);

private:
    void refill();
    void accept_selection();

    QString m_filter_title;
    QLineEdit* m_filter = nullptr;
    QListWidget* m_list = nullptr;
};

// A design name of the database the title chooses, as the finder hands it out; false when
// the database has no such name.
bool tevq_make_instance_name(const QString& full_name, const QString& filter_title, PIRQ_INSTANCE_NAME* name);

// Choices made by a script: the next modal chooser returns the first queued list instead of
// showing itself; without a queued list and without a person it returns an empty choice.
void tevq_push_scripted_choice(const QStringList& full_names);
void tevq_clear_scripted_choices();
// Registers ::korvane::finder::choose {names} ?-modal? for scripts; its result lists the names
// the open finder did not find.
void tevq_register_tcl_commands(Tcl_Interp* interp);

extern "C" {
// The modal chooser that the editor finds at run time: fills `names` with the choice (empty
// when cancelled).
void tevq_dyn_node_finder_dialog_instance_name_widget(QWidget* parent, PIRQ_INSTANCE_NAME_LIST* names,
                                                      const char* title);
}
