// SPDX-License-Identifier: GPL-3.0-or-later
// A made-up language for layout checks before real translations exist: every
// Polish text comes back about 40 % longer, its Latin letters accented and the
// whole in brackets ("Start" → "[Ŝţàŕţ~~]"), so that a text that does not fit
// or that was never translated shows at once. Also the language-file bytes for
// a table of such pairs.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace pseudolang {

// The pseudo translation of one Polish text. Format directives (%d, %.1f, %1),
// the fuel word "LPG", digits, line ends and leading or trailing spaces stay as
// they are; each line grows by at least 40 % of its length.
QString expand(const QString& polish);

// Every wide string literal (L"…") of the C++ sources under the folders, plus
// the lines of the catalogue file when there is one; sorted, no duplicates,
// no empty texts.
QStringList polishTexts(const QStringList& sourceFolders, const QString& catalogueFile);

// The bytes of a language file: UTF-16 little-endian after a byte-order mark,
// one "Polish TAB translation" line per pair, CR LF, TAB/CR/LF escaped.
QByteArray languageFile(const QList<QPair<QString, QString>>& pairs);

} // namespace pseudolang
