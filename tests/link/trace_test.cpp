// The wire trace: one line per transfer, in the format scripts compare; lines
// gathered and written on failure, by time and at the end; lost writes reported
// once; lines in order through a full queue.

#include "link/trace.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "link/fake_board.h"
#include "link/hints.h"
#include "link/usbmon.h"
#include "link/vendor_requests.h"
#include "support/fresh_home.h"

namespace quillon::link {
namespace {

std::vector<std::string> ReadLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

class Trace : public ::testing::Test, public test::LinkFixture {
  protected:
    virtual const char* FileName() const { return "trace.txt"; }
    void SetUp() override {
        path = home.root() + "/" + FileName();
        std::string error;
        trace = TraceLog::Open(path, error);
        ASSERT_TRUE(trace) << error;
        board = OpenFake();
        BoardLink::Instance().SetDeviceWrapper(
            [t = trace](std::unique_ptr<Device> d) { return MakeTraceDevice(std::move(d), t); });
        BoardLink::Instance().Close();
        ASSERT_TRUE(BoardLink::Instance().Open());
    }
    test::FreshHome home;
    std::string path;
    std::shared_ptr<TraceLog> trace;
    std::shared_ptr<test::FakeBoardState> board;
};

TEST_F(Trace, LinesAsTheyReachTheFile) {
    board->answer = [](const SetupPacket& s, std::span<std::uint8_t> d) {
        if (s.bRequest == vr::MEM_CMD) return TransferResult{UsbError::Stall, 0, -9};
        for (std::size_t i = 0; i < d.size(); ++i) d[i] = static_cast<std::uint8_t>(i + 1);
        return TransferResult{UsbError::None, static_cast<std::uint32_t>(d.size()), 0};
    };
    std::uint32_t lo, hi;
    const BoardHandle h = CurrentBoard();
    ASSERT_TRUE(VR_REG_READ(h, 0x3FFF, RegWidth::Bits64, lo, hi));
    ASSERT_TRUE(VR_GPIO_DIR(h, 2, 0x00FF));
    // A failed transfer writes its line, and every line before it, at once.
    EXPECT_FALSE(VR_MEM_CMD(h, kMemWriteBegin, 0));
    EXPECT_EQ(ReadLines(path).size(), 3u);

    std::vector<std::uint8_t> out = {0x00, 0xFF, 0x12, 0x34};
    Device* dev = BoardLink::Instance().DeviceFor(h);
    dev->BulkOut(kBulkOutEp, out);
    std::vector<std::uint8_t> big(65, 0xAB), exact(64, 0xCD);
    dev->BulkIn(kBulkInEp, big);
    dev->BulkOut(kBulkOutEp, exact);
    board->bulkResults = {{UsbError::NoDevice, 10, -4}, {UsbError::None, 2, 0}};
    dev->BulkIn(kBulkInEp, big);
    dev->BulkOut(kBulkOutEp, out);

    trace->Flush();
    const auto lines = ReadLines(path);
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0], "CTRL bm=C0 req=B0 val=FFFF idx=3FC0 len=8 -> OK 8 data=0102030405060708");
    EXPECT_EQ(lines[1], "CTRL bm=40 req=B4 val=0002 idx=00FF len=0 -> OK 0");
    EXPECT_EQ(lines[2], "CTRL bm=40 req=B1 val=0000 idx=0000 len=1 -> ERR STALL");
    EXPECT_EQ(lines[3], "BULK ep=06 len=4 -> OK 4 data=00FF1234");
    EXPECT_EQ(lines[4], "BULK ep=82 len=65 -> OK 65 data=" + Repeat("AB", 64) + "...");
    EXPECT_EQ(lines[5], "BULK ep=06 len=64 -> OK 64 data=" + Repeat("CD", 64));
    EXPECT_EQ(lines[6], "BULK ep=82 len=65 -> ERR NO_DEVICE");
    EXPECT_EQ(lines[7], "BULK ep=06 len=4 -> OK 2 data=00FF");
}

