#include "features/flash/nor_bridge.h"

#include <cstdio>
#include <vector>

#include "features/busy_gate.h"
#include "features/config/fpga_load.h"
#include "features/flash/bridge_files.h"
#include "features/flash/flash_time.h"
#include "features/long_work.h"
#include "platform/cause.h"
#include "platform/ui_text.h"

namespace quillon::features {

namespace {

constexpr const char* kConfirm = QT_TRANSLATE_NOOP(
    "Lang",
    "NorBridge2の処理を実行するとFPGAはNorBridge2用のｺﾝﾌｨｸﾞﾃﾞｰﾀで書き換えられます。\n"
    "子基板等を接続している時には注意して下さい。\n\n実行しても宜しいですか?");

std::string Format(const char* format, auto... values) {
    char buf[200];
    std::snprintf(buf, sizeof buf, format, values...);
    return buf;
}

bool Confirmed(Reporter& r) {
    return r.Message(Lang::MarkedStd(kConfirm), MsgIcon::Warning, MsgButtons::YesNo) ==
           MsgAnswer::Yes;
}

// Controls back and the page guard down whichever way a run ends.
class RunScope {
  public:
    RunScope(NorBridgeView& view, bool guard) : view_(view), guard_(guard) {
        view_.SetControlsEnabled(false);
        if (guard_) view_.SetRunning(true);
    }
    ~RunScope() {
        if (guard_) view_.SetRunning(false);
        view_.SetControlsEnabled(true);
    }
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;

