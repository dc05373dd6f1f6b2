// The board link's session rules: what arrival and removal notices do, what
// and what listeners hear, in which order.

#include <gtest/gtest.h>

#include "link/fake_board.h"
#include "link/vendor_requests.h"

namespace quillon::link {
namespace {

using Lines = std::vector<std::string>;

struct Recorder : BoardListener {
    Recorder(std::string n, Lines& out) : name(std::move(n)), events(out) {}
    // The board must still be there while listeners are told it is going.
    void BoardGoing() override {
        events.push_back(name + (BoardLink::Instance().IsOpen() ? " going" : " going late"));
    }
    void BoardState(bool open) override { events.push_back(name + (open ? " open" : " closed")); }
    std::string name;
    Lines& events;
};

class Link : public ::testing::Test, public test::LinkFixture {
  protected:
    void SetUp() override {
        present = std::make_shared<std::vector<std::shared_ptr<test::FakeBoardState>>>();
        BoardLink::Instance().SetBackend(std::make_unique<test::FakeBackend>(present));
        BoardLink::Instance().AddListener(&a);
        BoardLink::Instance().AddListener(&b);
    }
    std::shared_ptr<test::FakeBoardState> Plug() {
        present->push_back(std::make_shared<test::FakeBoardState>());
        BoardLink::Instance().OnDeviceChange(DeviceNotice::Arrival);
        return present->back();
    }
    void Unplug(std::size_t i) {
        present->erase(present->begin() + static_cast<long>(i));
        BoardLink::Instance().OnDeviceChange(DeviceNotice::Removal);
    }
    Lines events;
    Recorder a{"a", events}, b{"b", events};
};

TEST_F(Link, ArrivalOpensRemovalClosesInListenerOrder) {
    BoardLink::Instance().OnDeviceChange(DeviceNotice::Arrival);  // nothing there yet
    EXPECT_EQ(log, Lines{"OPEN FAILED!!"});
    EXPECT_EQ(CurrentBoard(), kNoBoard);
    EXPECT_TRUE(events.empty());

    log.clear();
    Plug();
    EXPECT_NE(CurrentBoard(), kNoBoard);
    Unplug(0);
    EXPECT_EQ(CurrentBoard(), kNoBoard);
    EXPECT_EQ(events, (Lines{"a open", "b open", "a going", "b going", "a closed", "b closed"}));
    EXPECT_EQ(log, (Lines{"USB OPEN!!", "USB CLOSE!!"}));

    // A removal while closed changes nothing.
    BoardLink::Instance().OnDeviceChange(DeviceNotice::Removal);
    EXPECT_EQ(log.size(), 2u);
}

TEST_F(Link, ListenerRemovedDuringNoticeIsNotCalledAgain) {
    struct SelfRemover : BoardListener {
        void BoardGoing() override { BoardLink::Instance().RemoveListener(this); }
        void BoardState(bool) override { ++calls; }
        int calls = 0;
    } r;
    BoardLink::Instance().AddListener(&r);
    Plug();
    Unplug(0);
    EXPECT_EQ(r.calls, 1);  // the open only
}

}  // namespace
}  // namespace quillon::link