// A streamed transfer reaches the device in pieces but is one transfer: one
// line with its whole length and the head of its data.
TEST_F(Trace, StreamedTransferIsOneLine) {
    Device* dev = BoardLink::Instance().DeviceFor(CurrentBoard());
    const std::uint32_t length = static_cast<std::uint32_t>(kStreamPiece * 2 + 512);
    std::uint8_t next = 0;
    const BulkSource counting = [&](std::span<std::uint8_t> piece) {
        for (auto& b : piece) b = next++;
        return true;
    };
    EXPECT_TRUE(dev->BulkOutStream(kBulkOutEp, length, counting).ok());
    EXPECT_EQ(board->sent.size(), 3u);  // the pieces the device saw

    std::uint64_t received = 0;
    board->bulkResults = {{UsbError::None, static_cast<std::uint32_t>(kStreamPiece), 0},
                          {UsbError::NoDevice, 100, -4}};
    const auto r = dev->BulkInStream(kBulkInEp, length, [&](std::span<const std::uint8_t> p) {
        received += p.size();
        return true;
    });
    EXPECT_EQ(r.error, UsbError::NoDevice);
    EXPECT_EQ(r.moved, kStreamPiece + 100);
    EXPECT_EQ(received, kStreamPiece);

    // The source stops after the first piece.
    int pieces = 0;
    const auto stopped = dev->BulkOutStream(kBulkOutEp, length, [&](std::span<std::uint8_t> p) {
        std::fill(p.begin(), p.end(), 0);
        return ++pieces == 1;
    });
    EXPECT_EQ(stopped.error, UsbError::Cancelled);
    EXPECT_EQ(stopped.moved, kStreamPiece);

    const auto lines = ReadLines(path);
    ASSERT_EQ(lines.size(), 3u);
    std::string head;
    for (int i = 0; i < 64; ++i) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", i);
        head += hex;
    }
    EXPECT_EQ(lines[0], "BULK ep=06 len=" + std::to_string(length) + " -> OK " +
                            std::to_string(length) + " data=" + head + "...");
    EXPECT_EQ(lines[1], "BULK ep=82 len=" + std::to_string(length) + " -> ERR NO_DEVICE");
    EXPECT_EQ(lines[2], "BULK ep=06 len=" + std::to_string(length) + " -> ERR CANCELLED");
}

// With no further transfer and no failure, the timed write still brings the
// line to the file (about a second later; the bound here is only a guard).
TEST_F(Trace, QuietLinesReachTheFileByTime) {
    std::uint32_t lo, hi;
    ASSERT_TRUE(VR_REG_READ(CurrentBoard(), 1, RegWidth::Bits8, lo, hi));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (ReadLines(path).empty() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(ReadLines(path).size(), 1u);
    std::string error;
    EXPECT_TRUE(trace->Close(error)) << error;
}

// A trace that cannot be written (a full disk) says so when it happens and at
// the end; nothing after the loss is written as if the trace were whole.
TEST(TraceLoss, FullDeviceIsReportedAndEndsTheTrace) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    std::string error;
    auto trace = TraceLog::Open("/dev/full", error);
    ASSERT_TRUE(trace) << error;
    ::testing::internal::CaptureStderr();
    trace->Line("CTRL bm=40 req=B4 val=0002 idx=00FF len=0 -> OK 0");
    trace->Flush();
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("/dev/full"), std::string::npos) << said;
    trace->Line("BULK ep=06 len=4 -> OK 4 data=00FF1234");
    EXPECT_FALSE(trace->Close(error));
    EXPECT_NE(error.find("/dev/full"), std::string::npos) << error;
    EXPECT_FALSE(trace->Close(error));  // a second close still tells the loss
}

