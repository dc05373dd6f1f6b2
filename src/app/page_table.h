#pragma once
// The 19 pages of the main window, in tab order. Each feature page is one unit
// that the table below builds; a page without a factory is an empty frame.

#include "app/page.h"

namespace quillon::app {

inline constexpr int kPageCount = 19;

// Page numbers the frame and the cooperating pages refer to.
inline constexpr int kRegisterPage = 1;
inline constexpr int kMemoryPage = 2;
inline constexpr int kConfigPage = 3;
inline constexpr int kTclPage = 6;
inline constexpr int kNorBridge2Page = 13;

using PageFactory = Page* (*)(PageContext&);

struct PageInfo {
    int number;                 // 1..19
    const char* caption;        // the tab caption
    const char* visibilityKey;  // SETUP key deciding whether the tab is shown; nullptr = always
    bool visibleByDefault;      // the key's default
};

// number 1..19; anything else gives the entry of page 1.
const PageInfo& PageInfoOf(int number);
// The factory of page `number`, nullptr when the page is still an empty frame.
PageFactory PageFactoryOf(int number);
// The manual's section on page `number` ("registers.html#register"): its file
// in the manual's folder and the anchor of the page's heading. F1 opens it.
const char* ManualSectionOf(int number);

}  // namespace quillon::app
