#include "app/ui_fonts.h"

#include <QApplication>
#include <QFontDatabase>
#include <QHash>
#include <QStringList>

namespace quillon::app {

namespace {

// Proportional and fixed-pitch Japanese families, best first.
const QStringList kProportional = {"IPAPGothic",  "IPA Pゴシック", "Noto Sans CJK JP", "IPAGothic",
                                   "IPAexGothic", "VL PGothic",    "TakaoPGothic"};
const QStringList kFixed = {"IPAGothic",        "IPAゴシック", "Noto Sans Mono CJK JP",
                            "Noto Sans CJK JP", "VL Gothic",   "TakaoGothic",
                            "IPAPGothic"};

QHash<QString, QString>& Resolved() {
    static QHash<QString, QString> map;
    return map;
}

QString FirstInstalled(const QStringList& candidates) {
    const QStringList installed = QFontDatabase::families();
    for (const QString& c : candidates) {
        if (installed.contains(c, Qt::CaseInsensitive)) return c;
    }
    return {};
}

}  // namespace

void InstallFontFallbacks() {
    const QStringList installed = QFontDatabase::families();
    struct Want {
        const char* family;
        const QStringList* fallbacks;
    };
    const Want wants[] = {{kFontMeiryo, &kProportional},
                          {kFontMsPGothic, &kProportional},
                          {kFontMsGothic, &kFixed},
                          {kFontTahoma, &kProportional}};
    for (const Want& w : wants) {
        const QString family = QString::fromUtf8(w.family);
        if (installed.contains(family, Qt::CaseInsensitive)) {
            Resolved().insert(family, family);
            continue;
        }
        const QString pick = FirstInstalled(*w.fallbacks);
        if (pick.isEmpty()) continue;  // fontconfig's own fallback is all we have
        Resolved().insert(family, pick);
        QFont::insertSubstitutions(family, *w.fallbacks);
    }
    QApplication::setFont(UiFont(QString::fromUtf8(kFontMeiryo), 12));
}

QString ResolvedFamily(const QString& family) {
    return Resolved().value(family, family);
}

QFont UiFont(const QString& family, int pixelSize) {
    QFont f(ResolvedFamily(family));
    f.setPixelSize(pixelSize);
    return f;
}

}  // namespace quillon::app
