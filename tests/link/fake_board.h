#pragma once
// A recording board for the link tests: every transfer is kept as it reached
// the device, and answers are scripted per request.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/board_link.h"
#include "log/log_file.h"

namespace quillon::test {

struct Sent {
    link::SetupPacket setup;
    std::uint8_t endpoint = 0;       // 0 for control transfers
    std::vector<std::uint8_t> data;  // OUT data as sent; IN: the size asked for
};

// What the fake answers: fills an IN data stage and returns the result.
using Answer =
    std::function<link::TransferResult(const link::SetupPacket&, std::span<std::uint8_t>)>;

struct FakeBoardState {
    std::vector<Sent> sent;
    Answer answer;                                 // control transfers; default: all moved, zeros
    std::deque<link::TransferResult> bulkResults;  // next bulk results; default: all moved
};

class FakeDevice : public link::Device {
  public:
    explicit FakeDevice(std::shared_ptr<FakeBoardState> s) : s_(std::move(s)) {}
    link::TransferResult Control(const link::SetupPacket& setup,
                                 std::span<std::uint8_t> data) override {
        Sent r{setup, 0, {}};
        if (setup.In())
            r.data.resize(data.size());
        else
            r.data.assign(data.begin(), data.end());
        s_->sent.push_back(r);
        if (s_->answer) return s_->answer(setup, data);
        return {link::UsbError::None, static_cast<std::uint32_t>(data.size()), 0};
    }
    link::TransferResult BulkOut(std::uint8_t ep, std::span<const std::uint8_t> data) override {
        s_->sent.push_back({{}, ep, std::vector<std::uint8_t>(data.begin(), data.end())});
        return NextBulk(data.size());
    }
    link::TransferResult BulkIn(std::uint8_t ep, std::span<std::uint8_t> data) override {
        s_->sent.push_back({{}, ep, std::vector<std::uint8_t>(data.size())});
        return NextBulk(data.size());
    }

  private:
    link::TransferResult NextBulk(std::size_t n) {
        if (s_->bulkResults.empty())
            return {link::UsbError::None, static_cast<std::uint32_t>(n), 0};
        auto r = s_->bulkResults.front();
        s_->bulkResults.pop_front();
        return r;
    }
    std::shared_ptr<FakeBoardState> s_;
};

// Boards "present" in enumeration order; OpenFirst opens the first.
class FakeBackend : public link::Backend {
  public:
    explicit FakeBackend(std::shared_ptr<std::vector<std::shared_ptr<FakeBoardState>>> present)
        : present_(std::move(present)) {}
    std::string Name() const override { return "fake"; }
    std::unique_ptr<link::Device> OpenFirst() override {
        if (present_->empty()) return nullptr;
        return std::make_unique<FakeDevice>(present_->front());
    }
    void WatchDevices(link::NoticePoster) override {}
    std::string DriverVersion() const override { return "0"; }

  private:
    std::shared_ptr<std::vector<std::shared_ptr<FakeBoardState>>> present_;
};

// Collects log lines (without their stamps) and resets the link and the log
// writer around each test.
class LinkFixture {
  public:
    LinkFixture() {
        LogFile::ResetForTest();
        link::BoardLink::Instance().ResetForTest();
        LogFile::AttachEcho([this](const std::string& line) {
            const auto at = line.find("】 ");
            log.push_back(at == std::string::npos ? line : line.substr(at + 4));
        });
    }
    ~LinkFixture() {
        link::BoardLink::Instance().ResetForTest();
        LogFile::ResetForTest();
    }
    // Installs the fake backend with one board and opens it.
    std::shared_ptr<FakeBoardState> OpenFake() {
        present = std::make_shared<std::vector<std::shared_ptr<FakeBoardState>>>();
        present->push_back(std::make_shared<FakeBoardState>());
        link::BoardLink::Instance().SetBackend(std::make_unique<FakeBackend>(present));
        link::BoardLink::Instance().Open();
        return present->front();
    }
    std::vector<std::string> log;
    std::shared_ptr<std::vector<std::shared_ptr<FakeBoardState>>> present;
};

}  // namespace quillon::test
