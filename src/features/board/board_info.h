#pragma once
// Board information: what the firmware reports about itself (firmware version,
// product ID, USB controller revision, connection speed), with the product
// name looked up from the product ID.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "features/reporter.h"
#include "link/board_link.h"

namespace quillon::features {

// The product name of a product ID, "該当なし" for an ID the table lacks.
std::string ProductName(std::uint16_t productId);
// The label text of a connection speed code: "Full Speed Mode." (0),
// "HIGH Speed Mode." (1 and 0x80), "Super Speed Mode." (2), otherwise
// "Unknown Speed Mode.".
std::string SpeedText(std::uint16_t code);

// The new texts of the page's value labels; a label without one keeps its text.
struct BoardInfoLabels {
    std::optional<std::string> firmwareVersion;  // "0210h"
    std::optional<std::string> productId;        // "8003h"
    std::optional<std::string> chipRevision;     // "04h"
    std::optional<std::string> productName;
    std::optional<std::string> speed;
    bool ok = false;  // every item was read
};

// The page's value labels, in the order the update fills them.
enum class BoardInfoItem { FirmwareVersion, ProductId, ProductName, ChipRevision, Speed };
// Told each label's new text as soon as its answer is in, before its log line,
// on the thread that runs the update.
using BoardInfoShow = std::function<void(BoardInfoItem, const std::string& text)>;

// Reads the four items in order (firmware version, product ID, chip revision,
// speed), logging each value. The first item that cannot be read ends the
// update with one log line and one warning naming it; the labels of the items
// read before it are still returned (and were shown). Success ends with the
// status text "ﾎﾞｰﾄﾞ情報取得に成功しました。".
BoardInfoLabels BoardInfoUpdate(link::BoardHandle h, Reporter& reporter = DefaultReporter(),
                                const BoardInfoShow& show = {});

}  // namespace quillon::features
