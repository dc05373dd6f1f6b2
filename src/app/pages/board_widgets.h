#pragma once
// Small builders the board-service pages share: every field carries the text
// of the label beside it as its accessible name, so the page reads the same
// to a screen reader or an outside test as it does on screen.

#include <QString>
#include <QStringList>

class QComboBox;
class QLabel;
class QLineEdit;

class QWidget;

namespace quillon::app {

// A hexadecimal entry field of `chars` characters at most, as wide as that
// many digits (and never narrower than `minChars`).
QLineEdit* HexEdit(QWidget* parent, const QString& text, int chars, const char* objectName,
                   const QString& accessibleName, int minChars = 2);
// A read-only field showing a value (greyed background, like a label).
QLineEdit* ValueEdit(QWidget* parent, const QString& text, int chars, const char* objectName,
                     const QString& accessibleName);
// A drop-down list of fixed entries, the first chosen.
QComboBox* ChoiceList(QWidget* parent, const QStringList& items, const char* objectName,
                      const QString& accessibleName);
// The caption beside a field; it labels the field for assistive technology
// too (a list's accessible name is its current entry on some platforms, so
// the label relation is what names it there).
QLabel* Caption(QWidget* parent, const QString& text, QWidget* field);
// A value label ("-" until set) described by its row caption.
QLabel* ValueLabel(QWidget* parent, const char* objectName, const QString& caption);

}  // namespace quillon::app
