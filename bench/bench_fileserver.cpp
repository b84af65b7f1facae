// Serves one file from memory on 127.0.0.1 for the download benchmark, with
// the loopback fixture server of the tests: every request gets the whole
// file. Prints its base address, then serves until its standard input
// closes or the time limit passes, whichever comes first.
//
//   bench_fileserver FILE [SECONDS (default 600)]

#include "fixtureserver.h"

#include <QFile>
#include <QTextStream>

#include <poll.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc < 2) {
        QTextStream(stderr) << "usage: bench_fileserver FILE [SECONDS]\n";
        return 2;
    }
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly)) {
        QTextStream(stderr) << "cannot read " << argv[1] << '\n';
        return 1;
    }
    FixtureReply reply;
    reply.body = file.readAll();
    reply.contentType = "application/octet-stream";
    const int seconds = argc > 2 ? atoi(argv[2]) : 600;

    FixtureServer server;
    server.setReply(reply);
    QTextStream(stdout) << server.baseUrl() << Qt::endl;

    pollfd in{STDIN_FILENO, POLLIN, 0};
    poll(&in, 1, seconds * 1000);
    return 0;
}
