#include "gui/mnemonics.h"

namespace keelsong {

QString WithoutMnemonic(const QString& text) {
    QString plain;
    plain.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size()) {
            ++i;  // "&&" keeps one ampersand; "&x" keeps x
        }
        plain.append(text[i]);
    }
    return plain;
}

QChar MnemonicOf(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == QLatin1Char('&')) {
            if (text[i + 1] != QLatin1Char('&')) {
                return text[i + 1].toUpper();
            }
            ++i;
        }
    }
    return {};
}

QString WithMnemonicOf(const QString& label, const QString& previous) {
    QString escaped = label;
    escaped.replace(QLatin1Char('&'), QStringLiteral("&&"));
    const QChar letter = MnemonicOf(previous);
    if (letter.isNull()) {
        return escaped;
    }
    for (qsizetype i = 0; i < escaped.size(); ++i) {
        if (escaped[i] == QLatin1Char('&')) {
            ++i;
            continue;
        }
        if (escaped[i].toUpper() == letter) {
            escaped.insert(i, QLatin1Char('&'));
            break;
        }
    }
    return escaped;
}

}  // namespace keelsong
