// Fuzz target for reading catalogue replies: the byte-level readers must
// agree with the text rules applied to the decoded reply, the song list
// filled from the bytes must hold exactly the cells of the list filled from
// the text, and building song keys and request paths from any cell must be
// safe. Any disagreement aborts.
//
// Input: one reply body, as the catalogue might send it.
#include "gbk.h"
#include "songlistmodel.h"
#include "songresolver.h"
#include "wire.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "byte and text reading differ: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Replies are capped in size; long inputs only slow the search.
    if (size > (1 << 20))
        return 0;
    const QByteArray reply(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = gbk::decode(reply);

    gbk::Decoder decoder;
    const QStringList names = wire::catalogueNames(text);
    const QList<QByteArrayView> nameBytes = wire::catalogueNameBytes(reply);
    check(names.size() == nameBytes.size(), "name count");
    for (qsizetype k = 0; k < names.size(); ++k) {
        check(decoder.decode(nameBytes[k]) == names[k], "name");
        const wire::NameParts parts = wire::nameParts(names[k]);
        const wire::NamePartBytes partBytes = wire::namePartBytes(nameBytes[k]);
        check(decoder.decode(partBytes.singer) == parts.singer, "singer");
        check(decoder.decode(partBytes.title) == parts.title, "title");
    }
    check(wire::categoryNamesFromBytes(reply) == wire::categoryNames(text), "category names");
    check(wire::textBetweenBytes(reply, "<encode>", "</encode>")
              == wire::textBetween(text, QStringLiteral("<encode>"), QStringLiteral("</encode>")),
          "encode field");
    check(wire::textBetweenBytes(reply, "<lrcid>", "</lrcid>")
              == wire::textBetween(text, QStringLiteral("<lrcid>"), QStringLiteral("</lrcid>")),
          "lyrics id field");

    // The playable address combined from the reply: one replacement of the
    // encode text's last segment by the decode text, or nothing without an
    // encode text.
    const SongAddress address = songAddressFromReply(text);
    check(address.encodeText.isEmpty()
              ? address.address.isEmpty()
              : address.address.size()
                  == address.encodeText.size() - address.encodeLastSegment.size() + address.decodeText.size(),
          "address combination");
    if (isWebAddress(address.address))
        check(address.address.trimmed().startsWith(QLatin1String("http"), Qt::CaseInsensitive), "web address");
    const QByteArray lyrics = wire::lyricsPath(wire::textBetween(text, QStringLiteral("<lrcid>"), QStringLiteral("</lrcid>")));
    check(lyrics.startsWith("/bdlrc/") && lyrics.endsWith(".lrc") && !lyrics.contains("/../"), "lyrics path");

    SongListModel fromBytes;
    SongListModel fromText;
    const int rows = fromBytes.fillSongList(reply, 0, wire::kMixPlaceholder);
    check(rows == fromText.fillSongList(text, 0, wire::kMixPlaceholder), "row count");
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < 3; ++column) {
            const QString cell = fromBytes.cell(row, column);
            check(cell == fromText.cell(row, column), "cell");
            const QString shown = fromBytes.data(fromBytes.index(row, column), Qt::DisplayRole).toString();
            check(shown.size() <= SongListModel::kShownChars && cell.startsWith(shown), "shown text");
        }
        const QString key = wire::songKey(fromBytes.cell(row, SongListModel::SingerColumn),
                                          fromBytes.cell(row, SongListModel::TitleColumn));
        const QByteArray path = wire::songAddressPath(key);
        check(path.startsWith("/x?op=12&count=1&mtype=2&title=") && path.endsWith("$$$$&listenreelect=0"),
              "song address path");
        (void)wire::lyricsPath(fromBytes.cell(row, SongListModel::SingerColumn));
    }
    return 0;
}
