#include "platform/ui_text.h"

namespace quillon {

std::string Lang::Tr(const char* japanese) {
    return tr(japanese).toStdString();
}

QString Lang::Marked(const char* japanese) {
    return tr(japanese);
}

std::string Lang::MarkedStd(const char* japanese) {
    return tr(japanese).toStdString();
}

QString Lang::FillList(const char* japanese, const QStringList& args) {
    return FillIn(tr(japanese), args);
}

QString FillIn(const QString& format, const QStringList& args) {
    QString out;
    out.reserve(format.size());
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == u'%' && i + 1 < format.size()) {
            const int n = format[i + 1].digitValue();
            if (n >= 1 && n <= args.size()) {
                out += args[n - 1];
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

}  // namespace quillon
