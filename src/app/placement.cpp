#include "app/placement.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <optional>

namespace quillon::app {

namespace {

// `r` made no smaller than `least` and no larger than `into`, then moved the
// least it takes to lie inside `into`.
QRect Fit(const QRect& r, const QSize& least, const QRect& into) {
    const int w = std::clamp(r.width(), std::min(least.width(), into.width()), into.width());
    const int h = std::clamp(r.height(), std::min(least.height(), into.height()), into.height());
    const int x = std::clamp(r.left(), into.left(), into.left() + into.width() - w);
    const int y = std::clamp(r.top(), into.top(), into.top() + into.height() - h);
    return QRect(x, y, w, h);
}

long long AreaOf(const QRect& r) {
    return r.isEmpty() ? 0 : static_cast<long long>(r.width()) * r.height();
}

bool IsFramed(const QWidget* w) {
    return w->frameGeometry() != w->geometry();
}

QMargins MarginsOf(const QWidget* w) {
    const QRect f = w->frameGeometry();
    const QRect g = w->geometry();
    return {g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom()};
}

// The shown main window other than `w`.
const QMainWindow* MainWindowBeside(const QWidget* w) {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* main = qobject_cast<const QMainWindow*>(top);
        if (main && main != w && main->isVisible()) return main;
    }
    return nullptr;
}

// A window's outer rectangle: pos() is where its frame starts, framed or not yet.
QRect OuterOf(const QWidget* w) {
    return QRect(w->pos(), w->size().grownBy(FrameMargins(w)));
}

QScreen* ScreenFor(const QWidget* w, const QRect& wanted, const QMainWindow* main) {
    if (QScreen* s = QGuiApplication::screenAt(wanted.center())) return s;
    if (main && main->screen()) return main->screen();
    if (w && w->screen()) return w->screen();
    return QGuiApplication::primaryScreen();
}

// Keeps every dialog in view once it has been shown: by then Qt has given it
// its size and put it over its parent.
class DialogPlacement : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto* w = static_cast<QWidget*>(watched);
            if (w->isWindow() && qobject_cast<QDialog*>(w)) {
                QTimer::singleShot(0, w, [w] {
                    if (w->isVisible()) PlaceInView(w, OuterOf(w));
                });
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

namespace {

// The place nearest to `fitted` that is off the menu band (and, with
// `clearOfMain`, off the main window) and covers the least of the main
// window, keeping as much of its size as it can; nothing when no room holds
// `least`.
std::optional<QRect> Search(const QRect& fitted, const QSize& least, const Surroundings& around,
                            bool clearOfMain) {
    const auto blocked = [&](const QRect& r) {
        return r.intersects(around.menuBand) || (clearOfMain && r.intersects(around.main));
    };
    if (!blocked(fitted)) return fitted;
    // Under the menu band (over the main window's pages), and the free strips
    // on the four sides of the main window.
    const QRect& area = around.area;
    const QRect& m = around.main;
    const QRect regions[] = {
        QRect(QPoint(area.left(), around.menuBand.bottom() + 1), area.bottomRight()),
        QRect(area.topLeft(), QPoint(m.left() - 1, area.bottom())),
        QRect(QPoint(m.right() + 1, area.top()), area.bottomRight()),
        QRect(area.topLeft(), QPoint(area.right(), m.top() - 1)),
        QRect(QPoint(area.left(), m.bottom() + 1), area.bottomRight()),
    };
    std::optional<QRect> best;
    long long bestCover = 0, bestSize = 0, bestDistance = 0;
    for (const QRect& region : regions) {
        const QRect room = region & area;
        if (room.width() < least.width() || room.height() < least.height()) continue;
        const QRect c = Fit(fitted, least, room);
        if (blocked(c)) continue;
        const long long cover = AreaOf(c & m);
        const long long size = AreaOf(c);
        const long long distance = std::llabs(static_cast<long long>(c.left()) - fitted.left()) +
                                   std::llabs(static_cast<long long>(c.top()) - fitted.top());
        const bool better = !best || cover < bestCover ||
                            (cover == bestCover &&
                             (size > bestSize || (size == bestSize && distance < bestDistance)));
        if (better) {
            best = c;
            bestCover = cover;
            bestSize = size;
            bestDistance = distance;
        }
    }
    return best;
}

}  // namespace

QRect KeepInView(const QRect& wanted, const QSize& minimum, const Surroundings& around,
                 bool clearOfMain) {
    const QRect& area = around.area;
    const QSize least = minimum.boundedTo(area.size());
    const QRect fitted = Fit(wanted, least, area);
    if (around.main.isEmpty()) return fitted;
    // Off the whole main window where there is room, else off its bars.
    if (clearOfMain) {
        if (const auto clear = Search(fitted, least, around, true)) return *clear;
    }
    if (const auto off = Search(fitted, least, around, false)) return *off;
    // Too tall for any room: as low as the area lets it, which covers the
    // least of the bars that can be helped.
    QRect low = fitted;
    low.moveTop(std::max(area.top(), std::min(around.menuBand.bottom() + 1,
                                              area.top() + area.height() - fitted.height())));
    return low;
}

QMargins FrameMargins(const QWidget* w) {
    if (IsFramed(w)) return MarginsOf(w);
    if (w->windowFlags().testFlag(Qt::FramelessWindowHint)) return {};
    for (const QWidget* other : QApplication::topLevelWidgets()) {
        if (other != w && other->isVisible() && IsFramed(other)) return MarginsOf(other);
    }
    return {};
}

Surroundings SurroundingsOf(const QWidget* w, const QRect& wanted) {
    const QMainWindow* main = MainWindowBeside(w);
    Surroundings s;
    if (QScreen* screen = ScreenFor(w, wanted, main))
        s.area = screen->availableGeometry();
    else
        s.area = QRect(0, 0, 1024, 768);
    if (!main) return s;
    const QMargins frame = FrameMargins(main);
    s.main = OuterOf(main);
    int bars = frame.top();
    if (const QWidget* menu = main->menuWidget(); menu && menu->isVisible())
        bars += menu->geometry().bottom() + 1;
    if (bars > 0) s.menuBand = QRect(s.main.left(), s.main.top(), s.main.width(), bars);
    return s;
}

void PlaceInView(QWidget* w, const QRect& wantedOuter) {
    const QRect outer = KeepInView(wantedOuter, wantedOuter.size(), SurroundingsOf(w, wantedOuter));
    if (w->pos() != outer.topLeft()) w->move(outer.topLeft());
}

void CentreOnScreen(QWidget* w) {
    const QSize outer = w->size().grownBy(FrameMargins(w));
    const QMainWindow* main = MainWindowBeside(w);
    QScreen* screen = main && main->screen() ? main->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    const QPoint corner = area.center() - QPoint(outer.width() / 2, outer.height() / 2);
    PlaceInView(w, QRect(corner, outer));
}

void InstallWindowPlacement(QApplication& app) {
    app.installEventFilter(new DialogPlacement(&app));
}

}  // namespace quillon::app