// A full disk under a stream of transfers: the loss is told once (in the log
// when the program keeps one, else on standard error), every transfer still
// succeeds, and the close reports the trace incomplete.
TEST(TraceLoss, AFullDiskIsToldOnceAndTheTransfersGoOn) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    for (const bool withLog : {false, true}) {
        SCOPED_TRACE(withLog ? "with a log" : "without a log");
        test::LinkFixture fixture;
        test::FreshHome home;
        std::string error;
        if (withLog) {
            ASSERT_TRUE(LogFile::OpenAs(home.root(), "log.txt", error)) << error;
        }
        std::vector<std::string> told;
        SetHintEcho(false);
        SetDiagnosticSink([&](const std::string& line) { told.push_back(line); });
        auto trace = TraceLog::Open("/dev/full", error);
        ASSERT_TRUE(trace) << error;
        auto dev = MakeTraceDevice(
            std::make_unique<test::FakeDevice>(std::make_shared<test::FakeBoardState>()), trace);
        // More records than the queue holds: the trace's own writes meet the
        // full disk, and the transfers behind them never wait on a dead file.
        bool allOk = true;
        for (std::uint32_t i = 0; i < 150000; ++i) {
            SetupPacket s{0x40, 0x01, static_cast<std::uint16_t>(i), 0, 0};
            allOk = dev->Control(s, {}).ok() && allOk;
        }
        EXPECT_TRUE(allOk);
        EXPECT_FALSE(trace->Close(error));
        EXPECT_NE(error.find("/dev/full"), std::string::npos) << error;
        SetDiagnosticSink(nullptr);
        SetHintEcho(true);

        std::vector<std::string> said = told;
        if (withLog) {
            EXPECT_TRUE(told.empty());
            said.clear();
            for (const std::string& l : fixture.log)
                if (l.find("wire trace") != std::string::npos) said.push_back(l);
        }
        ASSERT_EQ(said.size(), 1u);
        EXPECT_NE(said[0].find("/dev/full"), std::string::npos) << said[0];
    }
}

// Two threads' transfers through a reader that starts late: the queue fills
// and the transfers wait for it instead of dropping lines; each thread's lines
// keep their order, and the last of them reach the file when the trace is let
// go (the trace's end writes out what is queued).
TEST(TraceQueue, LinesKeepTheirOrderAndNoneIsLostAtTheEnd) {
    test::FreshHome home;
    const std::string fifo = home.root() + "/trace.fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    constexpr std::uint32_t kEach = 70000;  // two threads: past the queue's 4 MiB
    std::vector<std::string> lines;
    std::thread reader([&] {
        std::ifstream in(fifo);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        for (std::string l; std::getline(in, l);) lines.push_back(l);
    });
    std::string error;
    std::shared_ptr<TraceLog> trace;
    for (int i = 0; i < 500 && !trace; ++i) {
        trace = TraceLog::Open(fifo, error);
        if (!trace) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!trace) std::ofstream release(fifo);
    ASSERT_TRUE(trace) << error;
    {
        std::vector<std::thread> senders;
        for (std::uint8_t req : {0x01, 0x02}) {
            senders.emplace_back([req, trace] {
                auto dev = MakeTraceDevice(
                    std::make_unique<test::FakeDevice>(std::make_shared<test::FakeBoardState>()),
                    trace);
                for (std::uint32_t i = 0; i < kEach; ++i) {
                    SetupPacket s{0x40, req, static_cast<std::uint16_t>(i),
                                  static_cast<std::uint16_t>(i >> 16), 0};
                    dev->Control(s, {});
                }
            });
        }
        for (auto& t : senders) t.join();
    }
    trace.reset();  // the last holder: the trace ends here
    reader.join();

    ASSERT_EQ(lines.size(), 2 * kEach);
    std::uint32_t next[3] = {0, 0, 0};
    for (const std::string& l : lines) {
        unsigned req = 0, val = 0, idx = 0;
        ASSERT_EQ(std::sscanf(l.c_str(), "CTRL bm=40 req=%2X val=%4X idx=%4X len=0 -> OK 0", &req,
                              &val, &idx),
                  3)
            << l;
        ASSERT_TRUE(req == 1 || req == 2) << l;
        ASSERT_EQ(idx << 16 | val, next[req]) << l;
        ++next[req];
    }
}