  private:
    NorBridgeView& view_;
    bool guard_;
};

}  // namespace

bool ParFlashPrepare(link::BoardHandle h, int targetIndex, FlashGeometry& geometry, Reporter& r) {
    if (targetIndex < 0 || targetIndex > 1) {
        r.Message(Lang::Tr("このﾃﾞﾊﾞｲｽはｻﾎﾟｰﾄされておりません。"), MsgIcon::Warning);
        return false;
    }
    const BridgeFile design = FindBridgeFile(kNorBridgeDesigns[targetIndex]);
    if (!design.found) {
        r.Log("NorBrige2:" + design.path);
        r.Log(
            Lang::Tr("NorBrige2:NorBridge2用ｺﾝﾌｨｸﾞﾚｰｼｮﾝﾌｧｲﾙが存在しません。"
                     "ﾀｰｹﾞｯﾄﾃﾞﾊﾞｲｽの選択を確認してください。"));
        r.Log(Lang::Tr("NorBrige2:ﾀｰｹﾞｯﾄﾃﾞﾊﾞｲｽの選択を確認してください。"));
        r.Message(Lang::Tr("NorBridge2用ｺﾝﾌｨｸﾞﾚｰｼｮﾝﾌｧｲﾙが存在しません。\n"
                           "ﾀｰｹﾞｯﾄﾃﾞﾊﾞｲｽの選択を確認してください。"),
                  MsgIcon::Warning);
        return false;
    }
    if (!FpgaConfigure(h, design.path, false, false, false, r)) {
        r.Fail(Lang::Tr("NorBrige2:USBｺﾝﾌｨｸﾞﾚｰｼｮﾝ失敗."));
        r.FailBox(
            Lang::Tr("USBｺﾝﾌｨｸﾞﾚｰｼｮﾝに失敗しました。\nﾀｰｹﾞｯﾄﾃﾞﾊﾞｲｽの選択を確認してください。"),
            MsgIcon::Warning);
        return false;
    }
    if (!ParFlashBusWrite(h, 0, 0xF0F0)) {
        r.FailBox(Lang::Tr("ﾘｾｯﾄｺﾏﾝﾄﾞの発行に失敗しました。"), MsgIcon::Warning);
        return false;
    }
    // The first query after the bridge comes up is not trusted: read twice,
    // the second decides.
    std::vector<std::uint8_t> buffer(kCfiBufferBytes, 0);
    (void)ParFlashReadCfi(h, buffer);
    if (!ParFlashReadCfi(h, buffer)) {
        r.FailBox(Lang::Tr("CFIｸｴﾘの読込みに失敗しました。"), MsgIcon::Warning);
        return false;
    }
    if (!ParFlashDecodeCfi(buffer, geometry, r)) {
        r.Message(Lang::Tr("CFIｸｴﾘが正常にﾘｰﾄﾞ出来ませんでした。"), MsgIcon::Warning);
        return false;
    }
    return true;
}

bool NorBridge2ReadCfi(link::BoardHandle h, int targetIndex, NorBridgeView& view, Reporter& r) {
    ClearCause();  // a new action
    const BusyGate::Hold hold = TakeOrRefuse("Read CFI", r);
    if (!hold || !Confirmed(r)) return false;
    const BusyBanner banner(r, "Processing for Read CFI ...");
    view.ShowLog();
    RunScope scope(view, false);
    view.SetResult(RunResult::Dash);
    view.SetTime(std::nullopt);
    FlashGeometry geometry;
    const bool ok = ParFlashPrepare(h, targetIndex, geometry, r);
    view.SetResult(ok ? RunResult::Successful : RunResult::Failed);
    return ok;
}

bool NorBridge2Execute(link::BoardHandle h, int targetIndex, const std::string& dataPath,
                       bool dump, NorBridgeView& view, Reporter& r) {
    // 1. No run while another long operation has the board.
    ClearCause();  // a new action
    const BusyGate::Hold hold = TakeOrRefuse("NorBridge2", r);
    if (!hold || !Confirmed(r)) return false;
    // 2.
    const BusyBanner banner(r, "Processing for NorBridge2 ...");
    const std::int64_t startMs = Time().NowMs() / 1000 * 1000;
    view.ShowLog();
    RunScope scope(view, true);
    view.SetResult(RunResult::Executing);
    view.SetTime(std::nullopt);
    // `box` is marked where written and translated here.
    const auto fail = [&view, &r](const char* box) {
        view.SetResult(RunResult::Failed);
        if (box) r.FailBox(Lang::MarkedStd(box), MsgIcon::Warning);
        return false;
    };
    // A stop between blocks or chunks: what is erased or written stays so,
    // and the flash holds neither the old data nor the new.
    const auto cancelled = [&view, &r](const char* line) {
        view.SetResult(RunResult::Failed);
        view.ReplaceLastLine(line);
        r.Log(Lang::MarkedStd(kUserCancel));
        r.Status(Lang::MarkedStd(kUserCancel));
        return false;
    };
    // A data file that cannot be read is refused before the flash is
    // touched: erasing first would lose the flash's contents for nothing.
    // Opened here, once: the write and the verify read what was checked.
    platform::InputFile data;
    if (data.Open(dataPath) != platform::InputFile::Status::Ok)
        return fail(QT_TRANSLATE_NOOP("Lang", "ﾃﾞｰﾀﾌｧｲﾙがｵｰﾌﾟﾝ出来ませんでした。"));
    // 3.
    FlashGeometry g;
    if (!ParFlashPrepare(h, targetIndex, g, r)) return fail(nullptr);
    // 4.
    r.Log("//////// FLASH ERASE\t////////");
    r.Log(Lang::Tr("Flashﾒﾓﾘ全ﾌﾞﾛｯｸのｲﾚｰｽを行います。"));
    r.Log("FLASH Memory Block Erasing ..... ");
    if (!ParFlashEraseAll(h, g, startMs, view, r)) {
        if (CancelRequested()) return cancelled("FLASH Memory Block Erasing ..... CANCELLED!!");
        view.SetResult(RunResult::Failed);
        view.ReplaceLastLine("FLASH Memory Block Erasing ..... FAILED!!");
        return fail(QT_TRANSLATE_NOOP("Lang", "FLASHﾒﾓﾘのｲﾚｰｽに失敗しました。"));
    }
    view.ReplaceLastLine("FLASH Memory Block Erasing ..... DONE!!");
    // 5-6.
    r.Log("//////// FLASH WRITE\t////////");
    const std::uint64_t size = data.size();
    const bool partial = g.totalBytes < size;
    if (partial)
        r.Log(
            Lang::Fill(QT_TRANSLATE_NOOP("Lang", "ﾃﾞｰﾀﾌｧｲﾙの先頭から%1ﾊﾞｲﾄ分の書込みを行います。"),
                       g.totalBytes));
    else
        r.Log(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "ﾃﾞｰﾀﾌｧｲﾙの全ﾃﾞｰﾀ(%1ﾊﾞｲﾄ)の書込みを行います。"),
                         static_cast<unsigned long long>(size)));
    if (size % 2 != 0)
        r.Log(Lang::Tr("ﾃﾞｰﾀﾌｧｲﾙが奇数ﾊﾞｲﾄです。最終ﾃﾞｰﾀの上位ﾊﾞｲﾄはFFhでﾗｲﾄされます。"));
    r.Log(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "ﾃﾞｰﾀﾌｧｲﾙ ： %1"), dataPath));
    r.Log("FLASH Memory Writing .....");
    // 7.
    if (!ParFlashWriteImage(h, g, startMs, data, view, r)) {
        if (CancelRequested()) return cancelled("FLASH Memory Writing ..... CANCELLED!!");
        view.SetResult(RunResult::Failed);
        view.ReplaceLastLine("FLASH Memory Writing ..... FAILED!!");
        return fail(QT_TRANSLATE_NOOP("Lang", "FLASHﾗｲﾄに失敗しました。"));
    }
    view.ReplaceLastLine("FLASH Memory Writing ..... DONE!!");
    // 8.
    r.Log("//////// FLASH VERIFY\t////////");
    if (partial)
        r.Log(Lang::Fill(QT_TRANSLATE_NOOP("Lang", "ﾃﾞｰﾀﾌｧｲﾙの先頭から%1ﾊﾞｲﾄ分の比較を行います。"),
                         g.totalBytes));
    else
        r.Log(Lang::Fill(
            QT_TRANSLATE_NOOP("Lang",
                              "ﾃﾞｰﾀﾌｧｲﾙの全ﾃﾞｰﾀとFLASHﾒﾓﾘの先頭から%1ﾊﾞｲﾄ分の比較を行います。"),
            static_cast<unsigned long long>(size)));
    r.Log("FLASH Memory Verifying .....");
    r.Pump();
    // 9.
    std::optional<VerifyMismatch> mismatch;
    if (!ParFlashVerify(h, g, data, dump, r, &mismatch)) {
        if (CancelRequested()) return cancelled("FLASH Memory Verifying ..... CANCELLED!!");
        view.SetResult(RunResult::Failed);
        view.ReplaceLastLine("FLASH Memory Verifying ..... FAILED!!");
        if (mismatch) {
            r.Log(Lang::Fill(
                QT_TRANSLATE_NOOP("Lang", "ﾍﾞﾘﾌｧｲｴﾗｰ ： ｱﾄﾞﾚｽ %1h ﾃﾞｰﾀﾌｧｲﾙ %2h FLASH %3h"),
                Format("%08X", mismatch->address), Format("%02X", mismatch->expected),
                Format("%02X", mismatch->read)));
        }
        return fail(QT_TRANSLATE_NOOP("Lang", "FLASHﾒﾓﾘﾍﾞﾘﾌｧｲｴﾗｰです。"));
    }
    view.ReplaceLastLine("FLASH Memory Verifying .... DONE!!");
    view.Text(Lang::Tr("VERIFY ： 100%"));
    view.ProgressToMaximum();
    view.SetResult(RunResult::Successful);
    view.SetTime(startMs);
    return true;
}

}  // namespace quillon::features
