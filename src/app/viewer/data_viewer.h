#pragma once
// The data viewer (TDataViewForm): a memory image as hex rows, as words of 8
// to 64 bits with a plot, and beside a second file with its differences. It
// needs no board: the File menu's "ﾃﾞｰﾀの表示...", the memory page's "表示"
// and `quillon --view FILE [--compare FILE2]` open it.
//
// The whole-file work (the plot's block summary and the comparison's counts)
// runs on a thread of the window's own, so the window answers at once; a file
// that changes while it is shown is read again from its new contents and
// everything shown is redone from them.

#include <QWidget>
#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "app/viewer/view_options.h"
#include "features/memory/data_view.h"

class QCheckBox;
class QComboBox;
class QFileSystemWatcher;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace quillon::app {

class DataPlot;
class HexView;

// The memory page's last round trip: the file MemWrite sent and how both
// directions were scrambled, so that a read is compared as the board holds it.
struct WrittenFile {
    std::string path;
    bool writeScramble = false;
    bool readScramble = false;
    std::uint64_t length = 0;  // the page's transfer length
};

struct ViewerRequest {
    std::string path;
    std::string compare;  // empty: none
    std::optional<WrittenFile> written;
};

class TDataViewForm : public QWidget {
    Q_OBJECT
  public:
    // Opens a viewer window on `request.path`. nullptr, after a box that says
    // which file and why, when a file cannot be shown.
    static TDataViewForm* Open(const ViewerRequest& request, QWidget* parent = nullptr);
    ~TDataViewForm() override;

    // A second file to compare with; false (after the box) when it cannot be read.
    bool SetCompare(const std::string& path, const features::CompareOptions& options);
    void CompareWithWritten();

    HexView* hexView() const { return hex_; }
    DataPlot* plot() const { return plot_; }
    QString compareText() const;
    QString statusText() const;
    // Whole-file work in flight (tests wait for it to end).
    bool busy() const { return running_; }
    const features::PlotSummary* summary() const { return summary_.get(); }

  private:
    explicit TDataViewForm(const ViewerRequest& request, QWidget* parent);
    bool LoadMain(const std::string& path);
    void BuildUi();
    features::WordFormat Format() const;
    void StartWork();
    void WorkDone(std::uint64_t generation, std::shared_ptr<features::PlotSummary> summary,
                  std::optional<features::CompareResult> compare, bool changed);
    void StopWork();
    void Watch();
    void MaybeReload();
    void Reload();
    void ShowFileLine();
    void ShowValue(std::uint64_t offset);
    void GoToOffset();
    void Find();
    void Copy();
    void StepDifference(bool forward);
    void ChooseCompare();
    void ChooseMain();

    ViewerRequest request_;
    std::shared_ptr<features::DataFile> file_;
    std::shared_ptr<features::DataFile> other_;
    features::CompareOptions compareOptions_;
    std::shared_ptr<features::PlotSummary> summary_;
    std::optional<features::CompareResult> compared_;

    std::thread worker_;
    std::atomic<std::uint64_t> generation_{0};
    bool running_ = false;

    QLabel* fileLine_ = nullptr;
    QLineEdit* offset_ = nullptr;
    QLineEdit* pattern_ = nullptr;
    HexView* hex_ = nullptr;
    DataPlot* plot_ = nullptr;
    QComboBox* width_ = nullptr;
    QCheckBox* signed_ = nullptr;
    QComboBox* endian_ = nullptr;
    QLabel* value_ = nullptr;
    QLabel* compareLine_ = nullptr;
    QPushButton* prevDiff_ = nullptr;
    QPushButton* nextDiff_ = nullptr;
    QPushButton* written_ = nullptr;
    QLabel* status_ = nullptr;
    QFileSystemWatcher* watcher_ = nullptr;
    QTimer* reload_ = nullptr;
};

// The File menu's "ﾃﾞｰﾀの表示...": asks for a file and shows it.
void ChooseAndView(QWidget* parent);
// `quillon --view FILE [--compare FILE2]`: the viewer alone until it is closed.
// 2 when a file cannot be shown (after the box).
int RunViewerAlone(const std::string& path, const std::string& compare);

}  // namespace quillon::app
