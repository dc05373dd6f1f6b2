#pragma once
// The path fields of the pages (the memory page's file, the bridge pages'
// data files, the script and the configuration file). A relative name typed
// into one is taken in a folder the page states under the field: the folder
// of the file last chosen on that page or, before any was chosen, the
// documents folder.

#include <string>

#include "app/elided_label.h"

class QLineEdit;

namespace quillon::app {

// The folder relative names of a page resolve against; `dirKey` is the
// setting that holds the folder of the page's last chosen file.
std::string RelativeBaseFolder(const char* dirKey);
// The field's text as the full path the page uses.
std::string FieldPath(const QLineEdit* field, const char* dirKey);

// "相対ﾊﾟｽの基準：<folder>" under a path field, cut in the middle when the
// page is narrow, the whole text as its tooltip.
class RelativeBaseLabel : public ElidedLabel {
    Q_OBJECT
  public:
    RelativeBaseLabel(const char* dirKey, QWidget* parent);
    // The folder as it was read last.
    const std::string& folder() const { return folder_; }
    // Reads the folder again (after the page's file choice stored a new one).
    void Refresh();
    QSize minimumSizeHint() const override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    const char* dirKey_;
    std::string folder_;
};

}  // namespace quillon::app
