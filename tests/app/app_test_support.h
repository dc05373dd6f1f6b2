#pragma once
// What the panel's tests share: one QApplication, a board backend whose board
// the test plugs in and out, and the panel's prompter answering from a queue.

#include <QApplication>
#include <memory>
#include <string>
#include <vector>

#include "app/qt_prompter.h"
#include "link/board_link.h"
#include "link/device.h"
#include "support/fresh_home.h"

namespace quillon::test {

void EnsureApp();

// The state of the one board the fake backend can see.
struct FakeBus {
    bool present = false;
    int opens = 0;
    link::NoticePoster post;
    std::string driverVersion = "1.0.26.11724";
    // What the backend says while no board opens.
    link::NoBoardReason reason;

    void Plug() {
        present = true;
        if (post) post(link::DeviceNotice::Arrival);
    }
    void Unplug() {
        present = false;
        if (post) post(link::DeviceNotice::Removal);
    }
};

class FakeBackend : public link::Backend {
  public:
    explicit FakeBackend(std::shared_ptr<FakeBus> bus) : bus_(std::move(bus)) {}
    std::string Name() const override { return "fake"; }
    std::unique_ptr<link::Device> OpenFirst() override;
    void WatchDevices(link::NoticePoster post) override { bus_->post = std::move(post); }
    std::string DriverVersion() const override { return bus_->driverVersion; }
    link::NoBoardReason WhyNoBoard() const override {
        return bus_->present ? link::NoBoardReason{} : bus_->reason;
    }

  private:
    std::shared_ptr<FakeBus> bus_;
};

// A fresh home, a reset log writer and link, the fake backend installed and
// the queued prompter in place; everything undone at the end.
class PanelTest {
  public:
    PanelTest();
    ~PanelTest();
    std::shared_ptr<FakeBus> bus = std::make_shared<FakeBus>();
    app::QtPrompter prompter;
    FreshHome home;

    // Writes SETUP keys before a start.
    void Store(const std::string& key, const std::string& value, const char* section = "SETUP");
    // The texts of this run's log file, stamps removed.
    std::vector<std::string> LogLines() const;
};

}  // namespace quillon::test
