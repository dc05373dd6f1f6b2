#include "app/pages/board_widgets.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>
#include <QStyle>
#include <algorithm>

namespace quillon::app {

namespace {

// Width of `chars` hexadecimal digits in the edit's font, plus frame and margins.
int DigitsWidth(const QLineEdit* e, int chars) {
    const QFontMetrics fm(e->font());
    int digit = 0;
    for (QChar c : QStringLiteral("0123456789ABCDEF"))
        digit = std::max(digit, fm.horizontalAdvance(c));
    return chars * digit + 2 * e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) + 10;
}

}  // namespace

QLineEdit* HexEdit(QWidget* parent, const QString& text, int chars, const char* objectName,
                   const QString& accessibleName, int minChars) {
    auto* e = new QLineEdit(text, parent);
    e->setObjectName(objectName);
    e->setAccessibleName(accessibleName);
    e->setMaxLength(chars);
    e->setFixedWidth(DigitsWidth(e, std::max(chars, minChars)));
    return e;
}

QLineEdit* ValueEdit(QWidget* parent, const QString& text, int chars, const char* objectName,
                     const QString& accessibleName) {
    QLineEdit* e = HexEdit(parent, text, chars, objectName, accessibleName);
    e->setMaxLength(32767);
    e->setReadOnly(true);
    QPalette grey = e->palette();
    grey.setColor(QPalette::Base, parent->palette().color(QPalette::Button));
    e->setPalette(grey);
    return e;
}

QComboBox* ChoiceList(QWidget* parent, const QStringList& items, const char* objectName,
                      const QString& accessibleName) {
    auto* c = new QComboBox(parent);
    c->setObjectName(objectName);
    c->setAccessibleName(accessibleName);
    c->addItems(items);
    c->setCurrentIndex(0);
    return c;
}

QLabel* Caption(QWidget* parent, const QString& text, QWidget* field) {
    auto* l = new QLabel(text, parent);
    l->setBuddy(field);
    return l;
}

QLabel* ValueLabel(QWidget* parent, const char* objectName, const QString& caption) {
    auto* l = new QLabel("-", parent);
    l->setObjectName(objectName);
    l->setAccessibleDescription(caption);
    return l;
}

}  // namespace quillon::app
