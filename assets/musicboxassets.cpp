#include "musicboxassets.h"

#include <QtCore/qglobal.h>

// Q_INIT_RESOURCE must not stand inside a namespace; this wrapper keeps it at
// global scope. Registration is idempotent.
void initMusicboxAssets()
{
    Q_INIT_RESOURCE(musicbox_skin);
}
