#include "wire.h"

#include "gbk.h"
#include "replyscan.h"

namespace wire {

QStringList splitAt(const QString &text, const QString &sep)
{
    QStringList pieces;
    if (text.isEmpty())
        return pieces;
    if (sep.isEmpty())
        return {text};
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = text.indexOf(sep, from, Qt::CaseSensitive);
        if (at < 0)
            break;
        pieces.append(text.mid(from, at - from));
        from = at + sep.size();
    }
    pieces.append(text.mid(from));
    return pieces;
}

namespace {

// Finds needle in haystack from position from, folding only ASCII letters.
// QString's own case-insensitive search also folds other scripts, which the
// protocol does not.
qsizetype indexOfAsciiFolded(QStringView haystack, QStringView needle, qsizetype from = 0)
{
    auto fold = [](char16_t c) -> char16_t { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; };
    const qsizetype n = needle.size();
    if (n == 0)
        return from <= haystack.size() ? from : -1;
    for (qsizetype i = from; i + n <= haystack.size(); ++i) {
        qsizetype k = 0;
        while (k < n && fold(haystack[i + k].unicode()) == fold(needle[k].unicode()))
            ++k;
        if (k == n)
            return i;
    }
    return -1;
}

} // namespace

QString textBetween(const QString &text, const QString &start, const QString &end)
{
    const qsizetype s = indexOfAsciiFolded(text, start);
    if (s < 0)
        return {};
    const qsizetype from = s + start.size();
    const qsizetype e = indexOfAsciiFolded(text, end, from);
    if (e < 0)
        return {};
    return text.mid(from, e - from);
}

QStringList catalogueNames(const QString &reply)
{
    static const QString open = QStringLiteral("<name>");
    static const QString close = QStringLiteral("</name>");
    QStringList names;
    const QStringView view(reply);
    qsizetype at = view.indexOf(open);
    while (at >= 0) {
        const qsizetype begin = at + open.size();
        const qsizetype next = view.indexOf(open, begin);
        const qsizetype pieceEnd = next < 0 ? view.size() : next;
        const QStringView piece = view.sliced(begin, pieceEnd - begin);
        const qsizetype closeAt = piece.indexOf(close);
        names.append((closeAt < 0 ? piece : piece.first(closeAt)).toString());
        at = next;
    }
    return names;
}

QStringList categoryNames(const QString &reply)
{
    QStringList pieces = splitAt(reply, QStringLiteral("<data>"));
    QStringList names;
    for (qsizetype k = 0; k + 1 < pieces.size(); ++k)
        names.append(textBetween(pieces[k], QStringLiteral("<name>"), QStringLiteral("</name>")));
    return names;
}

NameParts nameParts(const QString &name)
{
    static const QString sep = QStringLiteral("$$");
    const qsizetype first = name.indexOf(sep);
    if (first < 0)
        return {name, {}};
    const qsizetype from = first + sep.size();
    const qsizetype second = name.indexOf(sep, from);
    return {name.left(first), second < 0 ? name.mid(from) : name.mid(from, second - from)};
}

QByteArrayView replyText(QByteArrayView reply)
{
    const qsizetype zero = reply.indexOf('\0');
    return zero < 0 ? reply : reply.first(zero);
}

QList<QByteArrayView> catalogueNameBytes(QByteArrayView reply)
{
    QList<QByteArrayView> names;
    // Counted first: the scan is far cheaper than growing the list.
    names.reserve(scan::forEachCatalogueName(reply, [](qsizetype, qsizetype) {}));
    scan::forEachCatalogueName(reply, [&](qsizetype begin, qsizetype end) {
        names.append(reply.sliced(begin, end - begin));
    });
    return names;
}

NamePartBytes namePartBytes(QByteArrayView name)
{
    const qsizetype first = scan::indexOfDollars(name, 0);
    if (first < 0)
        return {name, {}};
    const qsizetype from = first + 2;
    const qsizetype second = scan::indexOfDollars(name, from);
    return {name.first(first), second < 0 ? name.sliced(from) : name.sliced(from, second - from)};
}

