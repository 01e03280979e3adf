#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <QVector>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Decodes archive layer images and run-length codes them on worker threads
// while the caller reads members and writes records in layer order. At most
// `window` layers are in flight, which bounds memory whatever the layer count.
class LayerCodingPool
{
public:
    struct Settings
    {
        QSize scaleTo;     // invalid: keep the image's own size
        int bitsPerPixel = 4;
    };

    struct Result
    {
        int layer = 0;
        bool ok = false;
        QString error;
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

    // The work of one layer, on the calling thread.
    static Result codeLayer(int layer, const QByteArray& imageBytes, const Settings& settings);

private:
    struct Job
    {
        int layer = 0;
        QByteArray bytes;
        bool done = false;
        Result result;
    };

    void work();

    const Settings m_settings;
    const int m_window;
    mutable std::mutex m_mutex;
    std::condition_variable m_jobReady;
    std::condition_variable m_jobDone;
    std::deque<std::shared_ptr<Job>> m_inOrder;
    std::deque<std::shared_ptr<Job>> m_waiting;
    bool m_stop = false;
    std::vector<std::thread> m_threads;
};
