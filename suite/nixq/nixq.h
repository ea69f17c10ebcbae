// Per-user registry of the suite, kept in QSettings.
#pragma once

#include <QString>
#include <QVariant>

// Value names of the editor's user settings (sub-key 32).
#define NIXQ_VOKR_SHOW_DUPLICATE_BUTTONS_STR "vokr_show_duplicate_buttons"
#define NIXQ_VOKR_LINK_GROUPS_STR "vokr_link_groups"
#define NIXQ_VOKR_LINK_PROPERTIES_STR "vokr_link_properties"
#define NIXQ_VOKR_LINK_ORDER_STR "vokr_link_order"
#define NIXQ_VOKR_LINK_MNEMONICS_STR "vokr_link_mnemonics"
#define NIXQ_VOKR_AUTO_RECOMPILE_STR "vokr_auto_recompile"
#define NIXQ_VOKR_SHOW_HORZ_GRID_STR "vokr_show_horz_grid"
#define NIXQ_VOKR_INTER_LINE_SPACING_STR "vokr_inter_line_spacing"
#define NIXQ_VOKR_ALIGN_LEFT_STR "vokr_align_left"
#define NIXQ_VOKR_MSB_FIRST_STR "vokr_msb_first"
#define NIXQ_VOKR_SHOW_LEADING_ZEROES_STR "vokr_show_leading_zeroes"
#define NIXQ_VOKR_SHOW_VERT_GRID_STR "vokr_show_vert_grid"
#define NIXQ_VOKR_SHOW_TIME_BARS_STR "vokr_show_time_bars"
#define NIXQ_VOKR_FIT_DATA_STR "vokr_fit_data"
#define NIXQ_VOKR_ROWPP_STR "vokr_rowpp"
#define NIXQ_VOKR_COLUMNPP_STR "vokr_columnpp"
#define NIXQ_VOKR_PAGES_WIDE_STR "vokr_pages_wide"
#define NIXQ_VOKR_PAGES_TALL_STR "vokr_pages_tall"
#define NIXQ_VOKR_NAME_WIDTH_STR "vokr_name_width"
#define NIXQ_VOKR_SHOW_TYPE_STR "vokr_show_type"
#define NIXQ_VOKR_SHOW_ALIAS_STR "vokr_show_alias"
#define NIXQ_VOKR_DISPLAY_MODE_STR "vokr_display_mode"
constexpr int NIXQ_VOKR_SUB_KEY = 32;
// The user's own shortcuts of the suite's actions.
constexpr int NIXQ_SHORTCUT_SUB_KEY = 7;

// The values of one sub-key of the user's registry. KORVANE_SETTINGS_DIR, when set, holds
// the settings file (tests use a directory of their own).
class NIXQ_REGISTRY_KEY {
public:
    explicit NIXQ_REGISTRY_KEY(int sub_key);
    // False when the value was never stored.
    bool get_value(const char* name, QVariant* value) const;
    bool set_value(const char* name, const QVariant& value);
    void remove_value(const char* name);

private:
    QString key_of(const char* name) const;
    int m_sub_key;
};
