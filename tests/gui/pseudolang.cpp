// SPDX-License-Identifier: GPL-3.0-or-later
#include "pseudolang.h"

#include <QDirIterator>
#include <QFile>
#include <QHash>

#include <algorithm>
#include <set>

namespace pseudolang {

namespace {

QChar accented(QChar c)
{
    static const QHash<QChar, QChar> table = [] {
        const QString plain = QStringLiteral("aAcCeEgGiIkKlLnNoOrRsStTuUwWyYzZ");
        const QString marked = QStringLiteral("àÀçÇéÉğĞíÍķĶĺĹñÑöÖŕŔŝŜţŢüÜŵŴýÝžŽ");
        QHash<QChar, QChar> map;
        for (qsizetype i = 0; i < plain.size(); ++i)
            map.insert(plain[i], marked[i]);
        return map;
    }();
    return table.value(c, c);
}

// Length of the format directive starting at text[at] ('%'), 1 when it is none.
qsizetype directiveLength(const QString& text, qsizetype at)
{
    qsizetype i = at + 1;
    if (i < text.size() && text[i] == QLatin1Char('%'))
        return 2;
    if (i < text.size() && text[i].isDigit()) { // %1 … %99
        while (i < text.size() && text[i].isDigit())
            ++i;
        return i - at;
    }
    while (i < text.size() && QStringLiteral("-+ #0123456789.*lhLzjt").contains(text[i]))
        ++i;
    if (i < text.size() && QStringLiteral("diuxXfFeEgGcsSpoaA").contains(text[i]))
        return i + 1 - at;
    return 1;
}

QString expandLine(const QString& line)
{
    if (line.trimmed().isEmpty())
        return line;
    const qsizetype lead = std::find_if(line.begin(), line.end(), [](QChar c) { return !c.isSpace(); }) - line.begin();
    const qsizetype trail = line.size() - lead - line.trimmed().size();
    const QString core = line.mid(lead, line.size() - lead - trail);
    QString out;
    for (qsizetype i = 0; i < core.size();) {
        if (core[i] == QLatin1Char('%')) {
            const qsizetype n = directiveLength(core, i);
            out += core.mid(i, n);
            i += n;
        } else if (core.mid(i, 3) == QLatin1String("LPG")) {
            out += QLatin1String("LPG");
            i += 3;
        } else {
            out += accented(core[i]);
            ++i;
        }
    }
    // The brackets count towards the growth.
    const qsizetype grow = std::max<qsizetype>(2, (core.size() * 2 + 4) / 5);
    return line.left(lead) + QLatin1Char('[') + out + QString(grow - 2, QLatin1Char('~')) + QLatin1Char(']')
        + line.right(trail);
}

QString unescape(const QString& text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\\') && i + 1 < text.size()) {
            const QChar next = text[i + 1];
            if (next == QLatin1Char('t') || next == QLatin1Char('r') || next == QLatin1Char('n')) {
                out += next == QLatin1Char('t') ? QLatin1Char('\t')
                    : next == QLatin1Char('r')  ? QLatin1Char('\r')
                                                : QLatin1Char('\n');
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

QString escape(QString text)
{
    text.replace(QLatin1Char('\t'), QLatin1String("\\t"));
    text.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    return text;
}

// The wide literals of one C++ source, with their C escapes resolved.
void collectLiterals(const QString& source, std::set<QString>& out)
{
    for (qsizetype at = source.indexOf(QLatin1String("L\"")); at >= 0;
         at = source.indexOf(QLatin1String("L\""), at + 1)) {
        if (at > 0 && (source[at - 1].isLetterOrNumber() || source[at - 1] == QLatin1Char('_')))
            continue;
        QString text;
        qsizetype i = at + 2;
        bool closed = false;
        for (; i < source.size() && source[i] != QLatin1Char('\n'); ++i) {
            const QChar c = source[i];
            if (c == QLatin1Char('"')) {
                closed = true;
                break;
            }
            if (c != QLatin1Char('\\') || i + 1 >= source.size()) {
                text += c;
                continue;
            }
            const QChar e = source[++i];
            switch (e.unicode()) {
            case 'n':
                text += QLatin1Char('\n');
                break;
            case 't':
                text += QLatin1Char('\t');
                break;
            case 'r':
                text += QLatin1Char('\r');
                break;
            case 'x': {
                qsizetype j = i + 1;
                while (j < source.size() && j < i + 5 && isxdigit(source[j].toLatin1()))
                    ++j;
                text += QChar(source.mid(i + 1, j - i - 1).toUShort(nullptr, 16));
                i = j - 1;
                break;
            }
            case 'u':
                text += QChar(source.mid(i + 1, 4).toUShort(nullptr, 16));
                i += 4;
                break;
            default:
                text += e;
                break;
            }
        }
        if (closed && !text.isEmpty())
            out.insert(text);
        at = i;
    }
}

} // namespace

QString expand(const QString& polish)
{
    QStringList lines = polish.split(QLatin1Char('\n'));
    for (QString& line : lines) {
        const bool cr = line.endsWith(QLatin1Char('\r'));
        line = expandLine(cr ? line.chopped(1) : line) + (cr ? QStringLiteral("\r") : QString());
    }
    return lines.join(QLatin1Char('\n'));
}

QStringList polishTexts(const QStringList& sourceFolders, const QString& catalogueFile)
{
    std::set<QString> texts;
    for (const QString& folder : sourceFolders) {
        QDirIterator it(
            folder, { QStringLiteral("*.cpp"), QStringLiteral("*.h") }, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            if (file.open(QIODevice::ReadOnly))
                collectLiterals(QString::fromUtf8(file.readAll()), texts);
        }
    }
    QFile catalogue(catalogueFile);
    if (catalogue.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : catalogue.readAll().split('\n')) {
            const QString text = unescape(QString::fromUtf8(line));
            if (!text.isEmpty())
                texts.insert(text);
        }
    }
    return QStringList(texts.begin(), texts.end());
}

QByteArray languageFile(const QList<QPair<QString, QString>>& pairs)
{
    QString text = QStringLiteral("\ufeff");
    for (const auto& [pl, tr] : pairs)
        text += escape(pl) + QLatin1Char('\t') + escape(tr) + QStringLiteral("\r\n");
    QByteArray bytes;
    bytes.reserve(text.size() * 2);
    for (const QChar c : text) {
        bytes.append(static_cast<char>(c.unicode() & 0xFF));
        bytes.append(static_cast<char>(c.unicode() >> 8));
    }
    return bytes;
}

} // namespace pseudolang
