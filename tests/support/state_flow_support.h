// Flow texts for the state-based trigger tests: a name source with the trigger's default names,
// and flow texts written the way an engineer writes them with the completer, to be fed to
// anything that reads flows.
#pragma once

#include "vokr_state_text_edit.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace state_flow {

// Default names: "condition1".., "c1".., "f1".., "ST1"..; the lists may be edited.
class NAMES : public VOKR_STATE_NAME_SOURCE {
public:
    NAMES(int conditions, int counters, int flags, int states);
    QStringList get_condition_names() const override { return conditions; }
    QStringList get_counter_names() const override { return counters; }
    QStringList get_flag_names() const override { return flags; }
    QStringList get_state_names() const override { return states; }

    QStringList conditions, counters, flags, states;
};

// One walk: the text, and the tokens it was built from.
struct WALK {
    QString text;
    QStringList tokens;
};

// Walks through the completer from an empty text: `steps` random insert offers (a name of the
// kind for each placeholder word, a number below 16 for "value", the next unused state name
// after "state ", any statement after a complete one), then the offers that end the open
// statements soonest, until the text is a complete flow. Blanks beside punctuation are sometimes left out, lines end
// after ';' and ':'. The same seed gives the same walks.
std::vector<WALK> random_walks(const NAMES& names, int display_type, unsigned seed, int count, int steps);

// Whether every statement of the tokens is complete: they end with ';' or "end" outside blocks.
bool is_complete_flow(const QStringList& tokens);

}  // namespace state_flow
