#pragma once

// Qt Multimedia picks its backend once, when it is first used. Kelto plays and decodes with GStreamer
// (the ffmpeg backend of Qt 6.4 crashes on a machine without sound server) unless QT_MEDIA_BACKEND
// names another. Call on the window's thread before any decoder or player exists, so the backend is
// made there and not in a worker thread.
void PrepareMediaBackend();
