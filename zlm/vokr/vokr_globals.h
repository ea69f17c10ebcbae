// The module's process-wide objects.
//
// Objects whose order matters are built when the library is loaded, in one translation unit
// (vokr_globals.cpp) and in this order: the memory registration, the static Tcl package, the
// status text map with its deleter and the status texts, the plug-in registry, the message
// identifier registrar and last the parameter help texts. Unloading destroys them in reverse.
//
// Labels, maps, the brush, the pens and the palettes are made on first use: a palette or pen
// needs the application's palette, so it must not be built before a QGuiApplication exists.
// Being made later, they are released before the objects built at load.
#pragma once

#include "msg.h"

#include <QBrush>
#include <QMap>
#include <QPalette>
#include <QPen>
#include <QString>
#include <QStringList>

#include <vector>

// "Allow all changes", "Allow incremental route changes only", "Allow trigger condition changes
// only", in VOKR_LOCK_MODE order.
const QStringList& vokr_lock_mode_labels();
// Each lock-mode label to its VOKR_LOCK_MODE; other texts are not keys.
using VOKR_LOCK_MODE_MAP = QMap<QString, int>;
const VOKR_LOCK_MODE_MAP& vokr_lock_mode_map();

// Views' and panels' light blue: (153, 204, 255), solid.
const QBrush& vokr_light_blue_brush();
// Waveform cells' purple: (128, 0, 128).
const QPen& vokr_purple_pen();
// Time ruler and time bars: the palette's dark brush, width 1, one pixel on and one off, flat cap.
const QPen& vokr_dotted_pen();
// Palettes whose Base (Text for the red-text one) is the same in every colour group.
const QPalette& vokr_transparent_palette();  // Base without a pattern
const QPalette& vokr_yellow_palette();
const QPalette& vokr_green_palette();
const QPalette& vokr_red_palette();
const QPalette& vokr_red_text_palette();

// RAM type 0 to 3 shows label 0 to 3: "Auto", then the medium, small and large memory blocks.
const QStringList& vokr_ram_type_labels();
// The state-machine finder's tap states and its results when nothing was found or tapped.
const QStringList& vokr_tap_state_labels();
const QStringList& vokr_finder_result_labels();

// The module's posted message numbers and their post types, in the order they are registered.
struct VOKR_MSG_ID_TABLE {
    std::vector<unsigned int> ids;
    std::vector<MSG_POST_TYPE> types;
};
const VOKR_MSG_ID_TABLE& vokr_msg_id_table();

// Offers the module to Tcl as the static package "Vokr", unless the suite loads packages from
// their files.
void vokr_offer_static_package();
// At exit: takes the package away again when the suite runs its Qt interface and its
// interpreter is still alive (a deleted interpreter has taken the commands with it).
void vokr_release_tcl_package();
