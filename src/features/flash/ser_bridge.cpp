#include "features/flash/ser_bridge.h"

#include <cstdio>
#include <memory>
#include <new>

#include "features/busy_gate.h"
#include "features/config/fpga_load.h"
#include "features/flash/bridge_files.h"
#include "features/flash/flash_time.h"
#include "features/flash/par_flash.h"
#include "features/long_work.h"
#include "link/bulk.h"
#include "link/vendor_requests.h"
#include "platform/cause.h"
#include "platform/file_io.h"
#include "platform/ui_text.h"

namespace quillon::features {

namespace {

constexpr std::uint16_t kStartAddressReg = 0;
constexpr std::uint16_t kProgressReg = 8;
constexpr std::uint16_t kCommandReg = 16;
constexpr std::uint16_t kPhaseReg = 20;
constexpr std::uint8_t kHardwareError = 0xEE;

constexpr const char* kConfirm = QT_TRANSLATE_NOOP(
    "Lang",
    "SerBridgeを実行するとFPGAがSerBridge用のｺﾝﾌｨｸﾞﾃﾞｰﾀで書き換えられます。\n"
    "子基板等を接続している時には十分に注意して下さい。\n"
    "SPIﾒﾓﾘの全ﾃﾞｰﾀも一度全消去してから新しいﾃﾞｰﾀを書込みます。\n\n実行しても宜しいですか?");

// The texts are marked here and translated when shown.
struct Poll {
    std::uint8_t threshold;
    std::int64_t timeoutMs;
    bool progress;
    const char* readFailedBox;
    const char* timeoutLog;
    const char* timeoutBox;
};

constexpr Poll kErasePoll = {2,
                             250000,
                             false,
                             QT_TRANSLATE_NOOP("Lang", "ｲﾚｰｽ実行中のｽﾃｰﾀｽ取得に失敗しました。"),
                             QT_TRANSLATE_NOOP("Lang", "SerBridge:ｲﾚｰｽﾀｲﾑｱｳﾄ"),
                             QT_TRANSLATE_NOOP("Lang", "ｲﾚｰｽﾀｲﾑｱｳﾄです。")};
constexpr Poll kCheckPoll = {4,
                             120000,
                             false,
                             QT_TRANSLATE_NOOP("Lang", "ｲﾚｰｽﾁｪｯｸ中のｽﾃｰﾀｽ取得に失敗しました。"),
                             QT_TRANSLATE_NOOP("Lang", "SerBridge:ｲﾚｰｽﾁｪｯｸﾀｲﾑｱｳﾄ"),
                             QT_TRANSLATE_NOOP("Lang", "ｲﾚｰｽﾁｪｯｸﾀｲﾑｱｳﾄです。")};
constexpr Poll kWritePoll = {
    6,
    459000,
    true,
    QT_TRANSLATE_NOOP("Lang", "SSRAM→FLASHﾒﾓﾘﾗｲﾄ実行中のｽﾃｰﾀｽ取得に失敗しました。"),
    QT_TRANSLATE_NOOP("Lang", "SerBridge:SSRAM→FLASHﾒﾓﾘﾗｲﾄﾀｲﾑｱｳﾄ"),
    QT_TRANSLATE_NOOP("Lang", "SSRAM→FLASHﾒﾓﾘﾗｲﾄﾀｲﾑｱｳﾄです。")};
constexpr Poll kVerifyPoll = {
    7,
    459000,
    true,
    QT_TRANSLATE_NOOP("Lang", "SSRAM→ﾍﾞﾘﾌｧｲ実行中のｽﾃｰﾀｽ取得に失敗しました。"),
    QT_TRANSLATE_NOOP("Lang", "SerBridge:ﾍﾞﾘﾌｧｲﾀｲﾑｱｳﾄ"),
    QT_TRANSLATE_NOOP("Lang", "ﾍﾞﾘﾌｧｲﾀｲﾑｱｳﾄです。")};

enum class PollEnd { Done, Failed, Cancelled };

class Run {
  public:
    Run(link::BoardHandle h, SerBridgeView& view, Reporter& r) : h_(h), view_(view), r_(r) {}

    bool Execute(int targetIndex, const std::string& dataPath);

