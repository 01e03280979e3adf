#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <QVector>

#include <condition_variable>
#include <functional>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Decodes archive layer images and run-length codes them on worker threads
// while the caller reads members and writes records in layer order. At most
// `window` layers are in flight, and the pixels they decode are bounded by a
// byte budget whatever the core count: a layer starts only when its estimated
// bytes fit beside those of the layers started and not yet taken (a layer
// larger than the whole budget runs alone).
class LayerCodingPool
{
public:
    struct Settings
    {
        QSize scaleTo;     // invalid: keep the image's own size
        // Valid: the size every image must have, judged from its header
        // before any pixel is decoded.
        QSize sourceFrame;
        int bitsPerPixel = 4;
        qint64 byteBudget = qint64(512) << 20;
        // Test hook: called with the bytes in flight whenever they change.
        std::function<void(qint64)> inFlightObserver;
    };

    struct Result
    {
        int layer = 0;
        bool ok = false;
        QString error;
        // Not ok because the image is not of the source frame: its size.
        bool wrongFrame = false;
        QSize sourceSize;
        QImage grey;
        QVector<unsigned char> code;
    };

    LayerCodingPool(const Settings& settings, int threadCount, int window);
    ~LayerCodingPool();
    LayerCodingPool(const LayerCodingPool&) = delete;
    LayerCodingPool& operator=(const LayerCodingPool&) = delete;

    bool isFull() const;
    bool hasPending() const;
    void submit(int layer, QByteArray imageBytes);
    // Waits for the oldest submitted layer.
    Result takeNext();

    // Largest number of bytes that were in flight at once.
    qint64 peakBytesInFlight() const;

    // The work of one layer, on the calling thread. An image with an alpha
    // channel is laid over black first, as the printer shows it.
    static Result codeLayer(int layer, const QByteArray& imageBytes, const Settings& settings);
    // Upper bound of the bytes codeLayer holds at once for this member, from
    // the image header alone; the whole budget when the header is unreadable.
    static qint64 estimateLayerBytes(const QByteArray& imageBytes, const Settings& settings);

private:
    struct Job
    {
        int layer = 0;
        QByteArray bytes;
        qint64 cost = 0;
        bool done = false;
        Result result;
    };

    void work();
    bool canStartFront() const; // under m_mutex
    void setInFlight(qint64 bytes); // under m_mutex

    const Settings m_settings;
    const int m_window;
    mutable std::mutex m_mutex;
    std::condition_variable m_jobReady;
    std::condition_variable m_jobDone;
    std::deque<std::shared_ptr<Job>> m_inOrder;
    std::deque<std::shared_ptr<Job>> m_waiting;
    bool m_stop = false;
    qint64 m_inFlight = 0;
    qint64 m_peakInFlight = 0;
    std::vector<std::thread> m_threads;
};