// A read in pieces reaches the device as one call (its reader keeps the
// pieces in flight) and is one line per piece, the last one short.
TEST(TracePieces, OneCallBelowALinePerPieceAbove) {
    test::FreshHome home;
    const std::string path = home.root() + "/pieces.txt";
    struct PiecedDevice final : test::FakeDevice {
        using FakeDevice::FakeDevice;
        int calls = 0;
        void BulkInPieces(std::uint8_t, std::uint64_t length, std::uint32_t piece,
                          const PieceTarget& target) override {
            ++calls;
            for (std::uint64_t k = 0; k * piece < length; ++k) {
                const auto n =
                    static_cast<std::uint32_t>(std::min<std::uint64_t>(piece, length - k * piece));
                std::uint8_t* b = target.buffer(k, n);
                std::fill_n(b, n, static_cast<std::uint8_t>(0xA0 + k));
                // The last piece ends on a short packet.
                const std::uint32_t got = k == 2 ? n - 24 : n;
                if (!target.done(k, b, {UsbError::None, got, 0}) || got < n) return;
            }
        }
    };
    std::string error;
    auto trace = TraceLog::Open(path, error);
    ASSERT_TRUE(trace) << error;
    auto inner = std::make_unique<PiecedDevice>(std::make_shared<test::FakeBoardState>());
    PiecedDevice& pieced = *inner;
    auto dev = MakeTraceDevice(std::move(inner), trace);
    std::vector<std::uint8_t> buffer(4096);
    std::vector<std::uint64_t> got;
    Device::PieceTarget target{[&](std::uint64_t, std::uint32_t) { return buffer.data(); },
                               [&](std::uint64_t k, std::uint8_t*, const TransferResult& r) {
                                   got.push_back(k << 32 | r.moved);
                                   return true;
                               }};
    dev->BulkInPieces(kBulkInEp, 2 * 4096 + 100, 4096, target);
    EXPECT_EQ(pieced.calls, 1);
    trace.reset();
    dev.reset();  // the last holder of the trace: it ends here
    EXPECT_EQ(got, (std::vector<std::uint64_t>{4096, 1ull << 32 | 4096, 2ull << 32 | 76}));
    const auto lines = ReadLines(path);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "BULK ep=82 len=4096 -> OK 4096 data=" + Repeat("A0", 64) + "...");
    EXPECT_EQ(lines[1], "BULK ep=82 len=4096 -> OK 4096 data=" + Repeat("A1", 64) + "...");
    EXPECT_EQ(lines[2], "BULK ep=82 len=100 -> OK 76 data=" + Repeat("A2", 64) + "...");
}