  private:
    // The end of every failed step: result, the step's log line, its box,
    // Execute back. Progress, percentage and phase keep their values. The
    // texts come translated; an empty one is not shown.
    bool Fail(const std::string& log, const std::string& box, const std::string& secondBox = {}) {
        view_.SetResult(RunResult::Failed);
        if (!log.empty()) r_.Fail(log);
        r_.FailBox(box, MsgIcon::Warning);
        if (!secondBox.empty()) r_.Message(secondBox, MsgIcon::Warning);
        view_.SetExecuteEnabled(true);
        return false;
    }
    bool Cancelled() {
        view_.SetResult(RunResult::Dash);
        view_.SetElapsed(std::nullopt);
        view_.SetPhase("");
        r_.Log("SerBridge:User Abort!!");
        r_.Message(Lang::Tr("SerBridgeの実行をｷｬﾝｾﾙしました。"), MsgIcon::Warning);
        view_.SetExecuteEnabled(true);
        return false;
    }
    void Elapsed() { view_.SetElapsed((Time().NowMs() - startMs_) / 1000); }
    bool Command(std::uint32_t value) {
        return link::VR_REG_WRITE(h_, kCommandReg, link::RegWidth::Bits32, value, 0);
    }
    PollEnd SerFlashPoll(const Poll& p, const char* phase);
    bool Transfer(platform::InputFile& f);

