#pragma once

#include <QChar>
#include <QString>

namespace keelsong {

// Keyboard mnemonics as Qt writes them: "&Play" underlines P and answers Alt+P; "&&" is a
// plain ampersand.

// The text as the user reads it: "&Play" gives "Play", "R&&D" gives "R&D".
QString WithoutMnemonic(const QString& text);

// The mnemonic letter of a text (upper case), or a null QChar when it has none.
QChar MnemonicOf(const QString& text);

// `label` (plain text) with the mnemonic letter of `previous` kept where the label has that
// letter, so that relabelling a button ("Find All Units" to "Disconnect") keeps its key when
// it can; any ampersand of the label stays a plain one.
QString WithMnemonicOf(const QString& label, const QString& previous);

}  // namespace keelsong