QStringList categoryNamesFromBytes(QByteArrayView reply)
{
    static constexpr char data[] = "<data>";
    static constexpr char open[] = "<name>";
    static constexpr char close[] = "</name>";
    const char *bytes = reply.data();
    const qsizetype size = reply.size();
    gbk::Decoder decoder;
    QStringList names;
    // Within the piece before each "<data>": the first "<name>" (any letter
    // case) and the first "</name>" after it.
    qsizetype nameBegin = -1;
    qsizetype nameEnd = -1;
    scan::forEachAngle(bytes, size, [&](qsizetype i) {
        if (scan::markerAt(bytes, size, i, data)) {
            names.append(nameBegin >= 0 && nameEnd >= 0
                             ? decoder.decode(reply.sliced(nameBegin, nameEnd - nameBegin))
                             : QString());
            nameBegin = nameEnd = -1;
        } else if (nameBegin < 0) {
            if (scan::markerAtFolded(bytes, size, i, open))
                nameBegin = i + qsizetype(sizeof open - 1);
        } else if (nameEnd < 0 && scan::markerAtFolded(bytes, size, i, close)) {
            nameEnd = i;
        }
    });
    return names;
}

QString textBetweenBytes(QByteArrayView reply, QByteArrayView start, QByteArrayView end)
{
    auto plainAngleMarker = [](QByteArrayView marker) {
        if (marker.isEmpty() || marker.front() != '<')
            return false;
        for (const char c : marker)
            if (static_cast<unsigned char>(c) >= 0x80)
                return false;
        return true;
    };
    if (!plainAngleMarker(start) || !plainAngleMarker(end)) {
        gbk::Decoder decoder;
        return textBetween(decoder.decode(replyText(reply)), decoder.decode(start), decoder.decode(end));
    }
    const char *bytes = reply.data();
    const qsizetype size = reply.size();
    qsizetype from = -1;
    qsizetype to = -1;
    // The scan cannot stop early, but only marks the first match of each.
    scan::forEachAngle(bytes, size, [&](qsizetype i) {
        if (from < 0) {
            if (scan::markerAtFolded(bytes, size, i, start))
                from = i + start.size();
        } else if (to < 0 && i >= from && scan::markerAtFolded(bytes, size, i, end)) {
            to = i;
        }
    });
    if (from < 0 || to < 0)
        return {};
    return gbk::Decoder().decode(reply.sliced(from, to - from));
}

QString songKey(const QString &singer, const QString &title)
{
    if (title == kMixPlaceholder)
        return singer + QStringLiteral("$$");
    return singer + QStringLiteral("$$") + title;
}

QByteArray searchPath(const QString &text)
{
    return QByteArrayLiteral("/x?op=7&mode=1&count=1&title=") + gbk::encode(text);
}

QByteArray chartPath(int listId)
{
    return QByteArrayLiteral("/x?op=22&listid=") + QByteArray::number(listId);
}

QByteArray categoryPath()
{
    return QByteArrayLiteral("/x?op=3&list_cat=5");
}

QByteArray songAddressPath(const QString &key)
{
    return QByteArrayLiteral("/x?op=12&count=1&mtype=2&title=") + gbk::encode(key)
        + QByteArrayLiteral("$$$$&listenreelect=0");
}

QByteArray lyricsPath(const QString &lyricsId)
{
    // The folder is the integer part of id / 100. The id is read by its
    // leading decimal digits (none: 0), and the division is done on the
    // digits themselves, so an id of any length gets its exact folder.
    const QString id = lyricsId.trimmed();
    qsizetype digits = 0;
    while (digits < id.size() && id.at(digits) >= QLatin1Char('0') && id.at(digits) <= QLatin1Char('9'))
        ++digits;
    QByteArray folder = id.left(qMax<qsizetype>(digits - 2, 0)).toLatin1();
    while (folder.size() > 1 && folder.startsWith('0'))
        folder.remove(0, 1);
    if (folder.isEmpty())
        folder = "0";
    // The file name is the id as received; what cannot stand in a path
    // segment travels percent-encoded.
    return QByteArrayLiteral("/bdlrc/") + folder + '/' + gbk::encode(lyricsId).toPercentEncoding()
        + QByteArrayLiteral(".lrc");
}

} // namespace wire