    link::BoardHandle h_;
    SerBridgeView& view_;
    Reporter& r_;
    std::int64_t startMs_ = 0;
};

PollEnd Run::SerFlashPoll(const Poll& p, const char* phase) {
    const std::int64_t deadline = Time().NowMs() + p.timeoutMs;
    for (;;) {
        if (Time().NowMs() >= deadline) {
            Fail(Lang::MarkedStd(p.timeoutLog), Lang::MarkedStd(p.timeoutBox));
            return PollEnd::Failed;
        }
        std::uint32_t value = 0, high = 0;
        if (!link::VR_REG_READ(h_, kPhaseReg, link::RegWidth::Bits32, value, high)) {
            Fail(Lang::Tr("SerBridge:ｽﾃｰﾀｽ取得失敗"), Lang::MarkedStd(p.readFailedBox));
            return PollEnd::Failed;
        }
        const std::uint8_t phaseValue = value & 0xFF;
        // A hardware error is never taken for a finished phase.
        if (phaseValue == kHardwareError) {
            Fail("SerBridge:Hardware ERROR!!", "Hardware ERROR!!");
            return PollEnd::Failed;
        }
        if (phaseValue >= p.threshold) return PollEnd::Done;
        // The page's Cansel or the busy window's ｷｬﾝｾﾙ.
        if (SerFlashCancelRequested().load() || CancelRequested()) {
            // Nothing goes to the board: the soft CPU carries on where it is.
            Cancelled();
            return PollEnd::Cancelled;
        }
        if (p.progress) {
            std::uint32_t progress = 0;
            if (!link::VR_REG_READ(h_, kProgressReg, link::RegWidth::Bits16, progress, high)) {
                Fail(Lang::Tr("SerBridge:ｽﾃｰﾀｽ取得失敗"), Lang::MarkedStd(p.readFailedBox));
                return PollEnd::Failed;
            }
            view_.SetProgress(static_cast<int>(progress * 100 / 65535));
        }
        view_.SetPhase(phase);
        Elapsed();
        r_.Pump();
    }
}

// Steps 11 to 14: the data file (opened at step 6; only a regular file, a
// FIFO or a device would block or never end) into the 16 MiB image and the
// image into the SSRAM.
bool Run::Transfer(platform::InputFile& f) {
    view_.SetProgress(80);
    view_.SetPhase(Lang::Tr("ﾃﾞｰﾀﾌｧｲﾙ転送中"));
    r_.Log(Lang::Tr("SerBridge:ﾃﾞｰﾀﾌｧｲﾙ転送中"));
    std::string line;
    std::uint64_t take = f.size();
    if (take <= kSerBridgeImageBytes) {
        line = Lang::Fill(
            QT_TRANSLATE_NOOP("Lang", "SerBridge:ﾃﾞｰﾀﾌｧｲﾙの全ﾃﾞｰﾀ(%1ﾊﾞｲﾄ)の書込みを行います。"),
            take);
    } else {
        take = kSerBridgeImageBytes;
        line = Lang::Fill(
            QT_TRANSLATE_NOOP("Lang", "SerBridge:ﾃﾞｰﾀﾌｧｲﾙの先頭から%1ﾊﾞｲﾄの書込みを行います。"),
            kSerBridgeImageBytes);
    }
    r_.Status(line);
    r_.Log(line);

    view_.SetPhase(Lang::Tr("GPIFﾒﾓﾘｽﾀｰﾄｱﾄﾞﾚｽの設定"));
    if (!link::VR_REG_WRITE(h_, kStartAddressReg, link::RegWidth::Bits32, kSerBridgeSsram, 0))
        return Fail(Lang::Tr("SerBridge:GPIFﾒﾓﾘｽﾀｰﾄｱﾄﾞﾚｽの設定"),
                    Lang::Tr("GPIFﾒﾓﾘｽﾀｰﾄｱﾄﾞﾚｽの設定に失敗しました。"));

    // The whole image always goes: FFh wherever the file does not reach.
    std::unique_ptr<std::uint8_t[]> image(new (std::nothrow) std::uint8_t[kSerBridgeImageBytes]);
    if (!image) return Fail(Lang::Tr("SerBridge:ﾒﾓﾘ転送失敗"), Lang::Tr("ﾒﾓﾘ転送に失敗しました。"));
    std::fill_n(image.get(), kSerBridgeImageBytes, 0xFF);
    const bool readError = !f.Read(image.get(), static_cast<std::size_t>(take));
    f.Close();
    if (readError)
        return Fail(Lang::Tr("SerBridge:ﾃﾞｰﾀﾌｧｲﾙｵｰﾌﾟﾝｴﾗｰ"), Lang::Tr("ﾃﾞｰﾀﾌｧｲﾙｵｰﾌﾟﾝｴﾗｰ"));
    if (!link::BulkWrite(h_, false, 0, kSerBridgeImageBytes, image.get())) {
        // A cancel ends the transfer with its end command; the flash was
        // erased and stays so.
        if (CancelRequested()) return Cancelled();
        return Fail(Lang::Tr("SerBridge:ﾒﾓﾘ転送失敗"), Lang::Tr("ﾒﾓﾘ転送に失敗しました。"));
    }
    return true;
}

bool Run::Execute(int targetIndex, const std::string& dataPath) {
    // No run while another long operation has the board.
    ClearCause();  // a new action
    const BusyGate::Hold hold = TakeOrRefuse("SerBridge", r_);
    if (!hold) return false;
    // 1.
    if (r_.Message(Lang::MarkedStd(kConfirm), MsgIcon::Warning, MsgButtons::YesNo) !=
        MsgAnswer::Yes)
        return false;
    // 2.
    const BusyBanner banner(r_, "Processing for SerBridge ...");
    view_.SetExecuteEnabled(false);
    view_.SetResult(RunResult::Executing);
    view_.SetElapsed(std::nullopt);
    view_.SetProgress(0);
    SerFlashCancelRequested().store(false);
    view_.SetProgress(5);
    startMs_ = Time().NowMs();
    view_.ShowLog();
    r_.Pump();
    view_.SetPhase(Lang::Tr("ﾃﾞﾊﾞｲｽ選択処理"));
    // 3.
    if (targetIndex < 0 || targetIndex > 2)
        return Fail({}, Lang::Tr("このﾃﾞﾊﾞｲｽはｻﾎﾟｰﾄされておりません。"));
    // 4.
    view_.SetProgress(10);
    view_.SetPhase(Lang::Tr("ｺﾝﾌｨｸﾞﾚｰｼｮﾝﾌｧｲﾙ確認"));
    const BridgeFile design = FindBridgeFile(kSerBridgeDesigns[targetIndex]);
    if (!design.found) {
        return Fail("SerBridge:" + design.path,
                    Lang::Tr("SerBridge用ｺﾝﾌｨｸﾞﾚｰｼｮﾝﾌｧｲﾙが存在しません。\n"
                             "ﾀｰｹﾞｯﾄﾃﾞﾊﾞｲｽの選択を確認してください。"));
    }
    // 5.
    view_.SetProgress(15);
    view_.SetPhase(Lang::Tr("USBｺﾝﾌｨｸﾞﾚｰｼｮﾝ実行"));
    if (!FpgaConfigure(h_, design.path, false, false, false, r_)) {
        return Fail(
            Lang::Tr("SerBridge:USBｺﾝﾌｨｸﾞﾚｰｼｮﾝ失敗."),
            Lang::Tr("ﾎﾞｰﾄﾞにSerBridge用の制御ﾌﾟﾛｸﾞﾗﾑを転送できませんでした。\n"
                     "ﾀｰｹﾞｯﾄﾃﾞﾊﾞｲｽの選択を確認してください。"),
            targetIndex == 0
                ? Lang::Tr(
                      "DIPSW1-BIT3のUSBｺﾝﾌｨｸﾞﾚｰｼｮﾝﾓｰﾄﾞを確認下さい。\n"
                      "ﾉｰﾏﾙﾓｰﾄﾞ(OFF)になっている場合には圧縮ﾓｰﾄﾞ(ON)に設定し再度実行してください。")
                : std::string());
    }
    r_.Log(Lang::Tr("SerBridge:USBｺﾝﾌｨｸﾞﾚｰｼｮﾝ成功"));
    // 6.
    view_.SetProgress(20);
    Elapsed();
    r_.Pump();
    view_.SetPhase(Lang::Tr("ﾃﾞｰﾀﾌｧｲﾙ確認"));
    // Opened here, once: the transfer after the erase reads what was checked.
    platform::InputFile data;
    if (data.Open(dataPath) != platform::InputFile::Status::Ok) {
        return Fail(
            "SerBridge:" + dataPath,
            Lang::Tr("ﾃﾞｰﾀﾌｧｲﾙﾌｧｲﾙが存在しません。\nﾃﾞｰﾀﾌｧｲﾙのﾌｧｲﾙ名/ﾊﾟｽを確認してください。"));
    }
    // 7. The soft CPU needs a moment to start its program.
    view_.SetProgress(25);
    r_.Pump();
    view_.SetPhase(Lang::Tr("Nios2起動待機"));
    Time().SleepMs(1000);
    // 8.
    view_.SetProgress(30);
    r_.Pump();
    view_.SetPhase(Lang::Tr("ｲﾚｰｽｺﾏﾝﾄﾞ発行"));
    if (!Command(1))
        return Fail(Lang::Tr("SerBridge:ｲﾚｰｽｺﾏﾝﾄﾞ発行失敗"),
                    Lang::Tr("ｲﾚｰｽｺﾏﾝﾄﾞの発行に失敗しました。"));
    r_.Log(Lang::Tr("SerBridge:ｲﾚｰｽｺﾏﾝﾄﾞ発行"));
    Time().SleepMs(100);
    // 9.
    view_.SetProgress(35);
    r_.Pump();
    Elapsed();
    r_.Pump();
    view_.SetPhase("Erasing ... MAX250sec");
    r_.Log("SerBridge:Erasing ...");
    if (SerFlashPoll(kErasePoll, "Erasing ... MAX250sec") != PollEnd::Done) return false;
    // 10.
    view_.SetProgress(60);
    view_.SetPhase("ERASE Checking ...");
    r_.Log("SerBridge:ERASE Checking ...");
    if (SerFlashPoll(kCheckPoll, "ERASE Checking ...") != PollEnd::Done) return false;
    // 11-14.
    if (!Transfer(data)) return false;
    // 15.
    view_.SetProgress(100);
    Elapsed();
    r_.Pump();
    view_.SetPhase(Lang::Tr("SSRAM→FLASHﾒﾓﾘﾗｲﾄ実行ｺﾏﾝﾄﾞ発行"));
    if (!Command(2)) {
        return Fail(Lang::Tr("SerBridge:SSRAM→FLASHﾒﾓﾘﾗｲﾄ実行ｺﾏﾝﾄﾞ発行失敗"),
                    Lang::Tr("SSRAM→FLASHﾒﾓﾘﾗｲﾄ実行ｺﾏﾝﾄﾞの発行に失敗しました。"));
    }
    Time().SleepMs(100);
    // 16.
    view_.SetProgress(0);
    Elapsed();
    r_.Pump();
    view_.SetPhase("Writing ... MAX460sec");
    r_.Log("SerBridge:M25P128 Writing ... MAX460sec");
    if (SerFlashPoll(kWritePoll, "Writing ... MAX460sec") != PollEnd::Done) return false;
    // 17.
    view_.SetPhase("Verifying ...");
    r_.Log("SerBridge:Verifying ...");
    if (SerFlashPoll(kVerifyPoll, "Verifying ...") != PollEnd::Done) return false;
    // 18.
    view_.SetProgress(100);
    r_.Log(Lang::Tr("SerBridge:正常終了"));
    view_.SetResult(RunResult::Successful);
    view_.SetPhase("");
    view_.SetExecuteEnabled(true);
    r_.Pump();
    return true;
}

}  // namespace

std::atomic<bool>& SerFlashCancelRequested() {
    static std::atomic<bool> flag{false};
    return flag;
}

bool SerBridgeExecute(link::BoardHandle h, int targetIndex, const std::string& dataPath,
                      SerBridgeView& view, Reporter& r) {
    return Run(h, view, r).Execute(targetIndex, dataPath);
}

}  // namespace quillon::features
