// The look shared by the settings panes: a sunken panel frame holding a header row, a one-pixel
// line and a frameless scroll area with the pane's content.
#pragma once

class QAction;
class QFrame;
class QHBoxLayout;
class QScrollArea;
class QToolButton;
class QVBoxLayout;
class QWidget;

// Gives `panel` that look around `content` and returns the header row (left margin 7) for the
// caller's title widgets; `scroll_area`, when given, receives the scroll area. The content's combo
// and spin boxes pass the wheel to the scroll area unless they have the focus.
QHBoxLayout* vokr_build_panel(QFrame* panel, QWidget* content, QScrollArea** scroll_area = nullptr);

// The frame, header row and line alone, for panes that lay out their own content: returns the
// column to add it to.
QVBoxLayout* vokr_build_panel_column(QFrame* panel, QHBoxLayout** header);

// The same with the plain sunken panel of the docked panes (instance manager, data log,
// hierarchy).
QVBoxLayout* vokr_build_pane_column(QFrame* pane, QHBoxLayout** header);

// The auto-raise close button of a docked pane's header: pressing it hides `pane` and toggles
// `view_action`, whose toggling in turn shows or hides the pane.
QToolButton* vokr_new_pane_close_button(QFrame* pane, QAction* view_action);

// The one-pixel sunken line between a pane's parts.
QFrame* vokr_new_panel_line();

// Ends the header row with a stretch and an auto-raise hide button. The button hides the panel
// and toggles `view_action`, whose toggling in turn shows or hides the panel, so the view menu
// and the button stay in step.
void vokr_add_hide_button(QHBoxLayout* header, QFrame* panel, QAction* view_action);
