#pragma once

#include <QString>

// Runs a gst-launch style pipeline to its end (at most 20 s) and returns
// what went wrong, or empty text. Tests make their media with it.
QString runPipeline(const QString &description);
