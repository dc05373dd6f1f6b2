#include "app/accessibility.h"

#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QTextDocumentFragment>
#include <QTextEdit>
#include <QToolButton>
#include <functional>
#include <map>
#include <vector>

#include "app/link_label.h"
#include "app/page.h"
#include "app/secondary_windows.h"
#include "app/wrap_tab_bar.h"
#include "platform/prompter.h"

namespace quillon::app {

namespace {

// --- Accessible interfaces ---------------------------------------------------

// A list (combo box) named by its label, as every other field is. Qt names it
// by its current entry on this platform; that entry is its value here.
class ComboAccessible : public QAccessibleWidget {
  public:
    explicit ComboAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::ComboBox) {}
    QComboBox* combo() const { return static_cast<QComboBox*>(widget()); }

    QString text(QAccessible::Text t) const override {
        switch (t) {
            case QAccessible::Name:
                if (!combo()->accessibleName().isEmpty()) return combo()->accessibleName();
                return Value();
            case QAccessible::Value:
                return Value();
            default:
                return QAccessibleWidget::text(t);
        }
    }
    // The list of entries (and the edit of an editable list), as Qt's own has.
    int childCount() const override { return combo()->isEditable() ? 2 : 1; }
    QAccessibleInterface* child(int index) const override {
        if (index == 0) return QAccessible::queryAccessibleInterface(combo()->view());
        if (index == 1 && combo()->isEditable())
            return QAccessible::queryAccessibleInterface(combo()->lineEdit());
        return nullptr;
    }
    int indexOfChild(const QAccessibleInterface* c) const override {
        if (!c) return -1;
        if (c->object() == combo()->view()) return 0;
        if (combo()->isEditable() && c->object() == combo()->lineEdit()) return 1;
        return -1;
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = combo()->view()->isVisible();
        s.editable = combo()->isEditable();
        return s;
    }
    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
    void doAction(const QString& name) override {
        if (name != showMenuAction() && name != pressAction()) return;
        if (combo()->view()->isVisible())
            combo()->hidePopup();
        else
            combo()->showPopup();
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

  private:
    QString Value() const {
        return combo()->isEditable() && combo()->lineEdit() ? combo()->lineEdit()->text()
                                                            : combo()->currentText();
    }
};

// A label that reacts to a click is a link, pressed like a button.
class LinkAccessible : public QAccessibleWidget {
  public:
    LinkAccessible(QWidget* w, std::function<void()> press)
        : QAccessibleWidget(w, QAccessible::Link), press_(std::move(press)) {}
    QLabel* label() const { return static_cast<QLabel*>(widget()); }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && label()->accessibleName().isEmpty()) return label()->text();
        if (t == QAccessible::Value) return label()->text();
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override {
        if (name == pressAction()) press_();
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

  private:
    std::function<void()> press_;
};

QAccessibleInterface* PanelAccessibleFactory(const QString& className, QObject* object) {
    if (!object || !object->isWidgetType()) return nullptr;
    auto* w = static_cast<QWidget*>(object);
    if (className == QLatin1String("QComboBox")) return new ComboAccessible(w);
    if (className == QLatin1String(LinkLabel::staticMetaObject.className())) {
        auto* link = static_cast<LinkLabel*>(w);
        return new LinkAccessible(w, [link] { emit link->clicked(); });
    }
    if (className == QLatin1String(UrlLabel::staticMetaObject.className())) {
        auto* link = static_cast<UrlLabel*>(w);
        return new LinkAccessible(w, [link] { Prompts().OpenWithDesktop(link->url().toStdString()); });
    }
    // A plain widget that is a window (the log view, the progress windows) is a
    // window to the tools, not a filler.
    if (className == QLatin1String("QWidget") && w->isWindow())
        return new QAccessibleWidget(w, QAccessible::Window);
    // A plain frame inside a window is a pane: "frame" means a window to AT-SPI.
    if (className == QLatin1String("QFrame") && !w->isWindow())
        return new QAccessibleWidget(w, QAccessible::Pane);
    return nullptr;
}

// --- Names -------------------------------------------------------------------

enum class Kind { None, Button, Check, Radio, Tab, Link, Text, List, Slider, View };

// Widgets inside Qt's own composite controls are parts of them, not controls.
bool InsideComposite(const QWidget* w) {
    for (const QWidget* p = w->parentWidget(); p && !p->isWindow(); p = p->parentWidget()) {
        if (qobject_cast<const QAbstractSpinBox*>(p) || qobject_cast<const QComboBox*>(p) ||
            qobject_cast<const QAbstractItemView*>(p))
            return true;
    }
    return false;
}

Kind KindOf(const QWidget* w) {
    if (InsideComposite(w)) return Kind::None;
    if (qobject_cast<const TabButton*>(w)) return Kind::Tab;
    if (qobject_cast<const LinkLabel*>(w) || qobject_cast<const UrlLabel*>(w)) return Kind::Link;
    if (qobject_cast<const QCheckBox*>(w)) return Kind::Check;
    if (qobject_cast<const QRadioButton*>(w)) return Kind::Radio;
    if (qobject_cast<const QAbstractButton*>(w)) return Kind::Button;
    if (qobject_cast<const QComboBox*>(w)) return Kind::List;
    if (qobject_cast<const QLineEdit*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
        qobject_cast<const QPlainTextEdit*>(w) || qobject_cast<const QTextEdit*>(w))
        return Kind::Text;
    if (qobject_cast<const QScrollBar*>(w)) return Kind::None;
    if (qobject_cast<const QAbstractSlider*>(w)) return Kind::Slider;
    if (qobject_cast<const QAbstractItemView*>(w)) return Kind::View;
    return Kind::None;
}

// One line of plain text: no mnemonic marks, no markup, single blanks.
QString Clean(QString s) {
    if (Qt::mightBeRichText(s)) s = QTextDocumentFragment::fromHtml(s).toPlainText();
    s.replace("&&", QString(QChar(0xE000)));
    s.remove('&');
    s.replace(QChar(0xE000), '&');
    return s.simplified();
}

// A caption that names what follows it: words, not a unit in brackets or an arrow.
bool IsNamingLabel(const QLabel* label) {
    const QString t = Clean(label->text());
    if (t.isEmpty() || t.startsWith('(') || t.startsWith(QChar(0xFF08))) return false;
    for (QChar c : t) {
        if (c.isLetterOrNumber()) return true;
    }
    return false;
}

QLabel* BuddyLabel(QWidget* w) {
    for (QLabel* l : w->window()->findChildren<QLabel*>()) {
        if (l->buddy() == w) return l;
    }
    return nullptr;
}

// The layout holding `w` directly, searched from `layout` down.
QLayout* LayoutHolding(QLayout* layout, QWidget* w) {
    if (!layout) return nullptr;
    if (layout->indexOf(w) >= 0) return layout;
    for (int i = 0; i < layout->count(); ++i) {
        if (QLayout* inner = LayoutHolding(layout->itemAt(i)->layout(), w)) return inner;
    }
    return nullptr;
}

// The label right before `w` in its row.
QLabel* LabelBefore(QWidget* w) {
    QWidget* parent = w->parentWidget();
    QLayout* layout = parent ? LayoutHolding(parent->layout(), w) : nullptr;
    if (!layout) return nullptr;
    QWidget* before = nullptr;
    if (auto* grid = qobject_cast<QGridLayout*>(layout)) {
        int row = 0, col = 0, rowSpan = 0, colSpan = 0;
        grid->getItemPosition(grid->indexOf(w), &row, &col, &rowSpan, &colSpan);
        if (col > 0) {
            if (QLayoutItem* item = grid->itemAtPosition(row, col - 1)) before = item->widget();
        }
    } else if (qobject_cast<QBoxLayout*>(layout)) {
        for (int i = layout->indexOf(w) - 1; i >= 0 && !before; --i) {
            before = layout->itemAt(i)->widget();  // spacers and stretches are passed over
        }
    }
    auto* label = qobject_cast<QLabel*>(before);
    return label && IsNamingLabel(label) ? label : nullptr;
}

QGroupBox* GroupOf(const QWidget* w) {
    for (QWidget* p = w->parentWidget(); p && !p->isWindow(); p = p->parentWidget()) {
        if (auto* g = qobject_cast<QGroupBox*>(p)) return g;
    }
    return nullptr;
}

// The name a control has already: its own, its caption, its buddy label's.
QString OwnName(QWidget* w, Kind kind) {
    if (!w->accessibleName().isEmpty()) return w->accessibleName();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        if (!Clean(b->text()).isEmpty()) return Clean(b->text());
    }
    if (auto* l = qobject_cast<QLabel*>(w)) return Clean(l->text());
    if (kind == Kind::Text || kind == Kind::List || kind == Kind::Slider || kind == Kind::View) {
        if (QLabel* l = BuddyLabel(w)) return Clean(l->text());
    }
    return {};
}

// A name for a field that has none.
QString FieldName(QWidget* w) {
    if (QLabel* l = LabelBefore(w)) return Clean(l->text());
    if (QGroupBox* g = GroupOf(w); g && !Clean(g->title()).isEmpty()) return Clean(g->title());
    if (auto* e = qobject_cast<QLineEdit*>(w); e && !e->placeholderText().isEmpty())
        return Clean(e->placeholderText());
    return Clean(w->toolTip());
}

// A name for a button without a caption: its tool tip; an arrow is named
// after the field beside it that it steps.
QString ButtonName(QAbstractButton* b) {
    if (!Clean(b->toolTip()).isEmpty()) return Clean(b->toolTip());
    auto* tool = qobject_cast<QToolButton*>(b);
    if (!tool || tool->arrowType() == Qt::NoArrow) return {};
    QString field;
    for (QWidget* p = b->parentWidget(); p && field.isEmpty() && !p->isWindow();
         p = p->parentWidget()) {
        for (QObject* o : p->children()) {
            auto* sibling = qobject_cast<QWidget*>(o);
            if (sibling && KindOf(sibling) == Kind::Text && !sibling->accessibleName().isEmpty()) {
                field = sibling->accessibleName();
                break;
            }
        }
    }
    if (field.isEmpty()) return {};
    const bool up = tool->arrowType() == Qt::UpArrow || tool->arrowType() == Qt::RightArrow;
    return up ? Lang::FillQ(QT_TRANSLATE_NOOP("Lang", "%1を増やす"), field)
              : Lang::FillQ(QT_TRANSLATE_NOOP("Lang", "%1を減らす"), field);
}

// The name of the first field or list in the row of `w` (its box layout, or
// its row of a grid).
QString RowFieldName(QWidget* w) {
    QWidget* parent = w->parentWidget();
    QLayout* layout = parent ? LayoutHolding(parent->layout(), w) : nullptr;
    if (!layout) return {};
    auto* grid = qobject_cast<QGridLayout*>(layout);
    int row = -1, col = 0, rowSpan = 0, colSpan = 0;
    if (grid) grid->getItemPosition(grid->indexOf(w), &row, &col, &rowSpan, &colSpan);
    for (int i = 0; i < layout->count(); ++i) {
        QWidget* other = layout->itemAt(i)->widget();
        if (!other || other == w) continue;
        if (grid) {
            int r = 0;
            grid->getItemPosition(i, &r, &col, &rowSpan, &colSpan);
            if (r != row) continue;
        }
        const Kind kind = KindOf(other);
        if (kind != Kind::Text && kind != Kind::List) continue;
        const QString name = OwnName(other, kind);
        if (!name.isEmpty()) return name;
    }
    return {};
}

// True when every entry is set, differs from `name` and from the others.
bool Distinct(const QStringList& entries, const QString& name) {
    for (int i = 0; i < entries.size(); ++i) {
        if (entries[i].isEmpty() || entries[i] == name || entries.indexOf(entries[i]) != i)
            return false;
    }
    return true;
}

struct Control {
    QWidget* widget;
    Kind kind;
};

// Controls in tree order; a page starts a scope of its own.
void Collect(QWidget* w, std::vector<Control>& scope, std::vector<std::vector<Control>>& scopes) {
    for (QObject* o : w->children()) {
        auto* child = qobject_cast<QWidget*>(o);
        if (!child || child->isWindow()) continue;
        if (qobject_cast<Page*>(child)) {
            std::vector<Control> page;
            Collect(child, page, scopes);
            scopes.push_back(std::move(page));
            continue;
        }
        const Kind kind = KindOf(child);
        if (kind != Kind::None) scope.push_back({child, kind});
        Collect(child, scope, scopes);
    }
}

void NameScope(const std::vector<Control>& controls) {
    // Fields first: arrows are named after their field.
    for (int pass = 0; pass < 2; ++pass) {
        for (const Control& c : controls) {
            const bool isButton = c.kind == Kind::Button;
            if ((pass == 0) == isButton || !OwnName(c.widget, c.kind).isEmpty()) continue;
            const QString name = isButton ? ButtonName(static_cast<QAbstractButton*>(c.widget))
                                          : FieldName(c.widget);
            if (!name.isEmpty()) c.widget->setAccessibleName(name);
        }
    }
    // Shared names: the first keeps it, the others say which they are. Every
    // new name is worked out from the names as they were.
    std::map<std::pair<Kind, QString>, std::vector<QWidget*>> byName;
    for (const Control& c : controls) {
        const QString name = OwnName(c.widget, c.kind);
        if (!name.isEmpty()) byName[{c.kind, name}].push_back(c.widget);
    }
    std::vector<std::pair<QWidget*, QString>> renames;
    for (const auto& [key, widgets] : byName) {
        if (widgets.size() < 2) continue;
        // What tells them apart: their groups' titles; for buttons also the
        // field in their rows; else their order.
        const bool isField = key.first == Kind::Text || key.first == Kind::List;
        QStringList titles, rows;
        for (QWidget* w : widgets) {
            // A group's own accessible name stands for a long title.
            QGroupBox* g = GroupOf(w);
            titles << (!g ? QString()
                       : !g->accessibleName().isEmpty() ? g->accessibleName()
                                                        : Clean(g->title()));
            rows << (isField ? QString() : RowFieldName(w));
        }
        const QStringList which = Distinct(titles, key.second) ? titles
                                  : Distinct(rows, key.second) ? rows
                                                               : QStringList();
        for (std::size_t i = 1; i < widgets.size(); ++i) {
            const int n = static_cast<int>(i);
            renames.emplace_back(widgets[i], key.second + " (" +
                                                 (which.isEmpty() ? QString::number(n + 1)
                                                                  : which[n]) +
                                                 ")");
        }
    }
    for (const auto& [w, name] : renames) w->setAccessibleName(name);
}

class NameOnShow : public QObject {
  public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() == QEvent::Show && !e->spontaneous() && watched->isWidgetType()) {
            auto* w = static_cast<QWidget*>(watched);
            if (w->isWindow()) CompleteAccessibleNames(w);
        }
        return false;
    }
};

}  // namespace

void CompleteAccessibleNames(QWidget* window) {
    std::vector<std::vector<Control>> scopes;
    std::vector<Control> rest;
    Collect(window, rest, scopes);
    scopes.push_back(std::move(rest));
    for (const auto& scope : scopes) NameScope(scope);
}

void InstallAccessibility(QApplication& app) {
    static bool installed = false;
    if (installed) return;
    installed = true;
    QAccessible::installFactory(&PanelAccessibleFactory);
    app.installEventFilter(new NameOnShow(&app));
}

}  // namespace quillon::app
