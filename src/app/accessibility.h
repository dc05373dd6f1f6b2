#pragma once
// The panel as accessibility tools (screen readers, test tools over AT-SPI)
// see it: every control has a name of its own, by which a tool finds it.
//
// A control's name is its caption; a field's (edit, list, spin box) is the
// label beside it, set by the page with setAccessibleName. What a page leaves
// open is completed when a window is shown:
//   - a field without a name takes the label naming it (a QLabel buddy), else
//     the label before it in its row, else its group's title;
//   - a button without a caption takes its tool tip (an arrow: the name of
//     the field it steps, with 増やす / 減らす);
//   - where controls of one kind share a name within a page (or a window),
//     the first keeps it and the others add their group's title (or the
//     group's accessible name, for a long title), the field in their row, or
//     their number in the page's order: "Read", "Read (2)", "Read (Group2)".

class QApplication;
class QWidget;

namespace quillon::app {

// Completes the names in `window` as above (a page of the main window is a
// scope of its own; the rest of a window is one scope). Idempotent.
void CompleteAccessibleNames(QWidget* window);

// Installs the panel's accessible interfaces (a list is named by its label,
// not by its current entry; windows are windows) and completes the names of
// every window when it is shown. Once, before the first window.
void InstallAccessibility(QApplication& app);

}  // namespace quillon::app