// A FIFO nobody reads from is refused at once, not waited on; one with a
// reader takes the lines.
TEST(TraceLoss, FifoWithoutReaderIsRefusedAndOneWithAReaderTakesTheTrace) {
    test::FreshHome home;
    const std::string fifo = home.root() + "/trace.fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string error;
    EXPECT_FALSE(TraceLog::Open(fifo, error));
    EXPECT_NE(error.find("FIFO"), std::string::npos) << error;

    std::string got;
    std::thread reader([&] {
        std::ifstream in(fifo);
        std::getline(in, got);
    });
    std::shared_ptr<TraceLog> trace;
    for (int i = 0; i < 500 && !trace; ++i) {  // until the reader has it open
        trace = TraceLog::Open(fifo, error);
        if (!trace) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (trace) {
        trace->Line("CTRL bm=40 req=B4 val=0002 idx=00FF len=0 -> OK 0");
        EXPECT_TRUE(trace->Close(error)) << error;
    } else {
        ADD_FAILURE() << error;
        std::ofstream release(fifo);  // lets the reader go
    }
    reader.join();
    EXPECT_EQ(got, "CTRL bm=40 req=B4 val=0002 idx=00FF len=0 -> OK 0");
}

// The capture: a usbmon record pair per transfer, as Wireshark reads it.
class PcapTrace : public Trace {
  protected:
    const char* FileName() const override { return "trace.PCAP"; }

    struct Record {
        std::uint32_t captured = 0, whole = 0;
        std::uint64_t id = 0;
        char type = 0;
        std::uint8_t transferType = 0, endpoint = 0, setupFlag = 0, dataFlag = 0;
        std::int32_t status = 0;
        std::uint32_t length = 0, dataLength = 0;
        std::vector<std::uint8_t> setup, data;
    };
    static std::uint64_t Le(const std::vector<std::uint8_t>& b, std::size_t at, int n) {
        std::uint64_t v = 0;
        for (int i = n - 1; i >= 0; --i) v = v << 8 | b.at(at + i);
        return v;
    }
    std::vector<Record> Records() {
        trace->Flush();
        std::ifstream in(path, std::ios::binary);
        const std::vector<std::uint8_t> b((std::istreambuf_iterator<char>(in)), {});
        EXPECT_GE(b.size(), 24u);
        EXPECT_EQ(Le(b, 0, 4), 0xA1B2C3D4u);
        EXPECT_EQ(Le(b, 20, 4), 220u);
        std::vector<Record> out;
        for (std::size_t at = 24; at < b.size();) {
            Record r;
            r.captured = static_cast<std::uint32_t>(Le(b, at + 8, 4));
            r.whole = static_cast<std::uint32_t>(Le(b, at + 12, 4));
            const std::size_t h = at + 16;
            if (h + 64 > b.size()) {
                ADD_FAILURE() << "a record is cut at byte " << at;
                break;
            }
            r.id = Le(b, h, 8);
            r.type = static_cast<char>(b.at(h + 8));
            r.transferType = b.at(h + 9);
            r.endpoint = b.at(h + 10);
            r.setupFlag = b.at(h + 14);
            r.dataFlag = b.at(h + 15);
            r.status = static_cast<std::int32_t>(Le(b, h + 28, 4));
            r.length = static_cast<std::uint32_t>(Le(b, h + 32, 4));
            r.dataLength = static_cast<std::uint32_t>(Le(b, h + 36, 4));
            r.setup.assign(b.begin() + h + 40, b.begin() + h + 48);
            if (r.dataLength > b.size() - h - 64) {
                ADD_FAILURE() << "the data of the record at byte " << at << " runs past the file";
                break;
            }
            r.data.assign(b.begin() + h + 64, b.begin() + h + 64 + r.dataLength);
            EXPECT_EQ(r.captured, 64 + r.dataLength);
            out.push_back(r);
            at = h + r.captured;
        }
        return out;
    }
};

TEST_F(PcapTrace, EachTransferIsASubmissionAndACompletion) {
    board->answer = [](const SetupPacket& s, std::span<std::uint8_t> d) {
        if (s.bRequest == vr::MEM_CMD) return TransferResult{UsbError::Stall, 0, -9};
        if (s.In())
            for (std::size_t i = 0; i < d.size(); ++i) d[i] = static_cast<std::uint8_t>(i + 1);
        return TransferResult{UsbError::None, static_cast<std::uint32_t>(d.size()), 0};
    };
    const BoardHandle h = CurrentBoard();
    std::uint32_t lo, hi;
    ASSERT_TRUE(VR_REG_READ(h, 0x3FFF, RegWidth::Bits64, lo, hi));
    const std::uint8_t regex[] = {0xA5, 0x5A};
    ASSERT_TRUE(VR_REGEX_WRITE(h, 0x123, regex));
    EXPECT_FALSE(VR_MEM_CMD(h, kMemWriteBegin, 0));
    Device* dev = BoardLink::Instance().DeviceFor(h);
    std::vector<std::uint8_t> big(usbmon::kBulkCapture + 100, 0xAB);
    dev->BulkOut(kBulkOutEp, big);
    board->bulkResults = {{UsbError::None, 3, 0}};
    dev->BulkIn(kBulkInEp, big);

    const auto rs = Records();
    ASSERT_EQ(rs.size(), 10u);
    for (std::size_t i = 0; i < rs.size(); i += 2) {
        EXPECT_EQ(rs[i].type, 'S');
        EXPECT_EQ(rs[i + 1].type, 'C');
        EXPECT_EQ(rs[i].id, rs[i + 1].id);
        EXPECT_EQ(rs[i].status, -115);
        EXPECT_EQ(rs[i + 1].setupFlag, '-');
    }
    EXPECT_NE(rs[0].id, rs[2].id);
    // Register read: setup on submission, the 8 bytes on completion.
    EXPECT_EQ(rs[0].transferType, 2);
    EXPECT_EQ(rs[0].endpoint, 0x80);
    EXPECT_EQ(rs[0].setupFlag, 0);
    EXPECT_EQ(rs[0].setup, (std::vector<std::uint8_t>{0xC0, 0xB0, 0xFF, 0xFF, 0xC0, 0x3F, 8, 0}));
    EXPECT_EQ(rs[0].dataFlag, '<');
    EXPECT_EQ(rs[0].data.size(), 0u);
    EXPECT_EQ(rs[1].length, 8u);
    EXPECT_EQ(rs[1].data, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
    // Extended register write: the data stage goes with the submission.
    EXPECT_EQ(rs[2].endpoint, 0x00);
    EXPECT_EQ(rs[2].setup[1], vr::REGEX);
    EXPECT_EQ(rs[2].data, (std::vector<std::uint8_t>{0xA5, 0x5A}));
    EXPECT_EQ(rs[3].dataFlag, '>');
    // The stalled memory command.
    EXPECT_EQ(rs[5].status, -32);
    EXPECT_EQ(rs[5].length, 0u);
    // A bulk write is cut in its record but keeps its length.
    EXPECT_EQ(rs[6].transferType, 3);
    EXPECT_EQ(rs[6].endpoint, kBulkOutEp);
    EXPECT_EQ(rs[6].length, big.size());
    EXPECT_EQ(rs[6].data.size(), usbmon::kBulkCapture);
    EXPECT_EQ(rs[6].whole, 64 + big.size());
    EXPECT_EQ(rs[7].length, big.size());
    // A short bulk read: asked for the whole buffer, 3 bytes came.
    EXPECT_EQ(rs[8].endpoint, kBulkInEp);
    EXPECT_EQ(rs[8].length, big.size());
    EXPECT_EQ(rs[9].length, 3u);
    EXPECT_EQ(rs[9].data.size(), 3u);
}

// A capture opened again for appending (one board's own trace file) goes on
// after the records already there: one file header, every record readable.
TEST_F(PcapTrace, AnAppendedCaptureKeepsOneHeader) {
    std::uint32_t lo, hi;
    ASSERT_TRUE(VR_REG_READ(CurrentBoard(), 1, RegWidth::Bits32, lo, hi));
    trace->Flush();
    for (int i = 0; i < 2; ++i) {
        auto dev = MakeTraceDevice(std::make_unique<test::FakeDevice>(board), path);
        const std::uint8_t bytes[5] = {1, 2, 3, 4, 5};
        dev->BulkOut(kBulkOutEp, bytes);
    }
    const auto rs = Records();
    ASSERT_EQ(rs.size(), 6u);
    EXPECT_EQ(rs[0].transferType, 2);
    for (std::size_t i = 2; i < rs.size(); i += 2) {
        EXPECT_EQ(rs[i].type, 'S');
        EXPECT_EQ(rs[i].endpoint, kBulkOutEp);
        EXPECT_EQ(rs[i].data, (std::vector<std::uint8_t>{1, 2, 3, 4, 5}));
        EXPECT_EQ(rs[i + 1].type, 'C');
    }
}

}  // namespace
}  // namespace quillon::link
