#include "app/page_table.h"

// Feature pages: include the page's header here and add its one line to
// PageFactoryOf below. Nothing else in the frame changes for a new page.
//   #include "app/pages/register_page.h"
#include "app/pages/tcl_page.h"
#include "app/pages/gpif_page.h"
#include "app/pages/reg512_page.h"
#include "app/pages/regex_page.h"
#include "app/pages/register_page.h"
#include "app/pages/config_page.h"
#include "app/pages/nor_bridge_page.h"
#include "app/pages/ser_bridge_page.h"
#include "app/pages/spi_page.h"
#include "app/pages/memory_page.h"
#include "app/pages/rate_page.h"
#include "app/pages/board_info_page.h"
#include "app/pages/i2c_page.h"
#include "app/pages/suspend_page.h"
#include "app/pages/temp_page.h"
#include "app/pages/gpio_page.h"
#include "app/pages/dac_page.h"
#include "app/pages/i2c2_page.h"
#include "app/pages/gpif2_master_page.h"

#include "platform/ui_text.h"

namespace quillon::app {

namespace {

const PageInfo kPages[kPageCount] = {
    {1, QT_TRANSLATE_NOOP("Lang", "ﾚｼﾞｽﾀ操作"), nullptr, true},
    {2, QT_TRANSLATE_NOOP("Lang", "ﾒﾓﾘ操作"), nullptr, true},
    {3, QT_TRANSLATE_NOOP("Lang", "USBｺﾝﾌｨｸﾞ"), "USBCONFIG", true},
    {4, QT_TRANSLATE_NOOP("Lang", "ﾎﾞｰﾄﾞ情報"), nullptr, true},
    {5, QT_TRANSLATE_NOOP("Lang", "I2C操作"), "I2CCont", false},
    {6, QT_TRANSLATE_NOOP("Lang", "TCLｽｸﾘﾌﾟﾄ"), nullptr, true},
    {7, QT_TRANSLATE_NOOP("Lang", "転送ﾚｰﾄ測定"), nullptr, true},
    {8, QT_TRANSLATE_NOOP("Lang", "SPI操作"), "SPICont", false},
    {9, "SerBridge", "SerBridge", false},
    {10, QT_TRANSLATE_NOOP("Lang", "SUSPEND操作"), "SUSPEND", false},
    {11, QT_TRANSLATE_NOOP("Lang", "温度ﾓﾆﾀ"), "TEMPMoni", false},
    {12, "GPIO", "GPIO", false},
    {13, "NorBridge2", "NorBridge2", false},
    {14, QT_TRANSLATE_NOOP("Lang", "GPIF設定"), "GPIF_CONFIG", false},
    {15, QT_TRANSLATE_NOOP("Lang", "拡張ﾚｼﾞｽﾀ"), "REGEX", false},
    {16, QT_TRANSLATE_NOOP("Lang", "ﾚｼﾞｽﾀ操作(512)"), "REG512", false},
    {17, "MCP4725", "MCP4725", false},
    {18, QT_TRANSLATE_NOOP("Lang", "I2C操作2"), "I2CCont3", false},
    {19, "GPIF2_Master", nullptr, true},
};

}  // namespace

const PageInfo& PageInfoOf(int number) {
    if (number < 1 || number > kPageCount) number = 1;
    return kPages[number - 1];
}

PageFactory PageFactoryOf(int number) {
    switch (number) {
        // One line per feature page, e.g.
        //   case 1: return &MakeRegisterPage;
        case 6: return &MakeTclPage;
        case 1: return &MakeRegisterPage;
        case 2: return &MakeMemoryPage;
        case 3: return &MakeConfigPage;
        case 7: return &MakeRatePage;
        case 14: return &MakeGpifPage;
        case 15: return &MakeRegExPage;
        case 16: return &MakeReg512Page;
        case 8: return &MakeSpiPage;
        case 9: return &MakeSerBridgePage;
        case 13: return &MakeNorBridgePage;
        case 4: return &MakeBoardInfoPage;
        case 5: return &MakeI2cPage;
        case 10: return &MakeSuspendPage;
        case 11: return &MakeTempPage;
        case 12: return &MakeGpioPage;
        case 17: return &MakeDacPage;
        case 18: return &MakeI2c2Page;
        case 19: return &MakeGpif2MasterPage;
        default: return nullptr;
    }
}

const char* ManualSectionOf(int number) {
    static const char* const kSections[kPageCount] = {
        "registers.html#register",
        "memory.html#memory",
        "configuration.html#config",
        "board-services.html#board-info",
        "board-services.html#i2c",
        "scripting.html#tcl-page",
        "memory.html#rate",
        "flash.html#spi",
        "flash.html#serbridge",
        "board-services.html#suspend",
        "board-services.html#temperature",
        "board-services.html#gpio",
        "flash.html#norbridge2",
        "registers.html#gpif",
        "registers.html#regex",
        "registers.html#reg512",
        "board-services.html#dac",
        "board-services.html#i2c2",
        "board-services.html#gpif2-master",
    };
    if (number < 1 || number > kPageCount) return "index.html";
    return kSections[number - 1];
}

}  // namespace quillon::app
