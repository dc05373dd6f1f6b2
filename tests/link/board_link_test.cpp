// The board link's session rules: what arrival and removal notices do, what
// listeners hear and in which order, and that old handles stay dead.

#include <gtest/gtest.h>

#include "link/fake_board.h"
#include "link/vendor_requests.h"

namespace quillon::link {
namespace {

using Lines = std::vector<std::string>;

struct Recorder : BoardListener {
    Recorder(std::string n, Lines& out) : name(std::move(n)), events(out) {}
    void BoardGoing() override { events.push_back(name + " going"); }
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

TEST_F(Link, ListenersSeeTheBoardStillThereWhenGoing) {
    struct Probe : BoardListener {
        void BoardGoing() override { stillOpen = BoardLink::Instance().IsOpen(); }
        void BoardState(bool) override {}
        bool stillOpen = false;
    } probe;
    BoardLink::Instance().AddListener(&probe);
    Plug();
    Unplug(0);
    EXPECT_TRUE(probe.stillOpen);
    BoardLink::Instance().RemoveListener(&probe);
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

TEST_F(Link, TwoBoardsFirstOpensAnyRemovalCloses) {
    auto first = Plug();
    auto second = Plug();  // arrival while open: ignored
    EXPECT_EQ(log, Lines{"USB OPEN!!"});
    ASSERT_TRUE(VR_FW_RESET(CurrentBoard()));
    EXPECT_EQ(first->sent.size(), 1u);
    EXPECT_TRUE(second->sent.empty());

    // Unplugging the other board still closes the link; no arrival follows.
    Unplug(1);
    EXPECT_EQ(CurrentBoard(), kNoBoard);
    EXPECT_EQ(log, (Lines{"USB OPEN!!", "USB CLOSE!!"}));
}

TEST_F(Link, ReplugGivesANewHandleAndTheOldOneStaysDead) {
    auto board = Plug();
    const BoardHandle before = CurrentBoard();
    Unplug(0);
    present->push_back(board);
    BoardLink::Instance().OnDeviceChange(DeviceNotice::Arrival);
    EXPECT_EQ(log, (Lines{"USB OPEN!!", "USB CLOSE!!", "USB OPEN!!"}));
    ASSERT_NE(CurrentBoard(), kNoBoard);
    EXPECT_NE(CurrentBoard(), before);
    EXPECT_EQ(BoardLink::Instance().DeviceFor(before), nullptr);
    EXPECT_FALSE(VR_FW_RESET(before));
    EXPECT_TRUE(board->sent.empty());
}

}  // namespace
}  // namespace quillon::link
