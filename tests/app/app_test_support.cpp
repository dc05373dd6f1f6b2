#include "app_test_support.h"

#include <QTimer>
#include <fstream>

#include "app/log_window.h"
#include "app/par_flash.h"
#include "app/secondary_windows.h"
#include "app/startup_hooks.h"
#include "app/ui_fonts.h"
#include "log/log_file.h"
#include "platform/settings_store.h"

namespace quillon::test {

namespace {

class FakeDevice : public link::Device {
  public:
    link::TransferResult Control(const link::SetupPacket& setup, std::span<std::uint8_t>) override {
        return {link::UsbError::None, setup.wLength, 0};
    }
    link::TransferResult BulkOut(std::uint8_t, std::span<const std::uint8_t> data) override {
        return {link::UsbError::None, static_cast<std::uint32_t>(data.size()), 0};
    }
    link::TransferResult BulkIn(std::uint8_t, std::span<std::uint8_t> data) override {
        return {link::UsbError::None, static_cast<std::uint32_t>(data.size()), 0};
    }
};

}  // namespace

void EnsureApp() {
    static int argc = 1;
    static char name[] = "app_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        auto* a = new QApplication(argc, argv);
        app::InstallFontFallbacks();
        return a;
    }();
    (void)app;
}

std::unique_ptr<link::Device> FakeBackend::OpenFirst() {
    if (!bus_->present) return nullptr;
    ++bus_->opens;
    return std::make_unique<FakeDevice>();
}

PanelTest::PanelTest() {
    EnsureApp();
    // An exit command of an earlier test leaves the application quitting, and
    // every modal dialog would return at once: a loop of its own clears that.
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
    LogFile::ResetForTest();
    link::BoardLink::Instance().ResetForTest();
    link::BoardLink::Instance().SetBackend(std::make_unique<FakeBackend>(bus));
    app::Hooks() = {};
    app::SetParFlashRunning(false);
    prompter.setHeadless(true);
    SetPrompter(&prompter);
}

PanelTest::~PanelTest() {
    app::LogWindow::Destroy();
    app::BusyWindow::Destroy();
    app::VersionWindow::Destroy();
    SetPrompter(nullptr);
    app::Hooks() = {};
    app::SetParFlashRunning(false);
    link::BoardLink::Instance().ResetForTest();
    LogFile::ResetForTest();
}

void PanelTest::Store(const std::string& key, const std::string& value, const char* section) {
    SettingsStore store;
    store.WriteString(section, key, value);
}

std::vector<std::string> PanelTest::LogLines() const {
    std::vector<std::string> out;
    std::ifstream in(LogFile::FilePath());
    const std::string mark = "】 ";
    for (std::string line; std::getline(in, line);) {
        const auto at = line.find(mark);
        out.push_back(at == std::string::npos ? line : line.substr(at + mark.size()));
    }
    return out;
}

}  // namespace quillon::test
