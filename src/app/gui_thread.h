#pragma once
// The GUI thread and the worker of a long operation. Widgets belong to the GUI
// thread: a call that comes from the worker (a log line, a status text, a
// box, a progress value) is handed over to it.

#include <functional>

namespace quillon::app {

// True on the thread the application runs its windows on (and before any
// application exists).
bool OnGuiThread();

// Runs `f` on the GUI thread and returns when it has run: at once on the GUI
// thread, else through its event loop, which keeps every earlier call of this
// thread in order before it. The GUI thread must never wait for the worker
// without serving events (the long-work loop never does).
void GuiCall(const std::function<void()>& f);

// Queues `f` to the GUI thread without waiting (at once when already there).
void GuiPost(std::function<void()> f);

}  // namespace quillon::app
