#pragma once

#include "platform/FilePreview.h"

#include <QThreadPool>

// Previews read from the local disk on one worker thread, bounded in size: pictures decoded to
// at most 2048 points, the first 64 KiB of a text, the first 2,000 entries of a folder. A
// damaged or huge file gives the file's facts instead, never a stall or a crash.
class LocalPreviewSource final : public PreviewSource {
public:
    static constexpr int kMaxImageSide = 2048;
    static constexpr qint64 kMaxTextBytes = 64 * 1024;
    static constexpr int kMaxEntries = 2000;

    LocalPreviewSource();
    ~LocalPreviewSource() override;

    void load(const QUrl& url, QObject* receiver, Completion completion) override;

    // The loading itself, synchronous; any thread.
    static FilePreview read(const QUrl& url);

private:
    QObject m_relay;  // lives on the thread that made the source
    QThreadPool m_pool;
};
