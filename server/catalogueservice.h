#pragma once

#include "requesttarget.h"
#include "songlibrary.h"

#include <string>
#include <string_view>

// What the server sends back for one request target.
struct CatalogueReply {
    int status = 200;
    std::string contentType;
    std::string body;            // GBK for catalogue and lyrics replies
    const Song *song = nullptr;  // set: the reply is this song's file
};

// Answers the catalogue's request forms from a song library:
//   /x?op=7&mode=1&count=1&title=TEXT             song search
//   /x?op=22&listid=ID                            chart list
//   /x?op=3&list_cat=5                            categories
//   /x?op=12&count=1&mtype=2&title=KEY$$$$&...    song address
//   /bdlrc/FOLDER/ID.lrc                          lyrics file
//   /song/ID/ANYTHING                             the song file itself
// Safe to call from several threads at once.
class CatalogueService {
public:
    // baseAddress: "http://host:port", the address song replies point to.
    CatalogueService(const SongLibrary &library, std::string baseAddress);

    CatalogueReply answer(std::string_view rawTarget) const;

private:
    CatalogueReply answerQuery(const RequestTarget &target) const;
    CatalogueReply search(const std::string &gbkText) const;
    CatalogueReply chartList(const std::string &listId) const;
    CatalogueReply categories(const std::string &listCat) const;
    CatalogueReply songAddress(const std::string &gbkTitle) const;
    CatalogueReply lyrics(const std::string &folder, const std::string &fileName) const;
    CatalogueReply songFile(const std::string &id) const;

    const SongLibrary &m_library;
    std::string m_baseAddress;
};
